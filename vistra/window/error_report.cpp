#include "window/error_report.h"

#include <veksock.h>

#include "vek.h"

QString HandlerErrorMessage(int code) {
    switch (code) {
        case VEK_INVALID_VALUE:
            return QStringLiteral("Error: Invalid Value sent to Vek");
        case VEK_INVALID_ENUM:
            return QStringLiteral("Error: Invalid Enum sent to Vek");
        case VEK_INVALID_OPERATION:
            return QStringLiteral("Error: an Invalid Operation occurred");
        default:
            return {};
    }
}

QString ReportHandlerError(int code, std::ostream& out) {
    const QString message = HandlerErrorMessage(code);
    if (code > 1)
        out << "error: VekHandlerError: " << message.toStdString() << " (0x" << std::hex << code << std::dec
            << ")" << std::endl;
    else if (code < 0)
        out << "error: VekHandlerError: " << message.toStdString() << " (e=" << code << ")" << std::endl;
    return message;
}

QString SlaveOfferText(int code) {
    return QStringLiteral("Could not Connect.\n\n") +
           QStringLiteral(
               "Vek may be busy streaming.  \nPlease check the server log and restart Vekd if necessary.  ") +
           QStringLiteral("\nIf the problem persists, call customer support with this error code: ") +
           QString::number(code) +
           QStringLiteral("\n\nTo Connect in Slave-Mode click \"Connect\" otherwise click \"Ok\"");
}

bool IsKeyRefusal(int code) { return code == VEK_ERR_NOT_AUTHORISED || code == VEK_ERR_KEY_FILE; }

bool LibraryHasText(int code) {
    char text[VEK_STRING_SIZE] = {};
    return vekGetString(code, text) >= 1;
}

QString InitErrorText(const std::string& server, int code) {
    if (code < 1)
        return QString::fromStdString(vektk::VEK::ErrorText(server, code, vektk::kErrorContextDialog));
    if (IsKeyRefusal(code)) {
        char text[VEK_STRING_SIZE] = {};
        vekGetString(code, text);
        return QStringLiteral(
                   "Could not Connect to %1.\n\n%2.\n\nvistra proves the lab key of -key FILE, else of the "
                   "file VEK_KEY_FILE names, else of ~/.config/vek/key.")
            .arg(QString::fromStdString(server), QString::fromUtf8(text));
    }
    if (!LibraryHasText(code))
        return QStringLiteral(
                   "An internal error occurred.\n\nPlease check the server log.\nIf the problem "
                   "persists, call customer support with this error code: %1")
            .arg(code);
    return {};
}
