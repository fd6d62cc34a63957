// How a program that only watches joins a server (the recorder, the DDS
// bridge): as master when no master is connected, otherwise as a slave,
// which never disturbs the master's trackers.
#pragma once

#include <string>

#include "session.h"

namespace veksock {

// 0 with `master` saying how the session joined; otherwise the code why
// neither way worked (its text: describeCode).
int joinAsMasterOrSlave(Session& session, const std::string& server, bool& master);

}  // namespace veksock
