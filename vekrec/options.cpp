#include "options.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "vek_types.h"

namespace vekrec {

std::string usageText() {
    return "usage: vekrec -s server -o FILE.vektake [-t seconds] [-n leds] [-key FILE]\n"
           "  -s server   vekd to record, host or host:port (default: VEK_SERVER, else localhost)\n"
           "  -o FILE     the take file; \".vektake\" is added when the name lacks it\n"
           "  -t seconds  stop after this long (default: at Ctrl+C)\n"
           "  -n leds     when no master is connected, record as master with a point\n"
           "              tracker on LEDs 0 to leds-1 (1 to " +
           std::to_string(VEK_MAX_MARKERS) +
           ", default 32)\n"
           "  -key FILE   lab key file, for a server that asks for one (default:\n"
           "              VEK_KEY_FILE, else ~/.config/vek/key)\n"
           "  -h          show this text\n";
}

bool parseOptions(int argc, const char* const* argv, Options& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h") {
            o.help = true;
            continue;
        }
        if ((a != "-s" && a != "-o" && a != "-t" && a != "-n" && a != "-key") || i + 1 >= argc) {
            error = "unknown option or missing value: " + a;
            return false;
        }
        const std::string v = argv[++i];
        char* end = nullptr;
        errno = 0;
        if (a == "-s") {
            o.server = v;
        } else if (a == "-o") {
            o.output = v;
        } else if (a == "-key") {
            o.keyFile = v;
        } else if (a == "-t") {
            const double t = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || errno != 0 || !(t > 0) || !std::isfinite(t)) {
                error = "-t needs a number of seconds above 0: " + v;
                return false;
            }
            o.seconds = t;
        } else {
            const long n = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || n < 1 || n > VEK_MAX_MARKERS) {
                error = "-n needs a number of LEDs from 1 to " + std::to_string(VEK_MAX_MARKERS) + ": " + v;
                return false;
            }
            o.leds = static_cast<int>(n);
        }
    }
    if (!o.help && o.output.empty()) {
        error = "-o FILE is needed";
        return false;
    }
    return true;
}

std::string takePath(const std::string& name) {
    static const std::string kEnding = ".vektake";
    if (name.size() >= kEnding.size() &&
        name.compare(name.size() - kEnding.size(), kEnding.size(), kEnding) == 0)
        return name;
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return name;
    return name + kEnding;
}

}  // namespace vekrec
