#include "config.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "temp_dir.h"

using namespace snapwell;

TEST(SnapwellConfigPath, HomeOrWorkingDirectoryAndBufferLimit) {
    EXPECT_EQ(std::get<std::string>(configPath("/home/u")), "/home/u/.vek_paint");
    EXPECT_EQ(std::get<std::string>(configPath(nullptr)), ".vek_paint");
    // 244 + "/" + 10 characters + NUL = 256: fits exactly.
    const std::string fits(244, 'h');
    EXPECT_EQ(std::get<std::string>(configPath(fits.c_str())).size(), 255u);
    const std::string tooLong(245, 'h');
    const auto result = configPath(tooLong.c_str());
    ASSERT_TRUE(std::holds_alternative<ConfigPathTooLong>(result));
    EXPECT_EQ(std::get<ConfigPathTooLong>(result).needed, 257u);
}

class SnapwellConfigFile : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string path = dir.File(".vek_paint");
    numerics::Pose pose = numerics::kIdentityPose;

    void write(const std::string& text) { std::ofstream(path) << text; }
};

TEST_F(SnapwellConfigFile, SevenNumbersReplaceThePose) {
    write("1 2 3\n0.5 0.5\t0.5 0.5 extra");
    EXPECT_EQ(readConfigPose(path, pose), ConfigStatus::Read);
    EXPECT_EQ(pose, (numerics::Pose{1, 2, 3, 0.5f, 0.5f, 0.5f, 0.5f}));
}

TEST_F(SnapwellConfigFile, MissingOrIncompleteFileKeepsThePose) {
    EXPECT_EQ(readConfigPose(path + ".none", pose), ConfigStatus::Missing);
    write("1 2 3 x 0 0 0");
    EXPECT_EQ(readConfigPose(path, pose), ConfigStatus::Incomplete);
    write("1 2 3 1 0 0");
    EXPECT_EQ(readConfigPose(path, pose), ConfigStatus::Incomplete);
    EXPECT_EQ(pose, numerics::kIdentityPose);
    // A FIFO is refused at once (an error), never waited on.
    std::remove(path.c_str());
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(readConfigPose(path, pose), ConfigStatus::ReadError);
}
