// Fuzz target: any bytes as a take file, through every command of vektake
// (info, a cut, exports to C3D and CSV; what they write goes to
// /dev/null). Each ends with 0, or with 1 and one "vektake: error: "
// line that says why; nothing may crash, hang or read out of bounds. As
// for the take reader's target, an input that starts with '#' ('$') is
// records to seal with valid checksums in a take of version 1 (2), so that
// hostile content reaches the commands.
#include <fuzz_input.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "program.h"
#include "sealed_take.h"
#include "temp_dir.h"

namespace {

// A folder whose output names all lead to /dev/null, removed at exit.
struct SinkFolder {
    SinkFolder() {
        if (folder.path().empty()) return;
        for (const char* name : {"out.vektake", "out.c3d", "out.csv", "out_rigids.csv"})
            std::filesystem::create_symlink("/dev/null", folder.File(name));
    }
    testsupport::TempDir folder;
};

const std::string& sinkFolder() {
    static const SinkFolder sink;
    return sink.folder.path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string records;
    if (size > 0 && (data[0] == '#' || data[0] == '$')) {
        records = vektake::sealedTake(data + 1, size - 1, data[0] == '#' ? 1 : 2);
        data = reinterpret_cast<const uint8_t*>(records.data());
        size = records.size();
    }
    vekfuzz::MemoryFile take(data, size);
    if (!take.ok() || sinkFolder().empty()) return 0;
    const std::string input = take.path(), out = sinkFolder() + "/out.";
    const std::vector<std::vector<std::string>> commands = {
        {"info", input},
        {"cut", input, "-o", out + "vektake", "--from", "0.001"},
        {"export", input, "-o", out + "c3d"},
        {"export", input, "-o", out + "csv", "--leds", "0-7,1:0-3", "--to", "1"}};
    for (const std::vector<std::string>& args : commands) {
        std::vector<const char*> argv = {"vektake"};
        for (const std::string& a : args) argv.push_back(a.c_str());
        std::ostringstream stdout_, stderr_;
        const int status =
            taketool::runVektake(static_cast<int>(argv.size()), argv.data(), stdout_, stderr_, false);
        const std::string err = stderr_.str();
        if (status != 0 && status != 1) __builtin_trap();
        if (status == 1 && err.find("vektake: error: ") == std::string::npos) __builtin_trap();
    }
    return 0;
}
