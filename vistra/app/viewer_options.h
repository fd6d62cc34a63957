// The viewer's command line: frame rate, connection and full-screen
// switches, server name, tracker files and grid settings.
#pragma once

#include <ostream>
#include <string>
#include <vector>

class ViewerOptions {
public:
    static constexpr float kMaxFps = 1000;  // higher -fps values are clamped to it

    // Output goes to `out` (standard output in the program).
    explicit ViewerOptions(std::string programName, std::ostream& out);
    virtual ~ViewerOptions() = default;

    // 1: argument (and its value) taken; 0: unknown; -1: stop the program.
    virtual int parseArgument(int argc, const char* const* argv, int& index);
    // False when the program must stop (help or usage requested).
    virtual bool parse(int argc, const char* const* argv);
    virtual void usage(const std::string& programPath);
    virtual void help();

    std::string programName;
    int connect = 0;
    std::string server;
    int fullScreen = 0;
    float fps = 60;
    float gridLength = 0;
    int gridCount = 0;
    std::string gridLabel = "m";
    int c3dStream = 0;
    std::vector<std::string> trackerFiles;
    std::string keyFile;  // the lab key, for a server that asks for one

private:
    std::ostream& out_;
};
