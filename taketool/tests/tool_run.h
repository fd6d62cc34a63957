// vektake run as a user runs it, in a folder of its own, for the tests.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace tooltest {

namespace fs = std::filesystem;

using RunResult = testsupport::ProgramRun;

inline std::string readFile(const fs::path& p) { return testsupport::TempDir::Read(p); }

inline void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

// A temporary folder in which vektake and vekrec run.
class Dir {
public:
    // `program args` in this folder; what it printed is kept.
    RunResult run(const std::string& program, const std::string& args) const {
        return temp_.Run(program + " " + args);
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

private:
    testsupport::TempDir temp_;

public:
    const fs::path path = temp_.path();
};

}  // namespace tooltest
