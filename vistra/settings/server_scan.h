// Server discovery for the Settings dock: who answers a vek_scan, by name.
#pragma once

#include <veksock.h>

#include <iosfwd>
#include <string>

#include "settings/server_list.h"

// The server name in a discovery description: what follows its first two
// consecutive blanks; empty when there are none or they open the text.
std::string ScanName(const VEKScanEntry& entry);

// The list that `n` answers (or a scan error, n < 0) give: an alias
// (host, name) per answer and its name, or its host when it has none, as
// the entry; "localhost" when nobody answered; "<find servers>" last.
ServerList ScanList(const VEKScanEntry* entries, int n);

// Asks the servers (the library's targets: VEK_SCAN_TARGETS, else this
// host) and waits up to a second for their answers. A failed scan prints
// "error: connection check failed: ret=" and the code on `err`.
ServerList ScanServers(std::ostream& err);
