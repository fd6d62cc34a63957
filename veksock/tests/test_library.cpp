// The library's contract, against a real vekd on loopback.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <thread>

#include "library_waits.h"
#include "net.h"
#include "scripted_peer.h"
#include "server_process.h"
#include "unique_fd.h"
#include "veksock.h"
#include "wire.h"

using testsupport::ServerProcess;

namespace {

// A master in another process, for the tests that need two clients.
struct ChildMaster {
    pid_t pid = -1;
    explicit ChildMaster(const std::string& address) {
        pid = fork();
        if (pid == 0) {
            if (vekInit(address.c_str(), 0) < 0) _exit(1);
            vekTrackeri(0, VEK_CREATE, VEK_POINT_TRACKER);
            for (int i = 0; i < 6; ++i) vekMarkeri(i, VEK_MARKER_LED, i);
            vekTracker(0, VEK_ON);
            vekSetFloat(VEK_FREQUENCY, 200);
            pause();
            _exit(0);
        }
    }
    ~ChildMaster() {
        if (pid <= 0) return;  // no child: -1 would name every process
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
};

class Library : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = new ServerProcess({"--freq", "480", "--name", "bench lab"}); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        ASSERT_EQ(vekInit(server->address().c_str(), 0), 0);
        drainErrors();
    }
    void TearDown() override { vekDone(); }

    static ServerProcess* server;
};
ServerProcess* Library::server = nullptr;

}  // namespace

TEST(LibraryConnect, FailuresAreCodesThatStayPending) {
    char text[VEK_STRING_SIZE];
    ASSERT_GT(vekGetString(VEK_VERSION, text), 0);
    EXPECT_NE(std::strstr(text, "SOCKET"), nullptr);
    EXPECT_EQ(vekGetString(VEK_INVALID_VALUE, text), 0);  // the toolkit words these itself

    const std::string refused = "127.0.0.1:" + std::to_string(testsupport::unusedPort());
    EXPECT_EQ(vekInit(refused.c_str(), 0), VEK_ERR_REFUSED);
    EXPECT_EQ(vekGetStatus(), 0);
    EXPECT_EQ(vekGetError(), VEK_ERR_REFUSED);
    EXPECT_EQ(vekGetError(), 0);
    MarkerRecord m[4];
    EXPECT_LT(vekGetMarkers(m, 4), 0);  // not connected

    EXPECT_EQ(vekInit("127.0.0.1:notaport", 0), VEK_ERR_HOST_UNREACHABLE);
    drainErrors();
}

TEST(LibraryConnect, AServerThatNeverAnswersTimesOut) {
    // Listening but never accepting: the handshake gets no answer.
    const vekwire::UniqueFd listening(socket(AF_INET, SOCK_STREAM, 0));
    const int fd = listening.get();
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(fd, 4), 0);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    const std::string address = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));

    const auto start = Clock::now();
    EXPECT_EQ(vekInit(address.c_str(), 0), VEK_ERR_TIMED_OUT);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(1900));
    EXPECT_LT(took, std::chrono::milliseconds(3000));
    EXPECT_EQ(vekGetError(), VEK_ERR_TIMED_OUT);
}

TEST(LibraryConnect, FrameTimesCompareOnlyWithAServerOnThisMachine) {
    ServerProcess server;
    ASSERT_EQ(vekInit(server.address().c_str(), 0), 0);
    int same = -1;
    EXPECT_EQ(vekGetIntegerv(VEK_SAME_CLOCK, &same), 1);
    EXPECT_EQ(same, 1);
    vekDone();
    // Any other address is another machine's clock. A UDP socket takes a
    // peer without sending anything to it.
    for (const auto& [address, loopback] : {std::pair{"127.0.0.2", true}, {"192.0.2.1", false}}) {
        const vekwire::UniqueFd udp(socket(AF_INET, SOCK_DGRAM, 0));
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(9);
        inet_pton(AF_INET, address, &a.sin_addr);
        ASSERT_EQ(connect(udp.get(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << address;
        EXPECT_EQ(veksock::isLoopbackPeer(udp.get()), loopback) << address;
    }
}

TEST(LibraryConnect, AServerThatBreaksTheHandshakeIsAProtocolErrorNotARefusal) {
    const auto welcome = [](int32_t result) {
        vekwire::Welcome w;
        w.result = result;
        std::string out;
        vekwire::encodeWelcome(out, w);
        return out;
    };
    std::string badMagic = welcome(0);
    badMagic[vekwire::kHeaderSize] ^= 0x20;
    // The code's text says what broke.
    const std::string protocol = "vekd and this library do not speak the same protocol: ";
    const struct {
        std::string answer;
        int code;
        std::string text;
    } cases[] = {
        {"HTTP/1.0 400 Bad Request\r\n\r\n", VEK_ERR_PROTOCOL, protocol + "unknown message kind 12591"},
        {badMagic, VEK_ERR_PROTOCOL, protocol + "not a vekd server of this protocol version"},
        {std::string("\xff\xff\xff\x7f\x02\x00\x00\x00", 8), VEK_ERR_PROTOCOL,  // oversized
         protocol + "message of 2147483647 bytes exceeds the limit"},
        {welcome(0).substr(0, 20), VEK_ERR_PROTOCOL,  // truncated
         protocol + "the connection closed before a whole welcome"},
        // Refusals the library does not know.
        {welcome(0x7fffffff), VEK_ERR_PROTOCOL, protocol + "a refusal of unknown code 2147483647"},
        {welcome(-5), VEK_ERR_PROTOCOL, protocol + "a refusal of unknown code -5"},
        {welcome(VEK_ERR_PROTOCOL), VEK_ERR_PROTOCOL,
         protocol + "vekd does not serve protocol version " + std::to_string(vekwire::kVersion)},
        {welcome(VEK_ERR_TOO_MANY_CLIENTS), VEK_ERR_TOO_MANY_CLIENTS,
         "vekd serves as many clients as it can"},
    };
    for (const auto& c : cases) {
        testsupport::ScriptedPeer peer({c.answer});
        EXPECT_EQ(vekInit(peer.address().c_str(), 0), -1);
        EXPECT_EQ(vekGetError(), c.code) << c.answer.substr(0, 4);
        char text[VEK_STRING_SIZE];
        EXPECT_EQ(vekGetString(c.code, text), static_cast<int>(c.text.size()));
        EXPECT_EQ(text, c.text);
        drainErrors();
    }
    // A new connection forgets the last one's reason.
    char text[VEK_STRING_SIZE];
    vekGetString(VEK_ERR_PROTOCOL, text);
    EXPECT_STREQ(text, "vekd and this library do not speak the same protocol");
    // Closed before a byte came back: nobody there to talk to.
    testsupport::ScriptedPeer silent({});
    EXPECT_EQ(vekInit(silent.address().c_str(), 0), VEK_ERR_REFUSED);
    drainErrors();
}

TEST_F(Library, OneMasterAtATimeSlavesWatchItsTrackers) {
    vekDone();
    ServerProcess own({"--freq", "0"});
    ChildMaster master(own.address());
    ASSERT_TRUE(own.waitForOutput("master"));

    EXPECT_EQ(vekInit(own.address().c_str(), 0), -1);
    const int code = vekGetError();
    EXPECT_EQ(code, VEK_ERR_MASTER_BUSY);
    char text[VEK_STRING_SIZE];
    EXPECT_GT(vekGetString(code, text), 0);
    EXPECT_NE(std::strstr(text, "slave"), nullptr);

    ASSERT_EQ(vekInit(own.address().c_str(), VEK_SLAVE | VEK_MODE2), 0);
    int flags = 0;
    vekGetIntegerv(VEK_INIT_FLAGS, &flags);
    EXPECT_EQ(flags, VEK_SLAVE | VEK_MODE2);
    EXPECT_TRUE(own.waitForOutput("flags 0x201 slave"));
    ASSERT_EQ(vekSetInteger(VEK_STREAMING, VEK_ON), 1);
    MarkerRecord m[VEK_MAX_MARKERS];
    ASSERT_EQ(waitMarkers(m), 6);  // the master's tracker
    EXPECT_EQ(m[5].id, 5);

    // A slave changes neither trackers nor the frequency.
    drainErrors();
    EXPECT_EQ(vekTrackeri(3, VEK_CREATE, VEK_POINT_TRACKER), 0);
    EXPECT_EQ(vekGetStatus(), 0);
    EXPECT_EQ(vekGetError(), VEK_INVALID_OPERATION);
    EXPECT_EQ(vekSetFloat(VEK_FREQUENCY, 30), 0);
    EXPECT_EQ(vekGetError(), VEK_INVALID_OPERATION);
    float hz = 0;
    EXPECT_GT(vekGetFloatv(VEK_FREQUENCY, &hz), 0);
    EXPECT_EQ(hz, 200.0f);
}

TEST_F(Library, TrackersDefineTheMarkerStreamInCreationAndIndexOrder) {
    ASSERT_EQ(vekTrackeri(2, VEK_CREATE, VEK_POINT_TRACKER), 1);
    const int led3 = 3;
    vekMarkeriv(vek_marker_id(2, 0), VEK_MARKER_LED, &led3);
    vekMarkeri(vek_marker_id(2, 1), VEK_MARKER_LED, 1);
    vekTracker(2, VEK_ON);
    ASSERT_EQ(vekTrackeri(0, VEK_CREATE, VEK_POINT_TRACKER), 1);
    vekMarkeri(7, VEK_MARKER_LED, 5);
    vekMarkeri(2, VEK_MARKER_LED, 4);
    vekMarkeri(9, VEK_MARKER_LED, 999);  // no such LED: listed, never seen
    vekTracker(0, VEK_ON);
    ASSERT_EQ(vekGetStatus(), 1);
    ASSERT_EQ(vekSetInteger(VEK_STREAMING, VEK_ON), 1);

    MarkerRecord m[VEK_MAX_MARKERS];
    ASSERT_EQ(waitMarkers(m), 5);
    const int ids[] = {vek_marker_id(2, 0), vek_marker_id(2, 1), 2, 7, 9};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(m[i].id, ids[i]);
        EXPECT_EQ(m[i].frame, m[0].frame);
    }
    EXPECT_EQ(m[4].cond, 0.0f);

    vekTracker(2, VEK_OFF);
    EXPECT_EQ(waitMarkers(m, 2000, [](int n) { return n == 3; }), 3);
    EXPECT_EQ(m[0].id, 2);
    vekTracker(0, VEK_DESTROY);
    vekTracker(2, VEK_ON);
    EXPECT_EQ(waitMarkers(m, 2000, [&](int n) { return n == 2 && m[0].id == vek_marker_id(2, 0); }), 2);

    // Wrong ids, kinds and operations: a code and a failed status, nothing else.
    struct Case {
        int result;
        int code;
    };
    const Case cases[] = {
        {vekTracker(99, VEK_ON), VEK_INVALID_VALUE},
        {vekTrackeri(2, VEK_CREATE, VEK_POINT_TRACKER), VEK_INVALID_OPERATION},
        {vekTrackeri(5, VEK_CREATE, 123), VEK_INVALID_ENUM},
        {vekTrackeri(5, 300, VEK_POINT_TRACKER), VEK_INVALID_ENUM},
        {vekTracker(2, 300), VEK_INVALID_ENUM},
        {vekTrackerf(2, 1999, 1.0f), VEK_INVALID_ENUM},
        {vekMarkeri(vek_marker_id(2, 4), VEK_MARKER_LED, -4), VEK_INVALID_VALUE},
        {vekMarkeri(vek_marker_id(77, 0), VEK_MARKER_LED, 1), VEK_INVALID_VALUE},
        {vekSetInteger(VEK_STREAMING, 7), VEK_INVALID_ENUM},
        {vekSetInteger(4242, VEK_ON), VEK_INVALID_ENUM},
        {vekSetFloat(VEK_FREQUENCY, 2000), VEK_INVALID_VALUE},
        {vekScale(0), VEK_INVALID_VALUE},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.result, 0);
        EXPECT_EQ(vekGetError(), c.code);
    }
    EXPECT_EQ(vekGetError(), 0);
    EXPECT_EQ(vekTrackerf(2, VEK_FILL, 0.0f), 1);
    EXPECT_EQ(vekTrackerf(2, VEK_TRACKER_THRESHOLD, 0.8f), 1);
    EXPECT_EQ(vekGetStatus(), 1);
}

TEST_F(Library, StreamsSwitchAndCarryOneFrameNumber) {
    vekTrackeri(0, VEK_CREATE, VEK_POINT_TRACKER);
    for (int i = 0; i < 6; ++i) vekMarkeri(i, VEK_MARKER_LED, i);
    vekTracker(0, VEK_ON);
    int on = -1;
    vekGetIntegerv(VEK_MARKERS, &on);
    EXPECT_EQ(on, 0);  // nothing streams before 513
    ASSERT_EQ(vekSetInteger(VEK_STREAMING, VEK_ON), 1);
    vekGetIntegerv(VEK_MARKERS, &on);
    EXPECT_EQ(on, 1);
    vekGetIntegerv(VEK_IMAGES, &on);
    EXPECT_EQ(on, 0);
    ASSERT_EQ(vekSetInteger(VEK_IMAGES, VEK_ON), 1);
    ASSERT_EQ(vekSetInteger(VEK_DETECTORS, VEK_ON), 1);
    vekGetIntegerv(VEK_IMAGES, &on);
    EXPECT_EQ(on, 1);

    // The first frames may predate the switch; compare once both streams flow.
    MarkerRecord m[VEK_MAX_MARKERS];
    ImageRecord img[VEK_MAX_IMAGES];
    DetectorRecord det[VEK_MAX_DETECTORS];
    int matched = 0;
    const auto end = Clock::now() + std::chrono::seconds(2);
    while (matched < 20 && Clock::now() < end) {
        const int nm = vekGetMarkers(m, VEK_MAX_MARKERS);
        const int ni = vekGetImages(img, VEK_MAX_IMAGES);
        const int nd = vekGetDetectors(det, VEK_MAX_DETECTORS);
        if (nm > 0 && ni > 0 && nd > 0) {
            EXPECT_EQ(img[0].frame, m[0].frame);
            EXPECT_EQ(det[nd - 1].frame, m[0].frame);
            EXPECT_EQ(nd, 16);  // 8 cameras x 2 detectors
            for (int i = 0; i < ni; ++i) {
                EXPECT_GE(img[i].pos, 0.0f);
                EXPECT_LE(img[i].pos, 1.0f);
                EXPECT_TRUE(img[i].id == -1 || (img[i].id >= 0 && img[i].id < 6));
            }
            ++matched;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    EXPECT_EQ(matched, 20);
    EXPECT_EQ(vekGetImages(img, 0), 0);

    ASSERT_EQ(vekSetInteger(VEK_STREAMING, VEK_OFF), 1);
    vekGetIntegerv(VEK_MARKERS, &on);
    EXPECT_EQ(on, 0);
}

TEST_F(Library, FrequencyFramesAndCameras) {
    ASSERT_EQ(vekSetFloat(VEK_FREQUENCY, 240), 1);
    float hz = 0;
    ASSERT_EQ(vekGetFloatv(VEK_FREQUENCY, &hz), 1);
    EXPECT_EQ(hz, 240.0f);
    ASSERT_EQ(vekSetInteger(VEK_STREAMING, VEK_ON), 1);
    EXPECT_EQ(vekGetFloatv(1999, &hz), 0);
    EXPECT_EQ(vekGetError(), VEK_INVALID_ENUM);

    // No tracker: the frame counter still runs, every frame in order.
    int first = 0, frame = 0;
    const auto start = Clock::now();
    while (first == 0 && Clock::now() - start < std::chrono::seconds(1)) vekGetIntegerv(VEK_FRAME, &first);
    ASSERT_GT(first, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    vekGetIntegerv(VEK_FRAME, &frame);
    EXPECT_NEAR(frame - first, 120, 25);
    int64_t generated = 0;
    EXPECT_EQ(vekGetFrameTime(&generated), 1);
    const int64_t now =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
    EXPECT_GT(generated, now - 1000000);
    EXPECT_LE(generated, now);

    VEKCamera cams[VEK_MAX_CAMERAS];
    ASSERT_EQ(vekGetCameras(cams, VEK_MAX_CAMERAS), 8);
    EXPECT_EQ(vekGetCameras(cams, 3), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_GT(cams[i].cond, 0.0f);
        EXPECT_NEAR(
            std::hypot(cams[i].pose[3], cams[i].pose[4], std::hypot(cams[i].pose[5], cams[i].pose[6])), 1,
            1e-5);
    }
    vekSetFloat(VEK_FREQUENCY, 480);
}

TEST_F(Library, ScaleAndPoseApplyToWhatIsReportedAndSent) {
    // A static LED, so frames differ only by noise.
    vekTrackeri(0, VEK_CREATE, VEK_POINT_TRACKER);
    vekMarkeri(0, VEK_MARKER_LED, 16);
    vekTracker(0, VEK_ON);
    vekSetInteger(VEK_STREAMING, VEK_ON);
    MarkerRecord m[VEK_MAX_MARKERS];
    ASSERT_EQ(waitMarkers(m, 2000, [&](int) { return m[0].cond > 0; }), 1);
    const MarkerRecord mm = m[0];

    // 90 degrees about z and 100 mm along x, then metres.
    const float pose[7] = {100, 0, 0, std::sqrt(0.5f), 0, 0, std::sqrt(0.5f)};
    ASSERT_EQ(vekLoadPose(pose), 1);
    ASSERT_EQ(vekScale(0.001f), 1);
    while (vekGetMarkers(m, VEK_MAX_MARKERS) > 0) {
    }
    ASSERT_EQ(waitMarkers(m, 2000, [&](int) { return m[0].cond > 0; }), 1);
    EXPECT_NEAR(m[0].x, (100 - mm.y) * 0.001, 0.001);
    EXPECT_NEAR(m[0].y, mm.x * 0.001, 0.001);
    EXPECT_NEAR(m[0].z, mm.z * 0.001, 0.001);

    VEKCamera cams[VEK_MAX_CAMERAS];
    ASSERT_EQ(vekGetCameras(cams, 1), 1);
    vekScale(1);
    const float identity[7] = {0, 0, 0, 1, 0, 0, 0};
    vekLoadPose(identity);
    VEKCamera raw[1];
    ASSERT_EQ(vekGetCameras(raw, 1), 1);
    EXPECT_NEAR(cams[0].pose[0], (100 - raw[0].pose[1]) * 0.001, 1e-4);
    EXPECT_NEAR(cams[0].pose[2], raw[0].pose[2] * 0.001, 1e-4);

    // Body-frame positions are sent in the caller's unit: at scale 0.001 a
    // rigid body given in metres reaches the server in millimetres.
    vekTrackeri(1, VEK_CREATE, VEK_RIGID_TRACKER);
    EXPECT_EQ(vekTrackerf(1, VEK_FILL, 1.0f), 1);
    vekScale(0.001f);
    vekMarkeri(vek_marker_id(1, 0), VEK_MARKER_LED, 0);
    const float xyz[3] = {0.05f, 0, 0};
    EXPECT_EQ(vekMarkerfv(vek_marker_id(1, 0), VEK_MARKER_POSITION, xyz), 1);
    EXPECT_EQ(vekMarkerfv(vek_marker_id(1, 1), VEK_MARKER_POSITION, xyz), 0);  // no LED yet
    EXPECT_EQ(vekGetError(), VEK_INVALID_OPERATION);
    vekScale(1);
}

TEST(LibraryScan, FindsTheServerByItsNameAndTheEntryConnects) {
    ServerProcess server({"--name", "lab one"});
    setenv("VEK_SCAN_PORT", std::to_string(server.discoveryPort()).c_str(), 1);
    setenv("VEK_SCAN_TARGETS", "127.0.0.1", 1);
    VEKScanEntry entries[256];
    const auto start = Clock::now();
    const int n = vek_scan(nullptr, VEK_DISCOVERY_PORT, "test", 1000000, entries, 256);
    ASSERT_EQ(n, 1);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(900));  // every target answered
    EXPECT_EQ(std::string(entries[0].host), server.address());
    const char* gap = std::strstr(entries[0].description, "  ");
    ASSERT_NE(gap, nullptr);
    EXPECT_STREQ(gap + 2, "lab one");

    // The server's own text finds it too, and what was found connects.
    ASSERT_EQ(
        vek_scan(server.address().c_str(), VEK_DISCOVERY_PORT, "auto connect test", 1000000, entries, 256),
        1);
    EXPECT_EQ(vekInit(entries[0].host, 0), 0);
    vekDone();
    unsetenv("VEK_SCAN_PORT");

    // Two servers on one host, told apart by their ports, both answer one scan.
    ServerProcess second({"--name", "lab two"});
    const std::string targets = "127.0.0.1:" + std::to_string(server.discoveryPort()) +
                                ",127.0.0.1:" + std::to_string(second.discoveryPort());
    setenv("VEK_SCAN_TARGETS", targets.c_str(), 1);
    ASSERT_EQ(vek_scan(nullptr, VEK_DISCOVERY_PORT, "test", 1000000, entries, 256), 2);
    std::set<std::string> hosts = {entries[0].host, entries[1].host};
    EXPECT_EQ(hosts, (std::set<std::string>{server.address(), second.address()}));
    unsetenv("VEK_SCAN_TARGETS");

    // Nobody answers: the wait ends at its limit with no entries.
    setenv("VEK_SCAN_PORT", std::to_string(testsupport::unusedPort()).c_str(), 1);
    EXPECT_EQ(vek_scan("127.0.0.1", VEK_DISCOVERY_PORT, "test", 200000, entries, 256), 0);
    unsetenv("VEK_SCAN_PORT");
}

TEST(LibraryCameras, UncalibratedCamerasReportANegativeCondition) {
    // Cameras are numbered from 1 on the command line, as every window numbers them.
    ServerProcess server({"--uncalibrated", "3,6"});
    ASSERT_EQ(vekInit(server.address().c_str(), VEK_SLAVE), 0);
    VEKCamera cams[VEK_MAX_CAMERAS];
    ASSERT_EQ(vekGetCameras(cams, VEK_MAX_CAMERAS), 8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(cams[i].cond < 0, i + 1 == 3 || i + 1 == 6) << "camera " << i + 1;
    vekDone();
    for (const char* list : {"0", "1,9"}) {
        const std::string command = "timeout 5 " + ServerProcess::programPath() +
                                    " --port 0 --discovery-port -1 --uncalibrated " + list + " 2>&1";
        FILE* vekd = popen(command.c_str(), "r");
        ASSERT_NE(vekd, nullptr);
        char line[256] = {};
        EXPECT_NE(std::fgets(line, sizeof line, vekd), nullptr) << list;
        const int status = pclose(vekd);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << list;
        EXPECT_STREQ(line, std::string(list) == "0"
                               ? "vekd: invalid value for --uncalibrated: 0\n"
                               : "vekd: no camera 9 to mark uncalibrated (cameras 1 to 8)\n");
    }
}
