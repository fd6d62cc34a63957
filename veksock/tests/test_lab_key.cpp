// The library's side of the lab key, against a real vekd: where the key
// comes from, what a client without the right one is told, observers, and
// servers without a key as before.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "lab_key.h"
#include "library_waits.h"
#include "raw_client.h"
#include "server_process.h"
#include "veksock.h"

using testsupport::RawClient;
using testsupport::ServerProcess;

namespace {

// A HOME of its own without a key, no VEK_KEY_FILE, no key given; the
// lab's key and another one in files.
class LibraryLabKey : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "libkey-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        home = pattern;
        oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
        setenv("HOME", home.c_str(), 1);
        unsetenv("VEK_KEY_FILE");
        vekLoadKey(nullptr);
        keyFile = makeKey("lab.key", key);
        wrongFile = makeKey("wrong.key", wrong);
    }
    void TearDown() override {
        vekDone();
        vekLoadKey(nullptr);
        unsetenv("VEK_KEY_FILE");
        setenv("HOME", oldHome.c_str(), 1);
        std::filesystem::remove_all(home);
    }
    std::string makeKey(const std::string& name, vekwire::LabKey& out) {
        out = vekwire::LabKey::generate();
        std::string why;
        EXPECT_TRUE(out.write(home + "/" + name, why)) << why;
        return home + "/" + name;
    }
    // vekInit's result, and the code pending after a failure.
    static int connect(const ServerProcess& server, int flags = 0) {
        const int r = vekInit(server.address().c_str(), flags);
        if (r == 0) return 0;
        EXPECT_EQ(r, -1);
        return vekGetError();
    }
    static std::string text(int code) {
        char buf[VEK_STRING_SIZE] = {};
        vekGetString(code, buf);
        return buf;
    }

    std::string home, oldHome, keyFile, wrongFile;
    vekwire::LabKey key, wrong;
};

}  // namespace

TEST_F(LibraryLabKey, OnlyTheRightKeyIsAdmittedAndTheOthersAreToldWhy) {
    ServerProcess server({"--bind", "127.0.0.2", "--key-file", keyFile});
    EXPECT_EQ(connect(server), VEK_ERR_NOT_AUTHORISED);
    EXPECT_EQ(text(VEK_ERR_NOT_AUTHORISED), "not authorised: wrong or missing key");
    ASSERT_EQ(vekLoadKey(wrongFile.c_str()), 1);
    EXPECT_EQ(connect(server), VEK_ERR_NOT_AUTHORISED);
    EXPECT_EQ(connect(server, VEK_SLAVE), VEK_ERR_NOT_AUTHORISED);  // no key, no observers

    ASSERT_EQ(vekLoadKey(keyFile.c_str()), 1);
    ASSERT_EQ(connect(server), 0);
    EXPECT_EQ(vekTrackeri(0, VEK_CREATE, VEK_POINT_TRACKER), 1);
    vekDone();

    const std::string log = server.output();
    EXPECT_NE(log.find(" from 127.0.0.1 (code 0x104: not authorised, no key)\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" from 127.0.0.1 (code 0x104: not authorised, wrong key)\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("connected: flags 0x0 master"), std::string::npos) << log;
}

TEST_F(LibraryLabKey, TheKeyComesFromTheCallElseVekKeyFileElseTheUsersConfig) {
    ServerProcess server({"--bind", "127.0.0.2", "--key-file", keyFile});
    setenv("VEK_KEY_FILE", keyFile.c_str(), 1);
    EXPECT_EQ(connect(server), 0);
    vekDone();
    ASSERT_EQ(vekLoadKey(wrongFile.c_str()), 1);  // the call comes first
    EXPECT_EQ(connect(server), VEK_ERR_NOT_AUTHORISED);
    vekLoadKey(nullptr);
    unsetenv("VEK_KEY_FILE");
    std::filesystem::create_directories(home + "/.config/vek");
    std::filesystem::copy_file(keyFile, home + "/.config/vek/key");
    EXPECT_EQ(connect(server), 0);
    vekDone();

    // A key file that cannot be used stops the connection before it starts,
    // with what is wrong with it.
    ::chmod(keyFile.c_str(), 0644);
    EXPECT_EQ(vekLoadKey(keyFile.c_str()), 0);
    EXPECT_EQ(vekGetError(), VEK_ERR_KEY_FILE);
    const std::string loose = "lab key file " + keyFile + ": permissions 0644 are too open";
    EXPECT_EQ(text(VEK_ERR_KEY_FILE).rfind(loose, 0), 0u) << text(VEK_ERR_KEY_FILE);
    setenv("VEK_KEY_FILE", keyFile.c_str(), 1);
    EXPECT_EQ(connect(server), VEK_ERR_KEY_FILE);
    setenv("VEK_KEY_FILE", (home + "/none").c_str(), 1);
    EXPECT_EQ(connect(server), VEK_ERR_KEY_FILE);
    EXPECT_EQ(text(VEK_ERR_KEY_FILE), "lab key file " + home + "/none: No such file or directory");
    EXPECT_EQ(server.output().find("no key)"), std::string::npos);  // vekd never heard of them
}

TEST_F(LibraryLabKey, ServersWithoutAKeyAdmitClientsWithAndWithoutOne) {
    ServerProcess server;
    ASSERT_EQ(connect(server), 0);
    vekDone();
    ASSERT_EQ(vekLoadKey(keyFile.c_str()), 1);
    ASSERT_EQ(connect(server), 0);
    EXPECT_EQ(vekTrackeri(0, VEK_CREATE, VEK_POINT_TRACKER), 1);
}

TEST_F(LibraryLabKey, ObserversWatchWithoutTheKeyWhenAllowedAndChangeNothing) {
    ServerProcess server({"--bind", "127.0.0.2", "--key-file", keyFile, "--observers-without-key"});
    EXPECT_TRUE(server.waitForOutput("vekd: clients need the lab key; slaves may watch without it\n"));
    EXPECT_EQ(connect(server), VEK_ERR_NOT_AUTHORISED);  // a master needs the key

    RawClient master(server.port(), "127.0.0.2");
    ASSERT_EQ(master.helloWithKey(&key), 0);
    ASSERT_EQ(master.request(vekwire::Op::TrackerCreate, 0, VEK_CREATE, VEK_POINT_TRACKER), 0);
    for (int led = 0; led < 6; ++led)
        ASSERT_EQ(master.request(vekwire::Op::MarkerInt, led, VEK_MARKER_LED, led), 0);
    ASSERT_EQ(master.request(vekwire::Op::TrackerOp, 0, 0, VEK_ON), 0);

    ASSERT_EQ(connect(server, VEK_SLAVE), 0);
    drainErrors();
    EXPECT_EQ(vekTrackeri(1, VEK_CREATE, VEK_POINT_TRACKER), 0);
    EXPECT_EQ(vekGetError(), VEK_INVALID_OPERATION);
    EXPECT_EQ(vekTracker(0, VEK_DESTROY), 0);
    EXPECT_EQ(vekGetError(), VEK_INVALID_OPERATION);
    EXPECT_EQ(vekSetFloat(VEK_FREQUENCY, 10), 0);
    EXPECT_EQ(vekGetError(), VEK_INVALID_OPERATION);
    EXPECT_EQ(vekSetInteger(VEK_INTERPOLATION, 2), 0);
    EXPECT_EQ(vekGetError(), VEK_INVALID_OPERATION);
    // It reads the master's tracker, as it was.
    ASSERT_EQ(vekSetInteger(VEK_STREAMING, VEK_ON), 1);
    MarkerRecord m[585];
    EXPECT_EQ(waitMarkers(m), 6);
    float hz = 0;
    vekGetFloatv(VEK_FREQUENCY, &hz);
    EXPECT_EQ(hz, 100.0f);
}
