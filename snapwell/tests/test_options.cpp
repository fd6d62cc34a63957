#include "options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

using namespace snapwell;

namespace {

ParseResult parse(std::vector<const char*> args) {
    args.insert(args.begin(), "snapwell");
    return parseOptions(static_cast<int>(args.size()), args.data());
}

}  // namespace

TEST(SnapwellOptions, DefaultsAndEveryOption) {
    const auto none = parse({});
    EXPECT_EQ(none.action, ParseAction::Run);
    EXPECT_FALSE(none.options.server);
    EXPECT_EQ(none.options.frames, 10);
    EXPECT_EQ(none.options.max, 0);
    EXPECT_EQ(none.options.flags, 0);

    const auto all = parse(
        {"-s", "host:1", "-g", "-m", "6", "-o", "body.rb", "-c", "20", "-v", "4", "a.pt", "3", "dir.x/b.pt"});
    ASSERT_EQ(all.action, ParseAction::Run);
    const Options& o = all.options;
    EXPECT_EQ(o.server, "host:1");
    EXPECT_TRUE(o.global);
    EXPECT_TRUE(o.verbose);
    EXPECT_EQ(o.max, 6);
    EXPECT_EQ(o.output, "body.rb");
    EXPECT_EQ(o.frames, 20);
    EXPECT_EQ(o.pointCounts, (std::vector<int>{4, 3}));
    EXPECT_EQ(o.pointFiles, (std::vector<std::string>{"a.pt", "dir.x/b.pt"}));

    EXPECT_EQ(parse({"-d", "dev"}).options.server, "dev");
}

TEST(SnapwellOptions, ModeFlagsCombine) {
    EXPECT_EQ(parse({"-1", "-2"}).options.flags, 0x300);
    EXPECT_EQ(parse({"-4"}).options.flags, 0x400);
    EXPECT_EQ(parse({"-3", "-4"}).options.flags, 0x700);
}

TEST(SnapwellOptions, ArgumentsThatAreNotOptions) {
    // A server option without a value falls through to the point-count test.
    EXPECT_EQ(parse({"6", "-s"}).action, ParseAction::Usage);
    EXPECT_EQ(parse({"-d"}).action, ParseAction::Usage);
    EXPECT_EQ(parse({"six"}).action, ParseAction::Usage);
    EXPECT_EQ(parse({"-h", "six"}).action, ParseAction::Help);
    // Only a final ".pt" makes a point file; "%d" reads the leading number.
    const auto o = parse({"x.pt.bak", "5abc"});
    EXPECT_EQ(o.action, ParseAction::Usage);
    EXPECT_EQ(parse({"5abc", "-7"}).options.pointCounts, (std::vector<int>{5, -7}));
    // An unreadable number leaves the default.
    EXPECT_EQ(parse({"-c", "many", "2"}).options.frames, 10);
    EXPECT_EQ(parse({"99999999999"}).action, ParseAction::Usage);
}

TEST(SnapwellOptions, ReadIntLikePercentD) {
    int v = 0;
    EXPECT_TRUE(readInt("  +42x", v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(readInt("-3", v));
    EXPECT_EQ(v, -3);
    EXPECT_FALSE(readInt("", v));
    EXPECT_FALSE(readInt("--3", v));
    EXPECT_FALSE(readInt("2147483648", v));
    EXPECT_EQ(v, -3);
}

TEST(SnapwellOptions, UsageAndHelpTexts) {
    std::ostringstream out;
    printUsage(out, "/bin/snapwell");
    printHelp(out);
    EXPECT_EQ(out.str(),
              "usage:  /bin/snapwell [-s server | -d device] [-v] [-h] [-g] -m max -o file point#\n"
              "Rigid body capture utility version 2.0\n"
              "  -s server  server to contact\n"
              "  -d device  device to use\n"
              "  -v         verbose\n"
              "  -h         display this message and exit\n"
              "  -g         use global coordinate system\n"
              "  -m max     maximum number of markers in the rigid body\n"
              "  -o file    output rigid body file\n"
              "  -c         frame count (default 10)\n"
              "  point#     # of points\n"
              "  -key file  lab key file, for a server that asks for one (default:\n"
              "             VEK_KEY_FILE, else ~/.config/vek/key)\n");
}
