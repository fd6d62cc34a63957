// Answers discovery: a query on the UDP port gets the address clients
// connect to and a line that describes the server.
#pragma once

#include <string>

#include "unique_fd.h"

namespace vekd {

class DiscoveryResponder {
public:
    // Binds host:port (0: a free port); false with a message.
    bool open(const std::string& host, int port, std::string& error);
    int fd() const { return udp_.get(); }
    int port() const { return port_; }  // -1 until open

    // Answers the queries waiting, a bounded number per turn of the loop:
    // the server is at `tcpPort` of the address the asker reached.
    void answer(int tcpPort, const std::string& description);

private:
    vekwire::UniqueFd udp_;
    std::string host_;
    int port_ = -1;
};

}  // namespace vekd
