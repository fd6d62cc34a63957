// Socket helpers of the client library: server texts, IPv4 look-up, a
// connect with a time limit, and socket errors as library codes.
#pragma once

#include <netinet/in.h>

#include <string>

#include "unique_fd.h"

namespace veksock {

struct Endpoint {
    std::string host;
    int port = 0;
};

// "host" or "host:port"; null or empty means localhost. False when the
// port is not a number from 1 to 65535.
bool parseServer(const char* text, int defaultPort, Endpoint& out);

// Looks up an IPv4 address; answers 0 or a negative library code.
int resolve(const std::string& host, in_addr& out);

// The library code (minus a socket error number) for an errno value.
int socketCode(int err);

// Connects within timeoutMs: 0 with the non-blocking socket in `out`, or a
// negative library code.
int connectWithin(const Endpoint& to, int timeoutMs, vekwire::UniqueFd& out);

// True when the socket's peer has a loopback address (127.0.0.0/8): the
// server runs on this machine.
bool isLoopbackPeer(int fd);

// Milliseconds left until a steady-clock deadline given in milliseconds.
int millisecondsLeft(long long deadlineMs);
long long nowMs();
// This host's steady clock (CLOCK_MONOTONIC) in microseconds.
long long steadyUs();

}  // namespace veksock
