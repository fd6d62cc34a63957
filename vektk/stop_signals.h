// SIGINT and SIGTERM as a request to stop, for console programs that end
// their work cleanly (the recorder, the DDS bridge) instead of dying.
#pragma once

namespace vektk {

// From now on SIGINT and SIGTERM only set the flag; a wait in a system call
// ends at once (no restart).
void InstallStopSignals();
bool StopRequested();

}  // namespace vektk
