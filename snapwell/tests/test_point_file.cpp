#include "point_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "temp_dir.h"

using namespace snapwell;

namespace {

class SnapwellPointFile : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string path = dir.File("points.pt");
    std::vector<int> leds;
    std::ostringstream err;

    void write(const std::string& text) { std::ofstream(path) << text; }
    bool read() { return readPointFile(path, leds, err); }
};

}  // namespace

TEST(SnapwellPointLine, FormsOfAMarkerLine) {
    const auto led = [](const std::string& s) {
        int v = -99;
        return parsePointLine(s.data(), s.size(), v) ? v : -99;
    };
    EXPECT_EQ(led("3"), 3);
    EXPECT_EQ(led("3, 1.0 2.0 3.0"), 3);
    EXPECT_EQ(led("  7,1 -2e1 +3"), 7);
    EXPECT_EQ(led("4,"), 4);         // one field
    EXPECT_EQ(led("5 , 1 2 3"), 5);  // ',' must follow the number: one field
    EXPECT_EQ(led("0, 1 2"), -99);   // three fields
    EXPECT_EQ(led("0, 1"), -99);
    EXPECT_EQ(led(""), -99);
    EXPECT_EQ(led("   "), -99);
    EXPECT_EQ(led("s, 2.0"), -99);  // no scale lines here
    // The length bounds the read.
    int v = 0;
    EXPECT_FALSE(parsePointLine("0, 1 2 3", 6, v));
}

TEST_F(SnapwellPointFile, ReadsLedsSkippingComments) {
    write("# body\n3\n3, 1.0 2.0 3.0\n#x\n12, 0 0 0");
    ASSERT_TRUE(read());
    EXPECT_EQ(leds, (std::vector<int>{3, 3, 12}));
    EXPECT_EQ(err.str(), "");
}

TEST_F(SnapwellPointFile, InvalidLineFailsWithItsNumber) {
    write("# c\n1\n2\n\n4\n");
    EXPECT_FALSE(read());
    EXPECT_EQ(err.str(), path + ":4: invalid string: \n");

    err.str("");
    write("0\ns, 2.0\n");
    EXPECT_FALSE(read());
    EXPECT_EQ(err.str(), path + ":2: invalid string: s, 2.0\n");

    // Printed escaped: the file's bytes never reach the terminal as they are.
    err.str("");
    write("# c\n\x1b[2J\n");
    EXPECT_FALSE(read());
    EXPECT_EQ(err.str(), path + ":2: invalid string: \\x1b[2J\n");
}

TEST_F(SnapwellPointFile, OverlongLineFailsInsteadOfDroppingTheRest) {
    const std::string longLine = "1" + std::string(kPointLineMax, ' ');
    write("0\n" + longLine + "\n2\n");
    EXPECT_FALSE(read());
    EXPECT_EQ(err.str(), path + ":2: invalid string: " + longLine + "\n");
    // A line of exactly the limit is fine.
    leds.clear();
    write("0\n" + longLine.substr(0, kPointLineMax) + "\n");
    EXPECT_TRUE(read());
    EXPECT_EQ(leds, (std::vector<int>{0, 1}));
}

TEST_F(SnapwellPointFile, MissingFile) {
    EXPECT_FALSE(readPointFile(path + ".none", leds, err));
    EXPECT_EQ(err.str(), "error opening " + path + ".none: No such file or directory\n");
    // A FIFO is refused at once instead of waiting for a writer.
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    err.str("");
    EXPECT_FALSE(read());
    EXPECT_EQ(err.str(), "error opening " + path + ": a FIFO, not a regular file\n");
}
