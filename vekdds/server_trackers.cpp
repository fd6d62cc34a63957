#include "server_trackers.h"

#include <ostream>
#include <sstream>

#include "master_or_slave.h"

namespace vekdds {

namespace {

// Defines one tracker on the server; false with the server's code in `code`.
bool define(veksock::Session& session, const vektk::Tracker& t, int& code) {
    code = session.request(vekwire::Op::TrackerCreate, t.id, VEK_CREATE, t.type);
    for (size_t i = 0; code == 0 && i < t.markers.size(); ++i) {
        const vektk::MarkerDef& m = t.markers[i];
        const int marker = vek_marker_id(t.id, m.index);
        code = session.request(vekwire::Op::MarkerInt, marker, VEK_MARKER_LED, m.led);
        if (code == 0 && t.IsRigid() && m.pos.size() == 3 &&
            !session.sendPosition(marker, VEK_MARKER_POSITION, m.pos.data()))
            code = session.takeError();
    }
    if (code == 0) code = session.request(vekwire::Op::TrackerOp, t.id, 0, VEK_ON);
    return code == 0;
}

std::string qosText(const Options& o, int domain) {
    return "ROS 2 domain " + std::to_string(domain) + ", " + (o.bestEffort ? "best effort" : "reliable");
}

}  // namespace

bool loadTrackerFiles(const std::vector<TrackerFile>& files, std::vector<vektk::Tracker>& out,
                      std::ostream& err) {
    for (const TrackerFile& f : files) {
        const int type = f.rigid ? vektk::kRigidTracker : vektk::kPointTracker;
        vektk::Tracker t(type, static_cast<int>(out.size()), 0);
        std::ostringstream why;
        if (t.Load(type, f.path, why) == 0) {
            std::string text = why.str();
            if (text.empty()) text = f.path + " holds no markers\n";
            err << (text.rfind("error: ", 0) == 0 ? "" : "error: ") << text << std::flush;
            return false;
        }
        out.push_back(std::move(t));
    }
    return true;
}

bool setUpServer(veksock::Session& session, const std::string& server, bool master, const Options& options,
                 int domain, const std::vector<vektk::Tracker>& trackers, Publishers& publishers,
                 std::string& startLine, std::ostream& err) {
    const std::string topics = "markers on " + markersTopic(options.prefix) + ", transforms on " + kTfTopic;
    if (!master) {
        startLine = "vekdds: publishing " + server +
                    " as a slave (a master is connected; its trackers stay as " +
                    "they are): rigid bodies on " + poseTopic(options.prefix, "tracker<id>") + ", " + topics +
                    "; " + qosText(options, domain);
        if (!trackers.empty())
            err << "warning: the tracker files are left unused: the master's trackers are published"
                << std::endl;
        if (options.rate) err << "warning: --rate is left unused: the master sets the frequency" << std::endl;
        return true;
    }
    if (trackers.empty()) {
        err << "error: no master is connected to " << server << " and no tracker files were given (-t): "
            << "there is nothing to publish" << std::endl;
        return false;
    }
    std::string what;
    for (size_t i = 0; i < trackers.size(); ++i) {
        const TrackerFile& f = options.trackers[i];
        int code = 0;
        if (!define(session, trackers[i], code)) {
            err << "error: " << server << " refused the tracker of " << f.path << ": "
                << session.describe(code) << std::endl;
            return false;
        }
        std::string error;
        if (f.rigid && !publishers.nameTracker(trackers[i].id, f.name, error)) {
            err << "error: " << error << std::endl;
            return false;
        }
        what +=
            (i ? ", " : "") + f.path + (f.rigid ? " on " + poseTopic(options.prefix, f.name) : " (points)");
    }
    if (options.rate && !session.setFloat(VEK_FREQUENCY, *options.rate)) {
        err << "error: " << server << " refused --rate " << *options.rate << ": "
            << session.describe(session.takeError()) << std::endl;
        return false;
    }
    startLine = "vekdds: publishing " + server + " as master (no master was connected): " + what + "; " +
                topics + "; " + qosText(options, domain);
    return true;
}

}  // namespace vekdds
