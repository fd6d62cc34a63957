#include "options.h"

#include <cstring>

namespace {

constexpr int kUsageError = 1;

bool IsRigidBodyFile(const char* argument) {
    const char* dot = std::strrchr(argument, '.');
    return dot && std::strcmp(dot, ".rb") == 0;
}

void PrintHelp(std::ostream& out) {
    out << "Rigid Body Editor.\n"
        << "  -h             display this message and exit\n"
        << "  file.rb        create a rigid body tracker from rigid body file\n";
}

}  // namespace

void PrintUsage(const char* program, std::ostream& out) {
    out << "usage:  " << program << " [-h]"
        << " file.rb" << '\n';
}

std::optional<int> ParseCommandLine(int argc, char** argv, std::string& file, std::ostream& out) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0) {
            PrintUsage(argv[0], out);
            PrintHelp(out);
            return 0;
        }
        if (!IsRigidBodyFile(argv[i])) {
            PrintUsage(argv[0], out);
            return kUsageError;
        }
        file = argv[i];
    }
    return std::nullopt;
}
