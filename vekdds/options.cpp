#include "options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "ros_mapping.h"

namespace vekdds {

namespace {

bool parseDomain(const std::string& text, int& domain) {
    char* end = nullptr;
    errno = 0;
    const long d = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || d < 0 || d > kMaxDomain || text[0] == '+' ||
        text[0] == ' ')
        return false;
    domain = static_cast<int>(d);
    return true;
}

// What a bad name looks like on the screen: control bytes as '?', at most
// 64 characters.
std::string shown(const std::string& text) {
    std::string s = text.substr(0, 64);
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return "\"" + s + (text.size() > 64 ? "...\"" : "\"");
}

bool addTracker(const std::string& path, Options& o, std::string& error) {
    const std::string name = trackerName(path);
    const bool rigid = path.size() > 3 && path.compare(path.size() - 3, 3, ".rb") == 0;
    const bool point = path.size() > 3 && path.compare(path.size() - 3, 3, ".pt") == 0;
    if (!rigid && !point) {
        error = "tracker file " + shown(path) + ": a tracker file ends in .rb (rigid body) or .pt (points)";
        return false;
    }
    if (!validRosToken(name)) {
        error = "tracker file " + shown(path) + ": " + shown(name) +
                " cannot be a ROS 2 name (letters, digits and single underscores, not starting with a digit)";
        return false;
    }
    for (const TrackerFile& t : o.trackers) {
        if (t.name == name) {
            error = "tracker files " + shown(t.path) + " and " + shown(path) + " would both be named " + name;
            return false;
        }
    }
    o.trackers.push_back({path, name, rigid});
    return true;
}

bool parseValue(const std::string& option, const std::string& v, Options& o, std::string& error) {
    if (option == "-s") {
        if (v.empty()) {
            error = "-s needs a server, host or host:port";
            return false;
        }
        o.server = v;
    } else if (option == "--domain") {
        int d = 0;
        if (!parseDomain(v, d)) {
            error = "--domain needs a ROS 2 domain id from 0 to 232: " + shown(v);
            return false;
        }
        o.domain = d;
    } else if (option == "--prefix") {
        const std::string p = !v.empty() && v[0] == '/' ? v.substr(1) : v;
        if (!validRosNamespace(p)) {
            error =
                "--prefix needs a ROS 2 namespace (names of letters, digits and single underscores, "
                "joined by '/'): " +
                shown(v);
            return false;
        }
        o.prefix = p;
    } else if (option == "--frame-id") {
        if (!validFrameId(v)) {
            error =
                "--frame-id needs a frame name (letters, digits, '_', '-', '.', '/', not starting "
                "with '/', at most 128): " +
                shown(v);
            return false;
        }
        o.frameId = v;
    } else {  // --rate
        char* end = nullptr;
        errno = 0;
        const float hz = std::strtof(v.c_str(), &end);
        if (v.empty() || *end != '\0' || errno != 0 || !std::isfinite(hz) || !(hz > 0)) {
            error = "--rate needs a frequency in Hz above 0: " + shown(v);
            return false;
        }
        o.rate = hz;
    }
    return true;
}

}  // namespace

std::string usageText() {
    return "usage: vekdds [-s server] [-t tracker files...] [--domain N] [--prefix vek] [--frame-id world]\n"
           "              [--rate HZ] [--best-effort] [-key FILE]\n"
           "  -s server      vekd to publish, host or host:port (default: VEK_SERVER, else localhost)\n"
           "  -t files...    .rb and .pt tracker files, defined when no master is connected; a rigid\n"
           "                 body's name is its file's name (body.rb: /vek/body/pose)\n"
           "  --domain N     ROS 2 domain, 0 to 232 (default: ROS_DOMAIN_ID, else 0)\n"
           "  --prefix P     topics /P/<body>/pose and /P/markers (default vek)\n"
           "  --frame-id F   the frame poses and transforms are given in (default world)\n"
           "  --rate HZ      as master, set the server to this frequency\n"
           "  --best-effort  publish best effort (default reliable, which both kinds of\n"
           "                 subscriber receive)\n"
           "  -key FILE      lab key file, for a server that asks for one (default:\n"
           "                 VEK_KEY_FILE, else ~/.config/vek/key)\n"
           "  -h             show this text\n";
}

bool parseOptions(int argc, const char* const* argv, Options& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (a == "--best-effort") {
            o.bestEffort = true;
        } else if (a == "-t") {
            const int first = i + 1;
            while (i + 1 < argc && argv[i + 1][0] != '-')
                if (!addTracker(argv[++i], o, error)) return false;
            if (i < first) {
                error = "-t needs tracker files";
                return false;
            }
        } else if (a == "-key" && i + 1 < argc) {
            o.keyFile = argv[++i];
        } else if ((a == "-s" || a == "--domain" || a == "--prefix" || a == "--frame-id" || a == "--rate") &&
                   i + 1 < argc) {
            if (!parseValue(a, argv[++i], o, error)) return false;
        } else {
            error = "unknown option or missing value: " + shown(a);
            return false;
        }
    }
    for (const TrackerFile& t : o.trackers) {
        if (t.rigid && t.name == o.frameId) {
            error =
                "the rigid body " + t.name + " cannot be its own parent frame (--frame-id " + o.frameId + ")";
            return false;
        }
    }
    return true;
}

bool resolveDomain(std::optional<int> option, const char* environment, int& domain, std::string& error) {
    if (option) {
        domain = *option;
        return true;
    }
    domain = 0;
    if (!environment || !*environment) return true;
    if (parseDomain(environment, domain)) return true;
    error = "ROS_DOMAIN_ID holds no ROS 2 domain id (0 to 232): " + shown(environment);
    return false;
}

}  // namespace vekdds
