// vektake run as a user runs it, in a folder of its own, for the tests.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tooltest {

namespace fs = std::filesystem;

struct RunResult {
    int status = -1;
    std::string out, err;
};

inline std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

class Dir {
public:
    Dir() {
        std::string pattern = (fs::temp_directory_path() / "vektake-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path = pattern;
    }
    ~Dir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    Dir(const Dir&) = delete;
    Dir& operator=(const Dir&) = delete;

    // `program args` in this folder; what it printed is kept.
    RunResult run(const std::string& program, const std::string& args) const {
        const std::string command = "cd " + path.string() + " && env -u VEK_SERVER " + program + " " + args +
                                    " > out 2> err < /dev/null";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(path / "out"), readFile(path / "err")};
    }
    RunResult vektake(const std::string& args) const { return run(VEKTAKE_PATH, args); }
    // The names of the files here, but for the runs' own "out" and "err".
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path)) {
            const std::string name = e.path().filename().string();
            if (name != "out" && name != "err") names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path path;
};

}  // namespace tooltest
