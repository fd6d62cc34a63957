// The words for codes: vekGetString's texts and the programs' messages.
#include "client_key.h"
#include "session.h"

namespace veksock {

std::string codeText(int code) {
    switch (code) {
        case VEK_VERSION:
            return "vekd client library SOCKET 1.0 (wire protocol 2)";
        case VEK_ERR_MASTER_BUSY:
            return "another client controls vekd; a slave connection can watch its data";
        case VEK_ERR_TOO_MANY_CLIENTS:
            return "vekd serves as many clients as it can";
        case VEK_ERR_PROTOCOL:
            return "vekd and this library do not speak the same protocol";
        case VEK_ERR_NOT_AUTHORISED:
            return "not authorised: wrong or missing key";
        case VEK_ERR_KEY_FILE:
            return keyProblem();
        default:
            return "";
    }
}

std::string describeCode(int code) {
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
        case VEK_INVALID_VALUE:
            return "the server refused the value";
        case VEK_INVALID_ENUM:
            return "the server does not know the key";
        case VEK_INVALID_OPERATION:
            return "the server refused the operation (only the master changes trackers and the frequency)";
        default: {
            const std::string text = codeText(code);
            return text.empty() ? "code " + std::to_string(code) : text;
        }
    }
}

std::string Session::withReason(int code, std::string text) const {
    if (code == VEK_ERR_PROTOCOL && !protocolError_.empty()) text += ": " + protocolError_;
    return text;
}

std::string Session::errorText(int code) const { return withReason(code, codeText(code)); }

std::string Session::describe(int code) const { return withReason(code, describeCode(code)); }

}  // namespace veksock
