// The server's side of the bridge: the tracker files read, and the server
// set up as master (trackers defined, frequency set) or joined as a slave,
// with the line that says which and what goes where.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "options.h"
#include "publishers.h"
#include "session.h"
#include "tracker.h"

namespace vekdds {

// Reads every tracker file (tracker ids in command-line order from 0);
// false with the reason printed.
bool loadTrackerFiles(const std::vector<TrackerFile>& files, std::vector<vektk::Tracker>& out,
                      std::ostream& err);

// As master: defines the trackers on the server and names their
// publishers, sets --rate. As a slave: leaves the server as it is (the
// files and --rate are left unused, with a warning). `startLine`: what to
// say once frames stream. False with the reason printed.
bool setUpServer(veksock::Session& session, const std::string& server, bool master, const Options& options,
                 int domain, const std::vector<vektk::Tracker>& trackers, Publishers& publishers,
                 std::string& startLine, std::ostream& err);

}  // namespace vekdds
