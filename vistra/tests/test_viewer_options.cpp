// The viewer's command line.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

#include "app/viewer_options.h"

namespace {

// Parses a command line with its output kept as text.
struct Parsed {
    explicit Parsed(std::vector<const char*> args) {
        args.insert(args.begin(), "vistra");
        keepGoing = options.parse(static_cast<int>(args.size()), args.data());
        out = stream.str();
    }
    std::ostringstream stream;
    ViewerOptions options{"Vistra Utility", stream};
    bool keepGoing = false;
    std::string out;
};

const char* const kUsage = "\nusage:  vistra [-fps] [-h] [point#] [file.rb] [file.pt]\n\n";

TEST(VistraViewerOptions, TrackerFilesKeepCommandLineOrder) {
    const Parsed p({"a.pt", "-p", "b.pt", "x.rb", "-r", "c"});
    EXPECT_TRUE(p.keepGoing);
    EXPECT_EQ(p.options.trackerFiles, (std::vector<std::string>{"a.pt", "b.pt", "x.rb", "c"}));
    EXPECT_EQ(p.out.find("usage"), std::string::npos);
}

TEST(VistraViewerOptions, FpsZeroOrTextKeepsSixtyAboveAThousandClampsAndSaysSo) {
    const Parsed zero({"-fps", "0"});
    EXPECT_FLOAT_EQ(zero.options.fps, 60);
    EXPECT_EQ(zero.out.rfind("fps: 60\n", 0), 0u);
    EXPECT_FLOAT_EQ(Parsed({"-fps", "abc"}).options.fps, 60);
    const Parsed thirty({"-fps", "30"});
    EXPECT_FLOAT_EQ(thirty.options.fps, 30);
    EXPECT_EQ(thirty.out.rfind("fps: 30\n", 0), 0u);
    for (const char* many : {"5000", "inf"}) {
        const Parsed clamped({"-fps", many});
        EXPECT_FLOAT_EQ(clamped.options.fps, 1000) << many;
        EXPECT_EQ(clamped.out.rfind("fps: 1000\n", 0), 0u) << many;
    }
}

TEST(VistraViewerOptions, UnknownArgumentsPrintUsageAndParsingGoesOn) {
    const Parsed p({"-fps", "4", "-connect", "-fps"});
    EXPECT_TRUE(p.keepGoing);
    EXPECT_EQ(p.options.connect, 1);
    EXPECT_FLOAT_EQ(p.options.fps, 4);
    EXPECT_NE(p.out.find(std::string("fps: 4\n") + kUsage), std::string::npos);
    const Parsed number({"4"});
    EXPECT_EQ(number.out.rfind(kUsage, 0), 0u);
    EXPECT_TRUE(number.options.trackerFiles.empty());
}

TEST(VistraViewerOptions, ValuesAreConsumed) {
    const Parsed p({"-scale", "3", "-s", "host:1", "-gridlen", "2.5", "-gridct", "x", "-gridlabel", "mm",
                    "-full", "-c3dstream", "-key", "lab.pt"});
    EXPECT_EQ(p.out.find("usage"), std::string::npos);
    EXPECT_EQ(p.options.server, "host:1");
    EXPECT_FLOAT_EQ(p.options.gridLength, 2.5f);
    EXPECT_EQ(p.options.gridCount, 0);
    EXPECT_EQ(p.options.gridLabel, "mm");
    EXPECT_EQ(p.options.fullScreen, 1);
    EXPECT_EQ(p.options.c3dStream, 1);
    EXPECT_EQ(p.options.keyFile, "lab.pt");  // a key file, whatever its name
    EXPECT_TRUE(p.options.trackerFiles.empty());
    EXPECT_EQ(Parsed({"-d", "other"}).options.server, "other");
    // "-s" without a value is unknown.
    const Parsed bare({"-s"});
    EXPECT_TRUE(bare.options.server.empty());
    EXPECT_NE(bare.out.find("usage"), std::string::npos);
}

TEST(VistraViewerOptions, HelpAndUsageStopWithoutVersionLine) {
    const Parsed help({"-h", "-connect"});
    EXPECT_FALSE(help.keepGoing);
    EXPECT_EQ(help.options.connect, 0);
    EXPECT_EQ(help.out,
              "\nVistra Utility\n"
              "  -fps           set the frames per second displayed\n"
              "  -h             display this message and exit\n"
              "  point#         create a point tracker # points\n"
              "  file.rb        create a rigid body tracker from rigid body file\n"
              "  file.pt        create a point tracker from point file\n"
              "  -key file      lab key file, for a server that asks for one (default:\n"
              "                 VEK_KEY_FILE, else ~/.config/vek/key)\n"
              "\n");
    const Parsed usage({"-u"});
    EXPECT_FALSE(usage.keepGoing);
    EXPECT_EQ(usage.out, kUsage);
}

TEST(VistraViewerOptions, CompletePassEndsWithLibraryVersion) {
    const Parsed p({});
    EXPECT_EQ(p.out.rfind("version: ", 0), 0u);
    EXPECT_NE(p.out.find("SOCKET"), std::string::npos);
}

}  // namespace
