#include "widgets/widget_utils.h"

#include <QAction>
#include <QFontMetrics>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

namespace {

void addToLayout(QWidget* parent, QWidget* child) {
    if (parent && parent->layout()) parent->layout()->addWidget(child);
}

QPushButton* makeSizedButton(const QString& label, QWidget* parent, int widthMargin, int spacerSize) {
    auto* button = new QPushButton(label, parent);
    const int labelWidth = QFontMetrics(parent ? parent->font() : button->font()).horizontalAdvance(label);
    button->setFixedSize(labelWidth + widthMargin, kButtonHeight);
    addToLayout(parent, button);
    if (spacerSize > 0) MakeSpacer(parent, spacerSize);
    return button;
}

int store(std::vector<QPushButton*>& buttons, int index, QPushButton* button) {
    if (index < 0) {
        buttons.push_back(button);
        return static_cast<int>(buttons.size()) - 1;
    }
    if (buttons.size() < static_cast<std::size_t>(index) + 1)
        buttons.resize(static_cast<std::size_t>(index) + 1);
    buttons[static_cast<std::size_t>(index)] = button;
    return index;
}

}  // namespace

QString ImagePath(const QString& name) { return QStringLiteral(":/icons/") + name; }

QIcon MakeIconSet(const QString& onImage, const QString& offImage) {
    QIcon icon;
    icon.addPixmap(QPixmap(ImagePath(offImage)), QIcon::Normal, QIcon::Off);
    if (!onImage.isEmpty() && !offImage.isEmpty())
        icon.addPixmap(QPixmap(ImagePath(onImage)), QIcon::Normal, QIcon::On);
    return icon;
}

int MakeToggleButton(const QString& label, int index, QWidget* parent, std::vector<QPushButton*>& buttons,
                     int widthMargin, int spacerSize, const QString& onImage, const QString& offImage) {
    QPushButton* button = makeSizedButton(label, parent, widthMargin, spacerSize);
    if (!offImage.isEmpty()) button->setIcon(MakeIconSet(onImage, offImage));
    button->setCheckable(true);
    button->setChecked(false);
    return store(buttons, index, button);
}

int MakeIconButton(const QString& label, int index, QWidget* parent, std::vector<QPushButton*>& buttons,
                   int widthMargin, int spacerSize, const QString& image) {
    QPushButton* button = makeSizedButton(label, parent, widthMargin, spacerSize);
    if (!image.isEmpty()) button->setIcon(MakeIconSet(image, image));
    return store(buttons, index, button);
}

QPushButton* MakeButton(const QString& label, QWidget* parent, int widthMargin, int spacerSize) {
    return makeSizedButton(label, parent, widthMargin, spacerSize);
}

QWidget* MakeSpacer(QWidget* parent, int size) {
    auto* spacer = new QWidget(parent);
    spacer->setFixedSize(size, size);
    addToLayout(parent, spacer);
    return spacer;
}

void SetHighlight(QPushButton* button, bool on) {
    if (!button) return;
    button->setChecked(on);
    QFont font = button->font();
    font.setWeight(on ? QFont::Bold : QFont::Normal);
    button->setFont(font);
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, QColor(on ? "#6666aa" : "Black"));
    button->setPalette(palette);
}

QAction* MakeAction(std::vector<QAction*>& actions, QObject* parent, QMenu* popup, const QString& text,
                    int index, const QKeySequence& keys, bool toggle) {
    if (actions.size() < static_cast<std::size_t>(index) + 1)
        actions.resize(static_cast<std::size_t>(index) + 1);
    auto* action = new QAction(text, parent);
    action->setShortcut(keys);
    actions[static_cast<std::size_t>(index)] = action;
    if (popup) popup->addAction(action);
    action->setCheckable(toggle);
    return action;
}

QString ElideLeft(const QString& text, int maxLength, bool dots) {
    if (text.length() <= maxLength) return text;
    QString kept = text.right(maxLength);
    if (dots && kept.length() > 3) kept.replace(0, 3, QStringLiteral("..."));
    return kept;
}

bool AskChoice(QWidget* parent, const QString& title, const QString& text, const QString& choice,
               const QString& other) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QPushButton* chosen = box.addButton(choice, QMessageBox::AcceptRole);
    QPushButton* escape = box.addButton(other, QMessageBox::RejectRole);
    box.setDefaultButton(chosen);
    box.setEscapeButton(escape);
    box.exec();
    return box.clickedButton() == chosen;
}
