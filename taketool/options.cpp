#include "options.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace taketool {

namespace {

constexpr double kMaxSeconds = 1e9;

bool endsWith(const std::string& s, const char* ending) {
    const std::string e = ending;
    if (s.size() < e.size()) return false;
    for (size_t i = 0; i < e.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - e.size() + i])) != e[i]) return false;
    return true;
}

bool readSeconds(const std::string& name, const std::string& v, std::optional<int64_t>& out,
                 std::string& error) {
    double s = -1;  // read whatever the locale: "." is the decimal separator
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), s);
    if (ec != std::errc() || end != v.data() + v.size() || !(s >= 0 && s <= kMaxSeconds)) {
        error = name + " needs a number of seconds from 0: " + v;
        return false;
    }
    out = std::llround(s * 1e6);
    return true;
}

bool readCommand(const std::string& word, Command& out) {
    if (word == "info")
        out = Command::Info;
    else if (word == "cut")
        out = Command::Cut;
    else if (word == "export")
        out = Command::Export;
    else
        return false;
    return true;
}

// What the command needs and refuses, once every argument is read.
bool checkCommand(Options& o, bool hasLeds, std::string& error) {
    if (o.input.empty()) {
        error = "a take file is needed";
        return false;
    }
    if (o.command == Command::Info && (!o.output.empty() || o.fromUs || o.toUs || hasLeds)) {
        error = "info takes the take file only";
        return false;
    }
    if (o.command != Command::Info && o.output.empty()) {
        error = "-o FILE is needed";
        return false;
    }
    if (o.command == Command::Cut && hasLeds) {
        error = "--leds is for export only (a cut keeps every stream whole)";
        return false;
    }
    if (o.fromUs && o.toUs && *o.toUs <= *o.fromUs) {
        error = "--to must come after --from";
        return false;
    }
    if (o.command == Command::Export) {
        if (endsWith(o.output, ".c3d")) {
            o.format = Format::C3d;
        } else if (endsWith(o.output, ".csv")) {
            o.format = Format::Csv;
        } else {
            error = "export writes FILE.c3d or FILE.csv: " + o.output;
            return false;
        }
    }
    return true;
}

}  // namespace

std::string usageText() {
    return "usage: vektake info FILE\n"
           "       vektake cut FILE -o OUT [--from S] [--to S]\n"
           "       vektake export FILE -o OUT.c3d|OUT.csv [--leds LIST] [--from S] [--to S]\n"
           "  info         what the take holds: cameras, frames, rate, streams, markers, its end\n"
           "  cut          a shorter take, replayable as any other\n"
           "  export       markers to C3D, or markers and rigid bodies to CSV (OUT_rigids.csv)\n"
           "  -o OUT       the file to write (never the take itself)\n"
           "  --from S     from the first frame S seconds or more after the take's first frame\n"
           "  --to S       up to the last frame before S seconds\n"
           "  --leds LIST  only these LEDs (0-5,8), or tracker:index markers (1:0-5) in takes\n"
           "               recorded as a slave\n"
           "  -h           show this text\n";
}

bool parseOptions(int argc, const char* const* argv, Options& o, std::string& error) {
    o = Options{};
    bool hasCommand = false, hasLeds = false, onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (!onlyFiles && (a == "-h" || a == "--help")) {
            o.help = true;
            return true;
        }
        if (!onlyFiles && a == "--") {
            onlyFiles = true;
            continue;
        }
        const bool option = !onlyFiles && a.size() > 1 && a[0] == '-';
        if (!option && !hasCommand) {
            if (!readCommand(a, o.command)) {
                error = "unknown command: " + a + " (info, cut or export)";
                return false;
            }
            hasCommand = true;
            continue;
        }
        if (!option) {
            if (!o.input.empty()) {
                error = "one take file only: " + a;
                return false;
            }
            o.input = a;
            continue;
        }
        if ((a != "-o" && a != "--from" && a != "--to" && a != "--leds") || i + 1 >= argc) {
            error = "unknown option or missing value: " + a;
            return false;
        }
        const std::string v = argv[++i];
        if (a == "-o") {
            o.output = v;
        } else if (a == "--leds") {
            PointSelection selection;
            if (!parseSelection(v, selection, error)) return false;
            o.leds = std::move(selection);
            hasLeds = true;
        } else if (!readSeconds(a, v, a == "--from" ? o.fromUs : o.toUs, error)) {
            return false;
        }
    }
    if (!hasCommand) {
        error = "a command is needed: info, cut or export";
        return false;
    }
    return checkCommand(o, hasLeds, error);
}

}  // namespace taketool
