// The texts vekGetString gives for codes.
#include "session.h"

namespace veksock {

std::string codeText(int code) {
    switch (code) {
        case VEK_VERSION:
            return "vekd client library SOCKET 1.0 (wire protocol 1)";
        case VEK_ERR_MASTER_BUSY:
            return "another client controls vekd; a slave connection can watch its data";
        case VEK_ERR_TOO_MANY_CLIENTS:
            return "vekd serves as many clients as it can";
        case VEK_ERR_PROTOCOL:
            return "vekd and this library do not speak the same protocol";
        default:
            return "";
    }
}

std::string Session::errorText(int code) const {
    const std::string text = codeText(code);
    if (code != VEK_ERR_PROTOCOL || protocolError_.empty()) return text;
    return text + ": " + protocolError_;
}

}  // namespace veksock
