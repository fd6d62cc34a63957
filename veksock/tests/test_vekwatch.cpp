// vekwatch against a real vekd at full rate, and against servers that stop
// or break the protocol.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "lab_key.h"
#include "scripted_peer.h"
#include "server_process.h"
#include "veksock.h"
#include "wire.h"

using testsupport::ServerProcess;

namespace {

// vekwatch with `args`, its standard output and error read line by line.
class Watch {
public:
    explicit Watch(const std::string& args)
        : pipe_(popen((std::string(VEKWATCH_PATH) + " " + args + " 2>&1").c_str(), "r")) {}
    ~Watch() { finish(); }

    bool line(std::string& out) {
        char buf[1024];
        if (!pipe_ || !std::fgets(buf, sizeof buf, pipe_)) return false;
        out = buf;
        all_ += out;
        return true;
    }
    // Reads the rest; answers the exit status.
    int finish() {
        if (!pipe_) return -1;
        for (std::string rest; line(rest);) {
        }
        const int status = pclose(pipe_);
        pipe_ = nullptr;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& all() const { return all_; }

private:
    FILE* pipe_;
    std::string all_;
};

}  // namespace

TEST(Vekwatch, KeepsUpWithTheHighestRateAndPrintsTheDropCounters) {
    ServerProcess server({"--freq", "960"});
    Watch watch("-s " + server.address() + " -t 5");
    ASSERT_TRUE(server.waitForOutput("master"));
    // A slave of our own says which frame is the newest when a line comes.
    ASSERT_EQ(vekInit(server.address().c_str(), VEK_SLAVE), 0);
    ASSERT_EQ(vekSetInteger(VEK_STREAMING, VEK_ON), 1);
    std::vector<int> lags;
    for (std::string line; watch.line(line);) {
        int newest = 0, frame = 0, rate = 0, here = -1, server = -1;
        vekGetIntegerv(VEK_FRAME, &newest);
        ASSERT_EQ(std::sscanf(line.c_str(), "frame %d %d frames/s", &frame, &rate), 2) << line;
        const char* dropped = std::strstr(line.c_str(), "dropped ");
        ASSERT_NE(dropped, nullptr) << line;
        ASSERT_EQ(std::sscanf(dropped, "dropped %d here, %d by the server", &here, &server), 2) << line;
        EXPECT_EQ(here + server, 0) << line;
        lags.push_back(newest - frame);
        // A server on this machine: how old the newest frame was when taken.
        double p50 = -1, p99 = -1;
        const char* age = std::strstr(line.c_str(), "age p50 ");
        ASSERT_NE(age, nullptr) << line;
        ASSERT_EQ(std::sscanf(age, "age p50 %lf ms p99 %lf ms", &p50, &p99), 2) << line;
        EXPECT_GT(p50, 0.0) << line;
        EXPECT_LT(p50, 50.0) << line;
        EXPECT_GE(p99, p50) << line;
    }
    EXPECT_EQ(watch.finish(), 0) << watch.all();
    vekDone();
    ASSERT_EQ(lags.size(), 5u) << watch.all();
    // A few frames behind at most (a watcher that sleeps after every frame
    // falls 60 to 90 frames further behind each second).
    EXPECT_LT(*std::min_element(lags.begin() + 2, lags.end()), 100) << watch.all();
}

TEST(Vekwatch, AgesFromAnotherMachinesClockOnlyWhenTheEstimateIsTrusted) {
    // A clock an hour behind: ages as on this machine. Behind a 25 ms link
    // the offset is not known to the millisecond: no age, never a wrong one.
    for (const bool slow : {false, true}) {
        ServerProcess server({"--clock-offset", "-3600", "--link-delay", slow ? "25" : "0", "--freq", "100"});
        Watch watch("-s " + server.address() + " -t 2");
        for (std::string line; watch.line(line);) {
            const char* age = std::strstr(line.c_str(), "age p50 ");
            double p50 = -1;
            if (slow) {
                EXPECT_EQ(age, nullptr) << line;
                continue;
            }
            ASSERT_NE(age, nullptr) << line;
            ASSERT_EQ(std::sscanf(age, "age p50 %lf ms", &p50), 1) << line;
            EXPECT_GT(p50, 0.0) << line;
            EXPECT_LT(p50, 50.0) << line;
        }
        EXPECT_EQ(watch.finish(), 0) << watch.all();
    }
}

TEST(Vekwatch, TellsFramesTheServerDidNotMakeApartFromFramesDropped) {
    ServerProcess server({"--freq", "100"});
    Watch watch("-s " + server.address() + " -t 3");
    std::string line;
    ASSERT_TRUE(watch.line(line));
    ASSERT_TRUE(server.suspend());
    const auto stopped = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count();
    server.resume();
    EXPECT_EQ(watch.finish(), 0) << watch.all();
    const std::string last = watch.all().substr(watch.all().rfind("frame "));
    int here = -1, byServer = -1, notMade = -1;
    const char* dropped = std::strstr(last.c_str(), "dropped ");
    ASSERT_NE(dropped, nullptr) << last;
    ASSERT_EQ(
        std::sscanf(dropped, "dropped %d here, %d by the server; %d not made", &here, &byServer, &notMade), 3)
        << last;
    EXPECT_EQ(here + byServer, 0) << last;
    EXPECT_GE(notMade, static_cast<int>(seconds * 100) - 2) << last;
}

TEST(Vekwatch, TellsAProtocolErrorFromAServerThatStopped) {
    {
        ServerProcess server({"--freq", "100"});
        Watch watch("-s " + server.address() + " -t 10");
        std::string line;
        ASSERT_TRUE(watch.line(line));
        server.stop();
        EXPECT_EQ(watch.finish(), 1);
        EXPECT_NE(watch.all().find("server stopped\n"), std::string::npos) << watch.all();
    }
    // Garbage once the stream has begun.
    std::string admitted, replied;
    vekwire::Welcome welcome;
    vekwire::encodeWelcome(admitted, welcome);
    const VEKCamera camera{};
    vekwire::encodeCameras(admitted, &camera, 1);
    vekwire::Reply reply;
    reply.seq = 1;
    vekwire::encodeReply(replied, reply);
    testsupport::ScriptedPeer peer({admitted, replied}, "GET / HTTP/1.1\r\n\r\n");
    Watch watch("-slave -s " + peer.address() + " -t 10");
    EXPECT_EQ(watch.finish(), 1);
    EXPECT_NE(watch.all().find("vekwatch: protocol error"), std::string::npos) << watch.all();
    EXPECT_NE(watch.all().find("protocol: unknown message kind 8239\n"), std::string::npos) << watch.all();
    EXPECT_EQ(watch.all().find("server stopped"), std::string::npos) << watch.all();
}

TEST(Vekwatch, PassesTheLabKeyOfItsCommandLine) {
    const std::string key =
        std::filesystem::temp_directory_path() / ("vekwatch-" + std::to_string(getpid()) + ".key");
    std::string why;
    ASSERT_TRUE(vekwire::LabKey::generate().write(key, why)) << why;
    ServerProcess server({"--bind", "127.0.0.2", "--key-file", key});
    Watch without("-s " + server.address() + " -t 1");
    EXPECT_EQ(without.finish(), 1);
    EXPECT_NE(without.all().find("not authorised: wrong or missing key\n"), std::string::npos)
        << without.all();
    Watch with("-key " + key + " -s " + server.address() + " -t 1");
    EXPECT_EQ(with.finish(), 0) << with.all();
    std::filesystem::remove(key);
}
