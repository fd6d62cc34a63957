// vekd as a server: bad clients, slow clients, limits, timing and
// determinism, seen through raw sockets speaking the wire protocol.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <thread>

#include "server_process.h"
#include "wire.h"

using vekd::testing::ServerProcess;
using namespace vekwire;

namespace {

class RawClient {
public:
    explicit RawClient(int port) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~RawClient() { close(); }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool connected() const { return connected_; }

    void write(const std::string& bytes) { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

    // Greets the server; answers the welcome's result (-1: no welcome).
    int hello(int flags = 0) {
        std::string out;
        Hello h;
        h.flags = flags;
        h.label = "raw";
        encodeHello(out, h);
        write(out);
        Kind kind;
        std::string payload;
        if (!read(kind, payload) || kind != Kind::Welcome) return -1;
        Welcome w;
        std::string error;
        decodeWelcome(reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), w, error);
        return w.result;
    }

    int request(Op op, int target, int key, int value, float f = 0) {
        std::string out;
        Request r;
        r.seq = ++seq_;
        r.op = op;
        r.target = target;
        r.key = key;
        r.value = value;
        r.f[0] = f;
        encodeRequest(out, r);
        write(out);
        Kind kind;
        std::string payload;
        while (read(kind, payload)) {
            if (kind != Kind::Reply) continue;
            Reply rep;
            std::string error;
            decodeReply(reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), rep, error);
            if (rep.seq == seq_) return rep.code;
        }
        return -1;
    }

    // Next whole message within timeoutMs; false on close or time-out.
    bool read(Kind& kind, std::string& payload, int timeoutMs = 2000) {
        for (;;) {
            Message m;
            const int r = reader_.next(m);
            if (r == 1) {
                kind = m.kind;
                payload.assign(reinterpret_cast<const char*>(m.data), m.size);
                return true;
            }
            if (r < 0) return false;
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0) return false;
            char buf[65536];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) return false;
            reader_.feed(buf, static_cast<size_t>(n));
        }
    }

    // Frame numbers and marker sections of the next `count` frames.
    bool frames(int count, std::vector<int>& numbers, std::map<int, std::string>* markers = nullptr) {
        Kind kind;
        std::string payload;
        while (count > 0 && read(kind, payload)) {
            if (kind != Kind::Frame) continue;
            FrameView f;
            std::string error;
            if (!decodeFrame(reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), f, error))
                return false;
            numbers.push_back(f.header.frame);
            if (markers && f.count[0])
                (*markers)[f.header.frame].assign(reinterpret_cast<const char*>(f.records[0]),
                                                  f.count[0] * sizeof(MarkerRecord));
            --count;
        }
        return count == 0;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
    Reader reader_;
    uint32_t seq_ = 0;
};

void expectConsecutive(const std::vector<int>& numbers) {
    for (size_t i = 1; i < numbers.size(); ++i) ASSERT_EQ(numbers[i], numbers[i - 1] + 1) << "at " << i;
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
    expectConsecutive(numbers);
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
    expectConsecutive(numbers);
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

TEST(Server, FramesAreAFunctionOfSeedAndFrameNumber) {
    std::map<int, std::string> seen[2];
    for (int run = 0; run < 2; ++run) {
        ServerProcess server({"--freq", "200", "--seed", "7"});
        RawClient c(server.port());
        ASSERT_EQ(c.hello(), 0);
        c.request(Op::TrackerCreate, 0, VEK_CREATE, VEK_POINT_TRACKER);
        for (int led = 0; led < 32; ++led) c.request(Op::MarkerInt, led, VEK_MARKER_LED, led);
        c.request(Op::TrackerOp, 0, 0, VEK_ON);
        c.request(Op::SetInteger, 0, VEK_STREAMING, VEK_ON);
        // Start at a frame that both runs are sure to reach.
        std::vector<int> numbers;
        ASSERT_TRUE(c.frames(200 + run * 50, numbers, &seen[run]));
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
