// vekd with a lab key, through its command line and raw clients: keys made
// and refused, no listening beyond loopback without one, replayed proofs
// and old clients refused, and failed attempts limited per address.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "failed_attempts.h"
#include "lab_key.h"
#include "raw_client.h"
#include "server_process.h"
#include "temp_dir.h"

using testsupport::occurrences;
using testsupport::ProgramRun;
using testsupport::RawClient;
using testsupport::ServerProcess;
using testsupport::TempDir;
using vekd::FailedAttempts;
using namespace vekwire;

namespace {

// vekd with `args`, its output and exit status.
ProgramRun runVekd(const TempDir& dir, const std::string& args) {
    return dir.Run("timeout 5 " + ServerProcess::programPath() + " " + args);
}

}  // namespace

TEST(FailedAttempts, TenAMinuteThenRefusedUncheckedAndCountedInOneLine) {
    FailedAttempts a;
    const uint32_t from = 0x7f000003;  // 127.0.0.3
    for (int i = 1; i < 10; ++i) {
        EXPECT_EQ(a.failed(from, 1000 + i), "");
        EXPECT_FALSE(a.blocked(from, 1000 + i));
    }
    EXPECT_EQ(a.failed(from, 1010),
              "vekd: 127.0.0.3: 10 failed attempts; refusing without checking for 60 s\n");
    EXPECT_FALSE(a.blocked(0x7f000004, 1011));  // other addresses go on
    for (int i = 0; i < 25; ++i) EXPECT_TRUE(a.blocked(from, 1020 + i));
    EXPECT_EQ(a.takeCounts(31000), "");
    EXPECT_EQ(a.dueMs(), 61010);
    EXPECT_EQ(a.takeCounts(61010), "vekd: 127.0.0.3: 25 attempts refused without checking\n");
    EXPECT_EQ(a.takeCounts(61011), "");
    EXPECT_FALSE(a.blocked(from, 61010));
    EXPECT_EQ(a.size(), 0u);  // nothing left to watch

    // Nine failures a minute never block.
    for (int minute = 0; minute < 3; ++minute)
        for (int i = 0; i < 9; ++i) EXPECT_EQ(a.failed(from, 100000 + minute * 60000 + i), "");
    EXPECT_FALSE(a.blocked(from, 220000));

    // The table stays bounded; the addresses heard from last are kept.
    for (uint32_t i = 0; i < 3000; ++i) a.failed(0x0a000000 + i, 300000 + i);
    EXPECT_EQ(a.size(), FailedAttempts::kMaxAddresses);
    for (int i = 1; i < 10; ++i) a.failed(0x0a000000 + 2999, 303000 + i);
    EXPECT_TRUE(a.blocked(0x0a000000 + 2999, 303010));
}

TEST(LabKeyServer, KeysAreMadeOnceAndLooseOnesRefusedAndNoListeningBeyondLoopbackWithoutOne) {
    const TempDir dir;
    const std::string key = dir.File("key");
    ProgramRun r = runVekd(dir, "--make-key " + key);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote to " + key + "\n");
    struct stat st {};
    ASSERT_EQ(::stat(key.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string made = TempDir::Read(key);
    EXPECT_EQ(made.size(), 65u);

    r = runVekd(dir, "--make-key " + key);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vekd: cannot make a lab key: " + key +
                         ": exists; a lab key is never overwritten (remove it first)\n");
    EXPECT_EQ(TempDir::Read(key), made);

    ::chmod(key.c_str(), 0644);
    r = runVekd(dir, "--port 0 --discovery-port -1 --key-file " + key);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "vekd: key file " + key +
                  ": permissions 0644 are too open: a lab key must not be readable or writable by group or "
                  "others (chmod 600 it)\n");
    ::chmod(key.c_str(), 0600);

    r = runVekd(dir, "--bind 0.0.0.0 --port 0 --discovery-port -1");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("vekd: refusing to listen on 0.0.0.0 without a lab key", 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
    // --no-key says so once, before it listens (on an address this
    // machine does not have: nothing is served).
    r = runVekd(dir, "--bind 192.0.2.1 --no-key --port 0 --discovery-port -1");
    EXPECT_EQ(r.out,
              "vekd: warning: serving 192.0.2.1 without a lab key (--no-key): anyone who reaches it can "
              "control this server\n");
    EXPECT_EQ(r.status, 1);
    for (const char* contradiction :
         {"--no-key --key-file k", "--observers-without-key", "--make-key k --port 0"})
        EXPECT_EQ(runVekd(dir, contradiction).status, 2) << contradiction;
}

TEST(LabKeyServer, ReplayedProofsAndOldClientsAreRefusedAndKeylessServersServeOldClients) {
    const TempDir dir;
    const LabKey key = LabKey::generate();
    std::string why;
    ASSERT_TRUE(key.write(dir.File("key"), why)) << why;
    ServerProcess server({"--bind", "127.0.0.2", "--key-file", dir.File("key")});
    EXPECT_TRUE(server.waitForOutput("vekd: every client needs the lab key\n"));

    RawClient first(server.port(), "127.0.0.2");
    std::string proof;
    ASSERT_EQ(first.helloWithKey(&key, 0, "raw", &proof), 0);

    // The same greeting on another connection gets another nonce: the
    // recorded proof does not answer it.
    RawClient replay(server.port(), "127.0.0.2");
    Hello hello;
    hello.label = "raw";
    std::string greeting;
    encodeHello(greeting, hello);
    replay.write(greeting);
    Kind kind;
    std::string payload;
    ASSERT_TRUE(replay.read(kind, payload));
    ASSERT_EQ(kind, Kind::Challenge);
    replay.write(proof);
    ASSERT_TRUE(replay.read(kind, payload));
    ASSERT_EQ(kind, Kind::Welcome);
    Welcome w;
    ASSERT_TRUE(decodeWelcome(reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), w, why));
    EXPECT_EQ(w.result, VEK_ERR_NOT_AUTHORISED);

    // A client of protocol version 1 knows no key: refused in its version.
    const auto oldHello = [](RawClient& c) {
        std::string bytes;
        Hello h;
        h.version = 1;
        h.label = "old";
        encodeHello(bytes, h);
        c.write(bytes);
        Kind k;
        std::string p, error;
        Welcome answer;
        answer.version = 0;
        if (c.read(k, p) && k == Kind::Welcome)
            decodeWelcome(reinterpret_cast<const uint8_t*>(p.data()), p.size(), answer, error);
        return answer;
    };
    RawClient old(server.port(), "127.0.0.2");
    w = oldHello(old);
    EXPECT_EQ(w.version, 1);
    EXPECT_EQ(w.result, VEK_ERR_NOT_AUTHORISED);
    EXPECT_TRUE(
        server.waitForOutput("refused: flags 0x0 old from 127.0.0.1 (code 0x104: not authorised, its "
                             "protocol version has no key)\n"));
    EXPECT_EQ(occurrences(server.output(), "raw from 127.0.0.1 (code 0x104: not authorised, wrong key)\n"),
              1);

    // Without a key, version 1 clients are served as before.
    ServerProcess keyless;
    RawClient oldClient(keyless.port());
    w = oldHello(oldClient);
    EXPECT_EQ(w.version, 1);
    EXPECT_EQ(w.result, 0);
}

TEST(LabKeyServer, TheEleventhAttemptFromOneAddressIsRefusedUncheckedAndCounted) {
    const TempDir dir;
    const LabKey key = LabKey::generate(), wrong = LabKey::generate();
    std::string why;
    ASSERT_TRUE(key.write(dir.File("key"), why)) << why;
    ServerProcess server({"--bind", "127.0.0.2", "--key-file", dir.File("key")});
    for (int i = 0; i < 10; ++i) {
        RawClient c(server.port(), "127.0.0.2", "127.0.0.3");
        EXPECT_EQ(c.helloWithKey(&wrong), VEK_ERR_NOT_AUTHORISED);
    }
    EXPECT_TRUE(
        server.waitForOutput("vekd: 127.0.0.3: 10 failed attempts; refusing without checking for 60 s\n"));
    // Even the right key: refused at once, without a challenge to prove.
    for (int i = 0; i < 2; ++i) {
        RawClient c(server.port(), "127.0.0.2", "127.0.0.3");
        EXPECT_EQ(c.hello(), VEK_ERR_NOT_AUTHORISED);
    }
    RawClient other(server.port(), "127.0.0.2", "127.0.0.4");
    EXPECT_EQ(other.helloWithKey(&key), 0);

    server.stop();
    const std::string log = server.output();
    EXPECT_EQ(occurrences(log, " from 127.0.0.3 (code 0x104"), 10) << log;
    EXPECT_EQ(occurrences(log, "failed attempts"), 1);
    EXPECT_NE(log.find("vekd: 127.0.0.3: 2 attempts refused without checking\n"), std::string::npos) << log;
}
