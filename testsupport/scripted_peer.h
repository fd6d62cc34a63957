// A stand-in for vekd that serves one connection on 127.0.0.1 from a
// script of raw bytes: it answers each whole message the client sends with
// the next answer (time requests with the refusal of a server without the
// exchange), sends `later` a moment after the last one, then closes
// the connection. For tests of what a client makes of a broken server.
#pragma once

#include <string>
#include <thread>
#include <vector>

#include "unique_fd.h"

namespace testsupport {

class ScriptedPeer {
public:
    explicit ScriptedPeer(std::vector<std::string> answers, std::string later = {});
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    std::string address() const;  // "127.0.0.1:PORT"

private:
    void serve(std::vector<std::string> answers, std::string later);

    vekwire::UniqueFd listen_;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace testsupport
