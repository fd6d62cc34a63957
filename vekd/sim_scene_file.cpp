// The scene text format (docs/scene-format.md): one statement per line,
// fields separated by blanks, '#' starts a comment.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <sstream>

#include "regular_file.h"
#include "scene.h"

namespace vekd {

namespace {

constexpr size_t kMaxLineLength = 1024;
constexpr size_t kMaxFields = 16;
constexpr size_t kMaxFileBytes = 1 << 20;
constexpr size_t kMaxNameLength = 32;
constexpr double kMaxCoordinate = 1e6;  // millimetres: a kilometre

struct Field {
    const char* text;
    size_t length;
    std::string str() const { return std::string(text, length); }
    bool is(const char* word) const {
        return length == std::strlen(word) && std::memcmp(text, word, length) == 0;
    }
};

// Shows a field inside a message, shortened.
std::string quoted(const Field& f) {
    return "'" + std::string(f.text, std::min<size_t>(f.length, 32)) + (f.length > 32 ? "...'" : "'");
}

std::string formatNumber(double v) {
    std::ostringstream text;
    text << v;
    return text.str();
}

class SceneParser {
public:
    SceneParser(std::string name, Scene& scene) : name_(std::move(name)), scene_(scene) {}

    bool parse(const char* text, size_t length, std::string& error);

private:
    void finish();
    bool fail(const std::string& what);
    bool splitLine(const char* line, size_t length);
    bool statement();
    bool parseUp();
    bool parseNoise();
    bool parseCamera();
    bool parseBody();
    bool parseMotion();
    bool parseLed();

    bool expectFields(size_t least, size_t most, const char* usage);
    bool number(size_t i, double lowest, double highest, double& out);
    bool coordinate(size_t i, double& out) { return number(i, -kMaxCoordinate, kMaxCoordinate, out); }
    bool point(size_t i, Vec3& out);
    bool identifier(size_t i, int& out);
    int bodyIndex(const Field& name) const;

    std::string name_;
    Scene& scene_;
    size_t lineNumber_ = 0;
    Field fields_[kMaxFields];
    size_t count_ = 0;
    std::string error_;
    size_t upLine_ = 0;          // line of the `up` statement, 0 when none
    bool yUp_ = false;           // without `up` a file is z-up
    std::vector<Vec3> targets_;  // what each camera looks at
};

bool SceneParser::fail(const std::string& what) {
    error_ = name_ + ":" + std::to_string(lineNumber_) + ": " + what;
    return false;
}

bool SceneParser::parse(const char* text, size_t length, std::string& error) {
    size_t start = 0;
    while (start < length) {
        ++lineNumber_;
        const void* newline = std::memchr(text + start, '\n', length - start);
        const size_t end = newline ? static_cast<size_t>(static_cast<const char*>(newline) - text) : length;
        size_t lineLength = end - start;
        if (lineLength > 0 && text[start + lineLength - 1] == '\r') --lineLength;
        if (!splitLine(text + start, lineLength) || (count_ > 0 && !statement())) {
            error = error_;
            return false;
        }
        start = end + 1;
    }
    finish();
    return true;
}

// A z-up file is turned to the y-up world as a whole (a quarter turn about
// x), so that a file may give `up` anywhere; then the cameras are aimed.
void SceneParser::finish() {
    if (!yUp_) {
        for (size_t c = 0; c < scene_.cameras.size(); ++c) {
            scene_.cameras[c].position = zUpToYUp(scene_.cameras[c].position);
            targets_[c] = zUpToYUp(targets_[c]);
        }
        for (SceneBody& body : scene_.bodies) {
            body.center = zUpToYUp(body.center);
            // Shifts and turns along y become along -z, along z along y;
            // the spin stays about the up axis.
            for (MotionTerm& term : body.terms) {
                if (term.axis == 1) {
                    term.axis = 2;
                    term.amplitude = -term.amplitude;
                } else if (term.axis == 2) {
                    term.axis = 1;
                }
            }
        }
        for (SceneLed& led : scene_.leds) {
            led.position = zUpToYUp(led.position);
            led.direction = zUpToYUp(led.direction);
        }
    }
    // Each camera's target differs from its position (checked on its line).
    for (size_t c = 0; c < scene_.cameras.size(); ++c)
        lookAt(scene_.cameras[c].position, targets_[c], scene_.cameras[c].orientation);
}

bool SceneParser::splitLine(const char* line, size_t length) {
    if (length > kMaxLineLength)
        return fail("line longer than " + std::to_string(kMaxLineLength) + " characters");
    count_ = 0;
    size_t i = 0;
    while (i < length) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c == ' ' || c == '\t') {
            ++i;
            continue;
        }
        if (c == '#') break;
        const size_t begin = i;
        while (i < length && line[i] != ' ' && line[i] != '\t' && line[i] != '#') {
            if (static_cast<unsigned char>(line[i]) < 0x20 || line[i] == 0x7f)
                return fail("control character in line");
            ++i;
        }
        if (count_ == kMaxFields) return fail("too many fields (at most " + std::to_string(kMaxFields) + ")");
        fields_[count_++] = {line + begin, i - begin};
    }
    return true;
}

bool SceneParser::statement() {
    const Field& keyword = fields_[0];
    if (keyword.is("up")) return parseUp();
    if (keyword.is("noise")) return parseNoise();
    if (keyword.is("camera")) return parseCamera();
    if (keyword.is("body")) return parseBody();
    if (keyword.is("motion")) return parseMotion();
    if (keyword.is("led")) return parseLed();
    return fail("unknown statement " + quoted(keyword));
}

bool SceneParser::expectFields(size_t least, size_t most, const char* usage) {
    if (count_ < least || count_ > most) return fail(std::string("expected: ") + usage);
    return true;
}

bool SceneParser::number(size_t i, double lowest, double highest, double& out) {
    const Field& f = fields_[i];
    const char* first = f.text;
    if (f.length > 1 && f.text[0] == '+' && f.text[1] != '-') ++first;  // from_chars takes no plus sign
    const auto [end, ec] = std::from_chars(first, f.text + f.length, out);
    if (ec != std::errc() || end != f.text + f.length || !std::isfinite(out))
        return fail("not a number: " + quoted(f));
    if (out < lowest || out > highest)
        return fail("value " + quoted(f) + " out of range " + formatNumber(lowest) + " to " +
                    formatNumber(highest));
    return true;
}

bool SceneParser::point(size_t i, Vec3& out) {
    return coordinate(i, out.x) && coordinate(i + 1, out.y) && coordinate(i + 2, out.z);
}

bool SceneParser::identifier(size_t i, int& out) {
    const Field& f = fields_[i];
    const auto [end, ec] = std::from_chars(f.text, f.text + f.length, out);
    if (ec != std::errc() || end != f.text + f.length || out < 0)
        return fail("not an id (0 to " + std::to_string(INT_MAX) + "): " + quoted(f));
    return true;
}

int SceneParser::bodyIndex(const Field& name) const {
    for (size_t b = 0; b < scene_.bodies.size(); ++b)
        if (name.is(scene_.bodies[b].name.c_str())) return static_cast<int>(b);
    return -1;
}

bool SceneParser::parseUp() {
    if (!expectFields(2, 2, "up y|z")) return false;
    if (upLine_ != 0)
        return fail("second 'up' statement (the first is on line " + std::to_string(upLine_) + ")");
    if (!fields_[1].is("y") && !fields_[1].is("z"))
        return fail("up must be y or z, not " + quoted(fields_[1]));
    upLine_ = lineNumber_;
    yUp_ = fields_[1].is("y");
    return true;
}

bool SceneParser::parseNoise() {
    if (!expectFields(2, 2, "noise SIGMA_PIXELS")) return false;
    return number(1, 0, 100, scene_.noisePixels);
}

bool SceneParser::parseCamera() {
    if (!expectFields(10, 11, "camera ID X Y Z LOOKX LOOKY LOOKZ HFOV VFOV [uncalibrated]")) return false;
    if (scene_.cameras.size() >= static_cast<size_t>(Scene::kMaxCameras))
        return fail("too many cameras (at most " + std::to_string(Scene::kMaxCameras) + ")");
    SceneCamera camera;
    Vec3 target;
    if (!identifier(1, camera.id) || !point(2, camera.position) || !point(5, target) ||
        !number(8, 1, 170, camera.hfovDegrees) || !number(9, 1, 170, camera.vfovDegrees))
        return false;
    for (const SceneCamera& other : scene_.cameras)
        if (other.id == camera.id) return fail("duplicate camera id " + std::to_string(camera.id));
    if (count_ == 11) {
        if (!fields_[10].is("uncalibrated")) return fail("unknown camera option " + quoted(fields_[10]));
        camera.calibrated = false;
    }
    if (norm(target - camera.position) <= 0) return fail("camera looks at its own position");
    scene_.cameras.push_back(camera);
    targets_.push_back(target);
    return true;
}

bool SceneParser::parseBody() {
    if (!expectFields(5, 7, "body NAME X Y Z [spin DEGREES_PER_SECOND]")) return false;
    if (scene_.bodies.size() >= static_cast<size_t>(Scene::kMaxBodies))
        return fail("too many bodies (at most " + std::to_string(Scene::kMaxBodies) + ")");
    const Field& name = fields_[1];
    const bool nameCharsOk = std::all_of(name.text, name.text + name.length, [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-';
    });
    if (!nameCharsOk || name.length > kMaxNameLength || name.is("static"))
        return fail("bad body name " + quoted(name) +
                    " (letters, digits, '_', '-'; at most 32; not 'static')");
    if (bodyIndex(name) >= 0) return fail("duplicate body " + quoted(name));
    SceneBody body;
    body.name = name.str();
    if (!point(2, body.center)) return false;
    if (count_ > 5) {
        if (count_ != 7 || !fields_[5].is("spin"))
            return fail("expected: body NAME X Y Z [spin DEGREES_PER_SECOND]");
        if (!number(6, -3600, 3600, body.spinDegreesPerSecond)) return false;
    }
    scene_.bodies.push_back(std::move(body));
    return true;
}

bool SceneParser::parseMotion() {
    if (!expectFields(6, 7, "motion BODY translate|rotate x|y|z AMPLITUDE FREQUENCY_HZ [PHASE_DEGREES]"))
        return false;
    const int b = bodyIndex(fields_[1]);
    if (b < 0) return fail("unknown body " + quoted(fields_[1]));
    SceneBody& body = scene_.bodies[b];
    if (body.terms.size() >= static_cast<size_t>(Scene::kMaxTermsPerBody))
        return fail("too many motion terms for one body (at most " + std::to_string(Scene::kMaxTermsPerBody) +
                    ")");
    MotionTerm term;
    if (fields_[2].is("rotate"))
        term.rotation = true;
    else if (!fields_[2].is("translate"))
        return fail("motion must be 'translate' or 'rotate', not " + quoted(fields_[2]));
    const Field& axis = fields_[3];
    if (axis.length != 1 || axis.text[0] < 'x' || axis.text[0] > 'z')
        return fail("axis must be x, y or z, not " + quoted(axis));
    term.axis = axis.text[0] - 'x';
    const double amplitudeLimit = term.rotation ? 360 : 10000;
    if (!number(4, -amplitudeLimit, amplitudeLimit, term.amplitude) || !number(5, 0, 100, term.frequencyHz) ||
        (count_ == 7 && !number(6, -3600, 3600, term.phaseDegrees)))
        return false;
    body.terms.push_back(term);
    return true;
}

bool SceneParser::parseLed() {
    if (!expectFields(9, 11, "led ID BODY|static X Y Z NX NY NZ [cone DEGREES]")) return false;
    if (scene_.leds.size() >= static_cast<size_t>(Scene::kMaxLeds))
        return fail("too many LEDs (at most " + std::to_string(Scene::kMaxLeds) + ")");
    SceneLed led;
    if (!identifier(1, led.id)) return false;
    if (findLed(scene_, led.id) >= 0) return fail("duplicate LED id " + std::to_string(led.id));
    if (!fields_[2].is("static")) {
        led.body = bodyIndex(fields_[2]);
        if (led.body < 0) return fail("unknown body " + quoted(fields_[2]));
    }
    Vec3 direction;
    if (!point(3, led.position) || !point(6, direction)) return false;
    if (norm(direction) < 1e-9) return fail("LED direction is zero");
    led.direction = normalized(direction);
    if (count_ > 9) {
        if (count_ != 11 || !fields_[9].is("cone"))
            return fail("expected: led ID BODY|static X Y Z NX NY NZ [cone DEGREES]");
        if (!number(10, 0.001, 180, led.coneDegrees)) return false;
    }
    scene_.leds.push_back(led);
    return true;
}

bool parseNamed(const std::string& name, const char* text, size_t length, Scene& out, std::string& error) {
    Scene scene;
    SceneParser parser(name, scene);
    if (!parser.parse(text, length, error)) return false;
    out = std::move(scene);
    return true;
}

}  // namespace

bool parseScene(const char* text, size_t length, Scene& out, std::string& error) {
    return parseNamed("<scene>", text, length, out, error);
}

bool loadScene(const std::string& path, Scene& out, std::string& error) {
    // Only a regular file: a FIFO is refused, never waited on.
    std::string why;
    const vekwire::UniqueFd file = vekwire::openRegularFile(path, why);
    if (!file.valid()) {
        error = path + ":0: " + (errno == 0 ? why : "cannot open the file");
        return false;
    }
    std::string text;
    char chunk[BUFSIZ];
    for (;;) {
        const ssize_t n = ::read(file.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = path + ":0: read error";
            return false;
        }
        if (n == 0) break;
        text.append(chunk, static_cast<size_t>(n));
        if (text.size() > kMaxFileBytes) {
            error = path + ":0: file larger than " + std::to_string(kMaxFileBytes) + " bytes";
            return false;
        }
    }
    return parseNamed(path, text.data(), text.size(), out, error);
}

}  // namespace vekd
