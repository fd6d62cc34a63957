// The boxes of saving a tracker to a file: the file dialog, the question
// before overwriting and the error when the file cannot be written.
#pragma once

#include <QString>

class QWidget;

// The path chosen in the save dialog, with `extension` appended when the
// name has none; empty when the user chose nothing.
QString AskSavePath(QWidget* parent, const QString& extension);

// The "File Error" box for `path`.
void ShowFileError(QWidget* parent, const QString& path);

// True when `path` may be written: it does not exist, or it is writable and
// the user agreed to overwrite it. A file that is not writable gets the
// "File Error" box.
bool MayWrite(QWidget* parent, const QString& path);
