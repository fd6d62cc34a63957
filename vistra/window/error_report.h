// Texts for session errors met by the polling loop and at connect time.
#pragma once

#include <QString>

#include <ostream>
#include <string>

// Status-bar message for a pending session error code; empty for others.
QString HandlerErrorMessage(int code);
// Prints the "error: VekHandlerError: " line for codes other than 0 and 1;
// returns the message.
QString ReportHandlerError(int code, std::ostream& out);

// Text of the "Vek Init Error" box that offers a slave connection.
QString SlaveOfferText(int code);
// Base text for an init error: the connection error for codes below 1,
// the refusal for a wrong or missing lab key (or a key file that cannot be
// used) with where the key comes from, the internal-error text when the
// library has no text for the code, otherwise empty.
QString InitErrorText(const std::string& server, int code);
// True when the client library has a text for the code.
bool LibraryHasText(int code);
// True for the codes of a lab key refused or unusable: a slave connection
// would not help.
bool IsKeyRefusal(int code);
