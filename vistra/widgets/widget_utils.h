// Builders for buttons, actions, icons and spacers used by every window.
#pragma once

#include <QIcon>
#include <QKeySequence>
#include <QString>

#include <vector>

class QAction;
class QMenu;
class QObject;
class QPushButton;
class QWidget;

constexpr int kButtonHeight = 22;

// Icon whose Off state shows offImage and, when both are given, whose On
// state shows onImage. Names are resource names such as "liveOff.png".
QIcon MakeIconSet(const QString& onImage, const QString& offImage);

// Checkable button of width (label width + widthMargin) x 22 stored in
// buttons[index] (index < 0 appends). Returns the index.
int MakeToggleButton(const QString& label, int index, QWidget* parent, std::vector<QPushButton*>& buttons,
                     int widthMargin, int spacerSize, const QString& onImage, const QString& offImage);
int MakeIconButton(const QString& label, int index, QWidget* parent, std::vector<QPushButton*>& buttons,
                   int widthMargin, int spacerSize, const QString& image);
QPushButton* MakeButton(const QString& label, QWidget* parent, int widthMargin, int spacerSize);
QWidget* MakeSpacer(QWidget* parent, int size);
// Checked, bold and "#6666aa" when on; unchecked, normal and black when off.
void SetHighlight(QPushButton* button, bool on);
QAction* MakeAction(std::vector<QAction*>& actions, QObject* parent, QMenu* popup, const QString& text,
                    int index, const QKeySequence& keys, bool toggle);
// Keeps the last maxLength characters; with dots, the first three of them
// become "..." when more than three remain.
QString ElideLeft(const QString& text, int maxLength, bool dots);

// A question box with two buttons, `choice` the default and `other` the
// escape; true when the user chose `choice`.
bool AskChoice(QWidget* parent, const QString& title, const QString& text, const QString& choice,
               const QString& other);

// Resource path of an embedded image name.
QString ImagePath(const QString& name);
