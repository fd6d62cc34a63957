// Runs a fuzz target over files or folders of inputs, so the seed corpus
// runs under CTest without libFuzzer. An input that cannot be read fails
// the run: a missing corpus must not pass as an empty input.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// The file's bytes; false with a message when it cannot be read.
bool readInput(const std::filesystem::path& path, std::vector<uint8_t>& bytes) {
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (in.is_open()) {
        bytes.assign(std::istreambuf_iterator<char>(in), {});
        if (!in.bad()) return true;
    }
    std::fprintf(stderr, "error: cannot read %s: %s\n", path.c_str(),
                 errno ? std::strerror(errno) : "read failed");
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<std::filesystem::path> files;
        std::error_code error;
        if (std::filesystem::is_directory(argv[i], error)) {
            for (const auto& e : std::filesystem::directory_iterator(argv[i], error))
                if (e.is_regular_file()) files.push_back(e.path());
            if (error) {
                std::fprintf(stderr, "error: cannot read %s: %s\n", argv[i], error.message().c_str());
                return 1;
            }
        } else {
            files.emplace_back(argv[i]);
        }
        for (const auto& f : files) {
            std::vector<uint8_t> bytes;
            if (!readInput(f, bytes)) return 1;
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++runs;
        }
    }
    std::printf("%d inputs ran\n", runs);
    return runs > 0 ? 0 : 1;
}
