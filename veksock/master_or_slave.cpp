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

}  // namespace veksock
