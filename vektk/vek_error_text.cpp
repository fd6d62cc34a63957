// Messages for library error codes, in the words the programs show.
#include "hex_text.h"
#include "vek.h"

namespace vektk {
namespace {

std::string GeneralText(int code) {
    switch (code) {
        case VEK_NO_ERROR:
            return "No Error";
        case VEK_SERVER_STOPPED:
            return "Finished";
        case VEK_INVALID_VALUE:
            return "Invalid Value";
        case VEK_INVALID_ENUM:
            return "Invalid Enum";
        case VEK_INVALID_OPERATION:
            return "Invalid Operation";
        default:
            return HexText(code);
    }
}

std::string LineText(const std::string& h, int code) {
    switch (code) {
        case VEK_INVALID_VALUE:
        case VEK_INVALID_ENUM:
        case VEK_INVALID_OPERATION:
            return "error: vekInit: " + GeneralText(code);
        case VEK_ERR_HOST_UNREACHABLE:
            return "error: Initialzation failed connecting to " + h + "(Host Unreachable)";
        case VEK_ERR_REFUSED:
            return "error: Initialization failed connecting to " + h + " (Connection Refused)";
        case VEK_ERR_TIMED_OUT:
            return "error: (Timed Out)";
        case VEK_ERR_NET_UNREACHABLE:
            return "error: Initialzation failed connecting to " + h + "(Network Unreachable)";
        default:
            return "error: vekInit: " + std::to_string(code) + ": check server messages.";
    }
}

std::string DialogText(const std::string& h, int code) {
    const std::string failed = "Initialzation failed connecting to " + h + ". ";
    switch (code) {
        case VEK_INVALID_VALUE:
        case VEK_INVALID_ENUM:
        case VEK_INVALID_OPERATION:
            return LineText(h, code);
        case VEK_ERR_HOST_UNREACHABLE:
            return failed + "(Host Unreachable) \nPlease check than there is a computer running vekd on " +
                   h + ".";
        case VEK_ERR_REFUSED:
            return failed + "(Connection Refused) \nPlease check that vekd is running on " + h + ".";
        case VEK_ERR_TIMED_OUT:
            return failed + "(Timed Out) \nPlease check that there is a computer running vekd on " + h + ".";
        case VEK_ERR_NET_UNREACHABLE:
            return failed + "(Network Unreachable) \nPlease check that you have a live network connection.";
        default:
            return "Initialization Failed (" + std::to_string(code) +
                   ").  Check that vekd is still running on " + h + " and see server messages.";
    }
}

}  // namespace

std::string VEK::ErrorText(const std::string& host, int code, int context) {
    switch (context) {
        case kErrorContextGeneral:
        case kErrorContextGeneral + 1:
            return GeneralText(code);
        case kErrorContextLine:
            return LineText(host, code);
        case kErrorContextDialog:
            return DialogText(host, code);
        default:
            return {};
    }
}

}  // namespace vektk
