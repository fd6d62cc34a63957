// The Settings dock's files and lists without a window: ".tavrix" read and
// written, discovery answers turned into server entries, the file's place.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "settings/server_scan.h"
#include "settings/tavrix_file.h"
#include "settings/user_file.h"

namespace {

struct Read {
    int result;
    TavrixRead read;
    std::string out, err;
};

Read ReadText(const std::string& text) {
    // One file per test process: the tests of this program run side by side.
    const std::string path = testing::TempDir() + "tavrix_read_" + std::to_string(getpid());
    std::ofstream(path) << text;
    std::ostringstream out, err;
    Read r;
    r.result = ReadTavrix(path, r.read, out, err);
    std::remove(path.c_str());
    r.out = out.str();
    r.err = err.str();
    for (std::size_t at; (at = r.err.find(path)) != std::string::npos;)
        r.err.replace(at, path.size(), "PATH");
    return r;
}

TEST(Tavrix, ReadsAliasesPlainEntriesAndOptionsLineByLine) {
    const std::string longest = "server: " + std::string(kTavrixLineLength - 8, 'x');
    const Read r = ReadText(
        "# a comment\n"
        "\n"
        "server: 10.1.1.5 lab one\n"
        "server:  localhost\n"
        "server: 127.0.0.1:9000 sim\n"
        "mode: Default\n"
        "frequency: 100\n"
        "postprocess: 1\n"
        "interpolate: 12\n"
        "colour: red\n"
        "mode: 1 2\n"
        "junk\n"
        "server: " +
        std::string(3000, 'y') + " tail\n" + longest +
        "\n"
        "mode: 7\n"
        "server: last");
    ASSERT_EQ(r.result, 0);
    const std::vector<std::string> entries = {"lab one", "localhost", "sim",
                                              std::string(kTavrixLineLength - 8, 'x'), "last"};
    EXPECT_EQ(r.read.servers.entries, entries);
    ASSERT_EQ(r.read.servers.aliases.size(), 2u);
    EXPECT_EQ(r.read.servers.aliases[0].address, "10.1.1.5");
    EXPECT_EQ(r.read.servers.aliases[0].name, "lab one");
    EXPECT_EQ(r.read.servers.aliases[1].address, "127.0.0.1:9000");
    EXPECT_EQ(r.out, "loading alias: lab one(10.1.1.5)\nloading alias: sim(127.0.0.1:9000)\n");
    // "Default" reads as item 0; a mode the box lacks leaves it alone.
    EXPECT_EQ(r.read.modeItem, 0);
    EXPECT_EQ(r.read.frequencyItem, 0);  // 100 is no item: "480"
    EXPECT_EQ(r.read.postprocessItem, 1);
    EXPECT_EQ(r.read.interpolate, 12);
    // The over-long line is reported and skipped whole, never split.
    EXPECT_EQ(r.err,
              "unknown token: colour: in PATH\n"
              "unknown configuration: junk\n"
              "warning: PATH:13: line longer than 1023 characters skipped\n");

    EXPECT_EQ(ReadText("frequency: 240\npostprocess: 2\n").read.frequencyItem, 1);
    EXPECT_EQ(ReadText("frequency: 30.0\n").read.frequencyItem, 4);
    EXPECT_EQ(ReadText("postprocess: 2\n").read.postprocessItem, 0);
    EXPECT_FALSE(ReadText("mode: -1\n").read.modeItem.has_value());

    TavrixRead untouched;
    std::ostringstream out, err;
    EXPECT_EQ(ReadTavrix(testing::TempDir() + "no_such_folder/.tavrix", untouched, out, err), -1);
    EXPECT_EQ(err.str(), "");  // no file yet: nothing to say

    // A FIFO is refused at once, never waited on (the window would not show).
    const std::string fifo = testing::TempDir() + "tavrix_fifo_" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadTavrix(fifo, untouched, out, err), -1);
    std::remove(fifo.c_str());
    EXPECT_EQ(err.str(), "error: open(" + fifo + "): a FIFO, not a regular file\n");
    EXPECT_EQ(out.str(), "");
}

TEST(Tavrix, PrintsWhatItReadEscaped) {
    const Read r = ReadText("server: 10.0.0.1\x1b[2J lab\x1b]0;owned\x07\nkey\x1b[31m: 1\nodd\\line\n");
    EXPECT_EQ(r.out, "loading alias: lab\\x1b]0;owned\\x07(10.0.0.1\\x1b[2J)\n");
    EXPECT_EQ(r.err, "unknown token: key\\x1b[31m: in PATH\nunknown configuration: odd\\\\line\n");
    // The alias itself is kept as written.
    ASSERT_EQ(r.read.servers.aliases.size(), 1u);
    EXPECT_EQ(r.read.servers.aliases[0].name, "lab\x1b]0;owned\x07");
}

TEST(Tavrix, WritesTheCurrentServerFirstAndNoServerWhileFindServersIsChosen) {
    const std::vector<ServerAlias> aliases = {{"10.1.1.5", "lab one"}, {"127.0.0.1:9000", "sim"}};
    const std::vector<std::string> box = {"lab one", "localhost", "sim", kFindServers};
    TavrixSave save;
    save.servers = ServersToSave("sim", box, aliases);
    save.mode = "Default";
    save.frequency = "120";
    save.postprocess = 1;
    save.interpolate = 4;
    const std::string text = TavrixText(save);
    EXPECT_EQ(text,
              "server: 127.0.0.1:9000 sim\n"
              "server: 10.1.1.5 lab one\n"
              "server:  localhost\n"
              "mode: Default\n"
              "frequency: 120\n"
              "postprocess: 1\n"
              "interpolate: 4\n");
    // What was written reads back as the same entries, the saved one first.
    const Read back = ReadText(text);
    EXPECT_EQ(back.read.servers.entries, std::vector<std::string>({"sim", "lab one", "localhost"}));
    EXPECT_EQ(back.read.servers.aliases.size(), 2u);
    EXPECT_EQ(back.read.frequencyItem, 2);

    EXPECT_TRUE(ServersToSave(kFindServers, box, aliases).empty());
    // A typed text not in the box yet comes first too.
    EXPECT_EQ(ServersToSave("new", box, aliases).size(), 4u);
}

VEKScanEntry Entry(const char* host, const char* description) {
    VEKScanEntry e{};
    std::snprintf(e.host, sizeof e.host, "%s", host);
    std::snprintf(e.description, sizeof e.description, "%s", description);
    return e;
}

TEST(ScanList, NamesAnswersByTheirDescriptionOrHost) {
    const VEKScanEntry entries[] = {Entry("127.0.0.1", "vekd 1.0 8 cameras 480 Hz  lab sim"),
                                    Entry("127.0.0.2:9000", "no name given"),
                                    Entry("127.0.0.3", "  starts with two blanks")};
    const ServerList list = ScanList(entries, 3);
    EXPECT_EQ(list.entries,
              std::vector<std::string>({"lab sim", "127.0.0.2:9000", "127.0.0.3", kFindServers}));
    ASSERT_EQ(list.aliases.size(), 3u);
    EXPECT_EQ(list.aliases[0].address, "127.0.0.1");
    EXPECT_EQ(list.aliases[0].name, "lab sim");
    EXPECT_EQ(list.aliases[1].name, "");

    for (int failed : {0, -10065}) {
        const ServerList none = ScanList(entries, failed);
        EXPECT_EQ(none.entries, std::vector<std::string>({"localhost", kFindServers}));
        EXPECT_TRUE(none.aliases.empty());
    }
}

TEST(UserFilePath, JoinsHomeWithASlashOrStaysInTheWorkingDirectory) {
    const char* before = getenv("HOME");
    const std::string saved = before ? before : "";
    setenv("HOME", "/home/ann", 1);
    EXPECT_EQ(UserFilePath(".tavrix"), "/home/ann/.tavrix");
    setenv("HOME", "", 1);
    EXPECT_EQ(UserFilePath(".tavrix"), ".tavrix");
    unsetenv("HOME");
    EXPECT_EQ(UserFilePath(".tavrix"), ".tavrix");
    if (before) setenv("HOME", saved.c_str(), 1);
}

}  // namespace
