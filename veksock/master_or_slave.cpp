#include "master_or_slave.h"

namespace veksock {

int joinAsMasterOrSlave(Session& session, const std::string& server, bool& master) {
    master = session.init(server.c_str(), 0) == 0;
    if (master) return 0;
    const int code = session.takeError();
    if (code != VEK_ERR_MASTER_BUSY) return code;
    if (session.init(server.c_str(), VEK_SLAVE) == 0) return 0;
    return session.takeError();
}

std::string problemText(int code) {
    switch (code) {
        case VEK_ERR_REFUSED:
            return "connection refused (is vekd running there?)";
        case VEK_ERR_TIMED_OUT:
            return "timed out";
        case VEK_ERR_HOST_UNREACHABLE:
            return "host unreachable (or not a host name)";
        case VEK_ERR_NET_UNREACHABLE:
            return "network unreachable";
        case VEK_SERVER_STOPPED:
            return "the server stopped";
        default: {
            const std::string text = codeText(code);
            return text.empty() ? "code " + std::to_string(code) : text;
        }
    }
}

}  // namespace veksock
