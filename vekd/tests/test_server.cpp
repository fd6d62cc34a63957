// vekd as a server: bad clients, slow clients, limits, timing and
// determinism, seen through raw sockets speaking the wire protocol.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

#include "rate_watch.h"
#include "raw_client.h"
#include "server_process.h"
#include "unique_fd.h"
#include "wire.h"

using testsupport::occurrences;
using testsupport::RawClient;
using testsupport::ServerProcess;
using namespace vekwire;

namespace {

using Clock = std::chrono::steady_clock;

// Frames vekd logged as skipped (not made in time): the first line of a
// run at once, the rest summed at most once a second.
long long skippedInLog(const std::string& log) {
    long long n = 0;
    for (size_t at = log.find(" skipped: not made in time"); at != std::string::npos;
         at = log.find(" skipped: not made in time", at + 1)) {
        size_t start = log.rfind('\n', at);
        start = start == std::string::npos ? 0 : start + 1;
        const size_t digits = log.find_first_of("0123456789", start);
        if (digits < at && log.compare(start, 6, "vekd: ") == 0) n += std::atoll(log.c_str() + digits);
    }
    return n;
}

// Numbers rise by one, except across frames vekd said it could not make
// (a loaded machine can stall it): those gaps it must have logged.
void expectConsecutive(const std::vector<int>& numbers, ServerProcess& server) {
    long long gaps = 0;
    for (size_t i = 1; i < numbers.size(); ++i) {
        ASSERT_GT(numbers[i], numbers[i - 1]) << "at " << i;
        gaps += numbers[i] - numbers[i - 1] - 1;
    }
    if (gaps == 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // the log's once-a-second sums
    EXPECT_LE(gaps, skippedInLog(server.output())) << "frames missing that vekd made\n" << server.output();
}

int linesStartingWith(const std::string& text, const std::string& prefix) {
    int n = 0;
    for (size_t at = 0; at < text.size();) {
        n += text.compare(at, prefix.size(), prefix) == 0;
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return n;
}

}  // namespace

TEST(Server, ABadClientIsClosedAloneAndTheOthersStream) {
    ServerProcess server({"--freq", "480"});
    RawClient good(server.port());
    ASSERT_EQ(good.hello(), 0);
    ASSERT_EQ(good.request(Op::SetInteger, 0, VEK_STREAMING, VEK_ON), 0);

    const struct {
        std::string bytes;
        bool greet;
        const char* printed;
    } bad[] = {
        {"GET / HTTP/1.1\r\n\r\n", false, "unknown message kind"},
        {std::string("\xff\xff\xff\x7f\x03\x00\x00\x00", 8), true, "exceeds the limit"},
        {std::string("\x04\x00\x00\x00\x63\x00\x00\x00", 8), true, "unknown message kind 99"},
        {std::string("\x04\x00\x00\x00\x05\x00\x00\x00xxxx", 12), true, "unexpected message"},
        {std::string("\x20\x00\x00\x00\x03\x00\x00\x00half", 12), true, "connection closed"},
        {std::string("\x04\x00\x00\x00\x07\x00\x00\x00\x00\x00\x00\x00", 12), false, "no greeting"},
    };
    for (const auto& b : bad) {
        RawClient c(server.port());
        if (b.greet) {
            ASSERT_EQ(c.hello(VEK_SLAVE), 0);
        }
        c.write(b.bytes);
        if (std::string(b.printed) == "connection closed") c.close();
        EXPECT_TRUE(server.waitForOutput(b.printed)) << server.output();
    }
    std::vector<int> numbers;
    ASSERT_TRUE(good.frames(100, numbers));
    expectConsecutive(numbers, server);
}

TEST(Server, ASlowReaderLosesFramesAndSlowsNobody) {
    ServerProcess server({"--freq", "960", "--queue-bytes", "65536"});
    RawClient slow(server.port());
    ASSERT_EQ(slow.hello(VEK_SLAVE), 0);
    slow.request(Op::SetInteger, 0, VEK_IMAGES, VEK_ON);
    slow.request(Op::SetInteger, 0, VEK_DETECTORS, VEK_ON);
    slow.request(Op::SetInteger, 0, VEK_STREAMING, VEK_ON);  // and never reads again

    RawClient fast(server.port());
    ASSERT_EQ(fast.hello(), 0);
    ASSERT_EQ(fast.request(Op::SetInteger, 0, VEK_IMAGES, VEK_ON), 0);
    ASSERT_EQ(fast.request(Op::SetInteger, 0, VEK_STREAMING, VEK_ON), 0);
    std::vector<int> numbers;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(fast.frames(1920, numbers));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    expectConsecutive(numbers, server);
    EXPECT_NEAR(seconds, 2.0, 0.4);  // on time, no drift

    slow.close();
    ASSERT_TRUE(server.waitForOutput("disconnected: connection closed ("));
    const std::string out = server.output();
    const auto at = out.find("disconnected: connection closed (");
    EXPECT_GT(std::atoi(out.c_str() + at + 33), 100) << out;
}

TEST(Server, RefusesBeyondItsLimitsAndSaysGoodbyeOnStop) {
    ServerProcess server({"--max-clients", "2", "--freq", "100"});
    RawClient a(server.port()), b(server.port()), c(server.port());
    EXPECT_EQ(a.hello(), 0);
    EXPECT_EQ(b.hello(), VEK_ERR_MASTER_BUSY);
    EXPECT_EQ(b.hello(VEK_SLAVE), -1);  // a refused client is closed
    RawClient b2(server.port());
    EXPECT_EQ(b2.hello(VEK_SLAVE), 0);
    EXPECT_EQ(c.hello(VEK_SLAVE), VEK_ERR_TOO_MANY_CLIENTS);

    // Old protocol versions are told so.
    RawClient old(server.port());
    std::string out;
    Hello h;
    h.version = 0;
    encodeHello(out, h);
    old.write(out);
    Kind kind;
    std::string payload;
    ASSERT_TRUE(old.read(kind, payload));
    EXPECT_EQ(kind, Kind::Welcome);

    EXPECT_EQ(server.stop(), 0);
    bool bye = false;
    while (a.read(kind, payload, 500)) bye |= kind == Kind::Bye;
    EXPECT_TRUE(bye);
}

TEST(Server, FramesAreAFunctionOfSeedAndFrameNumberAlsoAfterNobodyStreamed) {
    std::map<int, std::string> seen[2];
    for (int run = 0; run < 2; ++run) {
        ServerProcess server({"--freq", "200", "--seed", "7"});
        RawClient c(server.port());
        ASSERT_EQ(c.hello(), 0);
        c.request(Op::TrackerCreate, 0, VEK_CREATE, VEK_POINT_TRACKER);
        for (int led = 0; led < 32; ++led) c.request(Op::MarkerInt, led, VEK_MARKER_LED, led);
        c.request(Op::TrackerOp, 0, 0, VEK_ON);
        // The second run streams only after a while: meanwhile no frame is
        // made, but numbers and scene time go on as if they were.
        if (run == 1) std::this_thread::sleep_for(std::chrono::milliseconds(400));
        c.request(Op::SetInteger, 0, VEK_STREAMING, VEK_ON);
        // Start at a frame that both runs are sure to reach.
        std::vector<int> numbers;
        ASSERT_TRUE(c.frames(200 + run * 50, numbers, &seen[run]));
        if (run == 1) {
            EXPECT_GT(numbers.front(), 60);
        }
    }
    int compared = 0;
    for (const auto& [frame, bytes] : seen[0]) {
        const auto other = seen[1].find(frame);
        if (other == seen[1].end()) continue;
        EXPECT_EQ(bytes, other->second) << "frame " << frame;
        ++compared;
    }
    EXPECT_GT(compared, 50);
}

TEST(RateWatch, TellsTheRateHeldOnceWhenItFallsShort) {
    vekd::RateWatch watch;
    double told = 0;
    for (long long us = 0; us <= 3000000; us += 1042) {  // 960 Hz kept but for one slow second
        const bool slowSecond = us > 1000000 && us < 2000000 && us % 3 != 0;
        if (!slowSecond) told += watch.frameMade(us, 960);
    }
    EXPECT_EQ(told, 0);
    std::vector<double> shortfalls;
    for (long long us = 3000000; us <= 6000000; us += 2000)  // 500 Hz
        if (const double held = watch.frameMade(us, 960)) shortfalls.push_back(held);
    ASSERT_EQ(shortfalls.size(), 1u);
    EXPECT_NEAR(shortfalls[0], 500, 30);
    watch.rateSet();  // a new rate: told again
    for (long long us = 6000000; us <= 8000000; us += 2000) told += watch.frameMade(us, 960);
    EXPECT_NEAR(told, 500, 1);
}

TEST(Server, KeepsItsPaceAfterAStallAndWhileASlaveFloods) {
    ServerProcess server({"--freq", "960"});
    RawClient master(server.port());
    ASSERT_EQ(master.hello(), 0);
    ASSERT_EQ(master.request(Op::SetInteger, 0, VEK_STREAMING, VEK_ON), 0);
    master.watch(1.5);  // a schedule that has run a while: a catch-up would resend all of it

    // Stopped for 300 ms: frames go on at the set rate, with neither a burst
    // nor a silence; the frames not made meanwhile are skipped and counted.
    ASSERT_TRUE(server.suspend());
    const auto stopped = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double seconds = std::chrono::duration<double>(Clock::now() - stopped).count();
    server.resume();
    const auto resumed = master.watch(1.0);
    EXPECT_LT(resumed.firstTenth, 250);
    EXPECT_LT(resumed.longestGap, 0.25);
    EXPECT_GT(resumed.frames, 500);
    EXPECT_LT(resumed.frames, 1300);

    // A slave sends requests as fast as it can and reads its replies.
    std::atomic<bool> stop{false};
    std::thread flood(testsupport::floodRequests, server.port(), std::cref(stop));
    master.watch(0.2);
    const auto flooded = master.watch(2.0);
    stop = true;
    flood.join();
    EXPECT_GT(flooded.frames, 1000);
    EXPECT_LT(flooded.longestGap, 0.25);

    EXPECT_EQ(server.stop(), 0);
    const std::string out = server.output();
    const size_t first = out.find(" frames skipped: not made in time\n");
    ASSERT_NE(first, std::string::npos) << out;
    const size_t total = out.find(" frames skipped in all: not made in time\n");
    ASSERT_NE(total, std::string::npos) << out;
    EXPECT_GE(std::atol(out.c_str() + out.rfind(' ', total - 1) + 1), static_cast<long>(seconds * 960) - 2)
        << out;
}

TEST(Server, ClientsThatDoNotReadAreClosedAndFrequencyBurstsAreLoggedOnce) {
    ServerProcess server({"--freq", "100", "--queue-bytes", "65536"});
    RawClient master(server.port());
    ASSERT_EQ(master.hello(), 0);
    ASSERT_EQ(master.request(Op::SetInteger, 0, VEK_STREAMING, VEK_ON), 0);
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 4; ++i) {
        idle.push_back(std::make_unique<RawClient>(server.port()));
        ASSERT_EQ(idle.back()->hello(VEK_SLAVE), 0);  // and never read again
    }
    [[maybe_unused]] const long rss = server.residentBytes();

    // The master flips between 100 and 200 Hz, 200 requests at a time.
    std::string flips;
    for (uint32_t i = 0; i < 200; ++i)
        flips += testsupport::requestBytes(i, Op::SetFloat, 0, VEK_FREQUENCY, 0, i % 2 ? 200.0f : 100.0f);
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(5) &&
           occurrences(server.output(), "does not read") < 4) {
        master.write(flips);
        ASSERT_TRUE(master.replies(200));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const std::string out = server.output();
    EXPECT_EQ(occurrences(out, "disconnected: does not read"), 4) << out.substr(0, 2000);
#ifndef __SANITIZE_ADDRESS__  // whose quarantine of freed blocks grows the resident size
    EXPECT_LT(server.residentBytes() - rss, 8L << 20);
#endif
    // The first change is printed at once, the rest once a second with their count.
    EXPECT_EQ(linesStartingWith(out, "frequency 200 Hz\n"), 1);
    EXPECT_LE(linesStartingWith(out, "frequency "), seconds + 3);

    // One change at a time, for half a second: frames come no faster than 200 Hz.
    const int before = master.framesSkipped();
    const auto flipping = Clock::now();
    for (int i = 0; Clock::now() - flipping < std::chrono::milliseconds(500); ++i)
        ASSERT_EQ(master.request(Op::SetFloat, 0, VEK_FREQUENCY, 0, i % 2 ? 100.0f : 200.0f), 0);
    EXPECT_LE(master.framesSkipped() - before, 110);
}

TEST(Server, OutOfDescriptorsItBacksOffAndKeepsServing) {
    ServerProcess server({"--freq", "100"});
    RawClient good(server.port());
    ASSERT_EQ(good.hello(), 0);
    ASSERT_EQ(good.request(Op::SetInteger, 0, VEK_STREAMING, VEK_ON), 0);

    // Room for four more descriptors, then twenty connections that never greet.
    const auto open = std::distance(
        std::filesystem::directory_iterator("/proc/" + std::to_string(server.pid()) + "/fd"), {});
    const rlimit limit{static_cast<rlim_t>(open + 4), static_cast<rlim_t>(open + 4)};
    ASSERT_EQ(prlimit(server.pid(), RLIMIT_NOFILE, &limit, nullptr), 0);
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 20; ++i) idle.push_back(std::make_unique<RawClient>(server.port()));
    ASSERT_TRUE(server.waitForOutput("vekd: cannot accept clients: "));

    const double cpu = server.cpuSeconds();
    const auto seen = good.watch(1.0);
    EXPECT_LT(server.cpuSeconds() - cpu, 0.3);
    EXPECT_GT(seen.frames, 50);
    EXPECT_EQ(occurrences(server.output(), "cannot accept"), 1);

    // Descriptors free again: a new client is served.
    idle.clear();
    RawClient late(server.port());
    EXPECT_EQ(late.hello(VEK_SLAVE), 0);
}

TEST(Server, RefusesFrequenciesOutsideItsRangeAndPrintsLabelsEscaped) {
    ServerProcess server({"--freq", "960"});
    RawClient c(server.port());
    ASSERT_EQ(c.hello(0, "forger\nclient 1 disconnected: \x1b[2J\\"), 0);
    for (const float hz : {1e-30f, 1e-13f, 0.0009f, -1.0f, 961.0f, INFINITY, NAN})
        EXPECT_EQ(c.request(Op::SetFloat, 0, VEK_FREQUENCY, 0, hz), VEK_INVALID_VALUE) << hz;
    // The lowest frequency, then full speed again at once.
    EXPECT_EQ(c.request(Op::SetFloat, 0, VEK_FREQUENCY, 0, 0.001f), 0);
    EXPECT_EQ(c.request(Op::SetFloat, 0, VEK_FREQUENCY, 0, 960), 0);
    ASSERT_EQ(c.request(Op::SetInteger, 0, VEK_STREAMING, VEK_ON), 0);
    std::vector<int> numbers;
    EXPECT_TRUE(c.frames(100, numbers));

    const std::string out = server.output();
    EXPECT_NE(out.find("master forger\\nclient 1 disconnected: \\x1b[2J\\\\\n"), std::string::npos) << out;
    EXPECT_EQ(linesStartingWith(out, "client 1 disconnected"), 0);

    const std::string command = "timeout 5 " + ServerProcess::programPath() +
                                " --port 0 --discovery-port -1 --freq 1e-30 >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
}

TEST(Server, DiscoveryAnswersWellFormedQueriesOnlyAndNeverWithMoreBytes) {
    ServerProcess server;
    const vekwire::UniqueFd socket_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const int fd = socket_.get();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(server.discoveryPort()));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    const std::string query = encodeScanQuery("test");
    ASSERT_EQ(query.size(), kScanAnswerSize);
    std::string reserved = query, padding = query;
    reserved[6] = 1;
    padding.back() = 'x';
    const std::string asked[] = {query.substr(0, 14),  // unpadded
                                 reserved,
                                 padding,
                                 query + '\0',
                                 query.substr(0, query.size() - 1),
                                 query};
    for (const auto& q : asked)
        sendto(fd, q.data(), q.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);

    // Only the last one is answered, with as many bytes as it had.
    char buf[2048];
    pollfd p{fd, POLLIN, 0};
    ASSERT_GT(poll(&p, 1, 2000), 0);
    EXPECT_EQ(recv(fd, buf, sizeof buf, 0), static_cast<ssize_t>(kScanAnswerSize));
    EXPECT_EQ(poll(&p, 1, 300), 0);

    // Discovery switched off says so, not "udp port -1".
    ServerProcess silent({"--discovery-port", "-1"});
    EXPECT_EQ(silent.discoveryPort(), -1);
    EXPECT_NE(silent.output().find(":" + std::to_string(silent.port()) + ", discovery off, 100 Hz\n"),
              std::string::npos)
        << silent.output();
}

TEST(Server, APortTakenByAnotherSocketEndsTheStartWithAClearMessage) {
    for (const int type : {SOCK_STREAM, SOCK_DGRAM}) {
        const vekwire::UniqueFd taken(socket(AF_INET, type | SOCK_CLOEXEC, 0));
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ASSERT_EQ(bind(taken.get(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ASSERT_EQ(getsockname(taken.get(), reinterpret_cast<sockaddr*>(&a), &len), 0);
        if (type == SOCK_STREAM) {
            ASSERT_EQ(listen(taken.get(), 1), 0);
        }
        const std::string port = std::to_string(ntohs(a.sin_port));

        const std::string command = "timeout 5 " + ServerProcess::programPath() +
                                    (type == SOCK_STREAM ? " --discovery-port -1 --port " + port
                                                         : " --port 0 --discovery-port " + port) +
                                    " 2>&1 >/dev/null";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string said;
        char buf[256];
        while (const size_t n = std::fread(buf, 1, sizeof buf, pipe)) said.append(buf, n);
        const int status = pclose(pipe);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        EXPECT_EQ(said, type == SOCK_STREAM
                            ? "vekd: cannot listen on 127.0.0.1:" + port + ": Address already in use\n"
                            : "vekd: cannot answer discovery on 127.0.0.1 udp port " + port +
                                  ": Address already in use (--discovery-port -1 turns "
                                  "discovery off)\n");
    }
}
