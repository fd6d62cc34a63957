#include "trackers/save_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "widgets/widget_utils.h"

QString AskSavePath(QWidget* parent, const QString& extension) {
    QFileDialog dialog(parent, QStringLiteral("Choose a filename to save under"), QDir::currentPath(),
                       QStringLiteral("tracker (*%1)").arg(extension));
    dialog.setObjectName(QStringLiteral("save file dialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // MayWrite asks before a file is replaced; Qt's own question would come first.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    QString path = dialog.selectedFiles().constFirst();
    if (path.isEmpty()) return {};
    if (QFileInfo(path).suffix().isEmpty()) path += extension;
    return path;
}

void ShowFileError(QWidget* parent, const QString& path) {
    QMessageBox::critical(parent, QStringLiteral("File Error"),
                          QStringLiteral("Could not open\n%1\ncheck file and directory permissions")
                              .arg(QFileInfo(path).fileName()));
}

bool MayWrite(QWidget* parent, const QString& path) {
    const QFileInfo file(path);
    if (!file.exists()) return true;
    if (!file.isWritable()) {
        ShowFileError(parent, path);
        return false;
    }
    return AskChoice(parent, QStringLiteral("Overwrite File?"),
                     QStringLiteral("A file called %1 already exists.Do you want to overwrite it?").arg(path),
                     QStringLiteral("&Yes"), QStringLiteral("&No"));
}
