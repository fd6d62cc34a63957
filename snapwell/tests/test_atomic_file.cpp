#include "atomic_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using namespace snapwell;
namespace fs = std::filesystem;

namespace {

class SnapwellAtomicFile : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("snapwell_atomic_" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    static std::string contents(const fs::path& p)
    {
        std::ifstream in(p);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::size_t entries() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
    }
};

}  // namespace

TEST_F(SnapwellAtomicFile, WritesAndReplacesKeepingPermissions)
{
    const fs::path target = dir / "body.rb";
    EXPECT_EQ(writeFileAtomically(target, "0, 1 2 3\n").status, AtomicWriteStatus::Written);
    EXPECT_EQ(contents(target), "0, 1 2 3\n");
    struct stat st{};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

    ::chmod(target.c_str(), 0640);
    EXPECT_EQ(writeFileAtomically(target, "new\n").status, AtomicWriteStatus::Written);
    EXPECT_EQ(contents(target), "new\n");
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(entries(), 1u);  // no temporary file left
}

TEST_F(SnapwellAtomicFile, FailuresLeaveNoTemporaryFile)
{
    const auto missing = writeFileAtomically(dir / "no" / "body.rb", "x");
    EXPECT_EQ(missing.status, AtomicWriteStatus::OpenFailed);
    EXPECT_EQ(missing.error, ENOENT);

    // A folder in the target's place: the rename fails, the folder stays.
    fs::create_directory(dir / "taken");
    const auto taken = writeFileAtomically(dir / "taken", "x");
    EXPECT_EQ(taken.status, AtomicWriteStatus::WriteFailed);
    EXPECT_NE(taken.error, 0);
    EXPECT_TRUE(fs::is_directory(dir / "taken"));
    EXPECT_EQ(entries(), 1u);
}
