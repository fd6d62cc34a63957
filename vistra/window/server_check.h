// Whether a directed server scan found the server a connection would reach,
// and where that scan asks.
#pragma once

#include <veksock.h>

#include <string>

// True when one of the n answers comes from the server's TCP port (8998
// when the server text names none). The scan asks only the server's host.
bool ScanFoundServer(const std::string& server, const VEKScanEntry* entries, int n);

// Where the discovery query about a server goes.
struct DiscoveryTarget {
    std::string server;                // the server a connection tries: "localhost" when none is named
    std::string host;                  // the host asked
    int udpPort = VEK_DISCOVERY_PORT;  // VEK_SCAN_PORT when it holds a port
};
DiscoveryTarget DiscoveryTargetOf(const std::string& server);

// Why a scan that returned n (answers, or a negative code) did not find the
// server: what was asked where, and how to ask elsewhere.
std::string DiscoveryFailureText(const DiscoveryTarget& target, const VEKScanEntry* entries, int n);
