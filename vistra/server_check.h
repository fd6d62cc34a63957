// Whether a directed server scan found the server a connection would reach.
#pragma once

#include <veksock.h>

#include <string>

// True when one of the n answers comes from the server's TCP port (8998
// when the server text names none). The scan asks only the server's host.
bool ScanFoundServer(const std::string& server, const VEKScanEntry* entries, int n);
