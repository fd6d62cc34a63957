#include "settings/config_toolbar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iostream>

#include "atomic_file.h"
#include "settings/server_scan.h"
#include "settings/tavrix_file.h"
#include "settings/user_file.h"

namespace {

constexpr int kMargin = 5;
constexpr int kRowSpacing = 5;
constexpr int kMaxInterpolate = 999;

template <std::size_t N>
QComboBox* makeBox(QWidget* parent, const std::array<const char*, N>& items) {
    auto* box = new QComboBox(parent);
    for (const char* item : items) box->addItem(QString::fromLatin1(item));
    return box;
}

// One line of the dock: a label (when given) and its control.
QHBoxLayout* addRow(QVBoxLayout* column, QLabel* label, QWidget* control) {
    auto* row = new QHBoxLayout;
    row->setSpacing(kRowSpacing);
    if (label) row->addWidget(label);
    row->addWidget(control);
    column->addLayout(row);
    return row;
}

}  // namespace

ConfigToolbar::ConfigToolbar(const QString& title, QWidget* parent, bool showSlave, bool specialFlags)
    : QDockWidget(title, parent), specialFlags_(specialFlags) {
    setObjectName(title);
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    createWidgets(showSlave);
    connect(save_, &QPushButton::clicked, this, &ConfigToolbar::sl_Save);
    connect(slave_, &QCheckBox::clicked, this, &ConfigToolbar::sl_Slave);
    connect(server_, &QComboBox::activated, this, &ConfigToolbar::sl_ServerValueChanged);
    Load();
    Apply();
}

void ConfigToolbar::createWidgets(bool showSlave) {
    auto* inner = new QWidget(this);
    inner->setMinimumWidth(kMinimumWidth);
    auto* column = new QVBoxLayout(inner);
    column->setContentsMargins(kMargin, kMargin, kMargin, kMargin);

    slave_ = new QCheckBox(QStringLiteral("Slave Mode "), inner);
    addRow(column, nullptr, slave_)->addStretch();
    if (!showSlave) slave_->hide();

    auto* addressLabel = new QLabel(QStringLiteral("Server Address"), inner);
    addressLabel->setObjectName(QStringLiteral("addr_lbl"));
    server_ = new QComboBox(inner);
    server_->setEditable(true);
    server_->setInsertPolicy(QComboBox::InsertAtTop);
    server_->addItem(QStringLiteral("localhost"));
    server_->addItem(QString::fromLatin1(kFindServers));
    addRow(column, addressLabel, server_);

    mode_ = makeBox(inner, kModeTexts);
    addRow(column, new QLabel(QStringLiteral("Mode"), inner), mode_);
    frequency_ = makeBox(inner, kFrequencyTexts);
    addRow(column, new QLabel(QStringLiteral("Frequency"), inner), frequency_);
    postprocess_ = makeBox(inner, kPostprocessTexts);
    addRow(column, new QLabel(QStringLiteral("Post Processing"), inner), postprocess_);
    interpolate_ = new QSpinBox(inner);
    interpolate_->setRange(0, kMaxInterpolate);
    interpolate_->setSingleStep(1);
    addRow(column, new QLabel(QStringLiteral("Interpolation"), inner), interpolate_);

    save_ = new QPushButton(QStringLiteral("Save Settings"), inner);
    QHBoxLayout* buttonRow = addRow(column, nullptr, save_);
    buttonRow->insertStretch(0);
    buttonRow->addStretch();
    column->addStretch();
    setWidget(inner);
}

int ConfigToolbar::Apply() {
    // A slave takes the server's running settings: only bit 0 is its own.
    if (!slave_->isChecked()) {
        int flags = 0;
        if (specialFlags_) {
            flags = VEK_SPECIAL;
        } else {
            flags += std::max(mode_->currentIndex(), 0) * VEK_MODE1;
            if (postprocess_->currentIndex() == 1) flags += VEK_POSTPROCESS;
        }
        settings_.freq = frequency_->currentText().toFloat();
        settings_.flags = flags;
        settings_.interpolate = interpolate_->value();
    }
    if (!attached()) return 0;
    const std::string text = server_->currentText().toStdString();
    // An alias without an address is a plain entry whose text holds blanks:
    // the text is the server, not an empty one (which would mean localhost).
    const ServerAlias* alias = FindAlias(aliases_, text);
    settings_.server = alias && !alias->address.empty() ? alias->address : text;
    return 1;
}

void ConfigToolbar::sl_Slave() {
    if (!attached()) return;
    const bool slave = slave_->isChecked();
    // Bit 0 alone: the mode and post-processing bits stay as they are.
    if (slave)
        settings_.flags |= VEK_SLAVE;
    else
        settings_.flags &= ~VEK_SLAVE;
    for (QWidget* control :
         std::initializer_list<QWidget*>{mode_, frequency_, postprocess_, interpolate_, save_})
        control->setEnabled(!slave);
}

void ConfigToolbar::sl_ServerValueChanged(int) {
    if (server_->currentText() == QLatin1String(kFindServers)) scan();
}

void ConfigToolbar::scan() {
    const ServerList found = ScanServers(std::cerr);
    aliases_ = found.aliases;
    showServers(found.entries);
    server_->showPopup();
    emit sg_Scanned();
}

void ConfigToolbar::showServers(const std::vector<std::string>& entries) {
    server_->clear();
    for (const std::string& entry : entries) server_->addItem(QString::fromStdString(entry));
    server_->setCurrentIndex(0);
}

void ConfigToolbar::putServerFirst(const QString& server) {
    for (int i = server_->count() - 1; i >= 0; --i)
        if (server_->itemText(i) == server) server_->removeItem(i);
    server_->insertItem(0, server);
    server_->setCurrentIndex(0);
}

int ConfigToolbar::Load() {
    const std::string path = UserFilePath(kTavrixFileName);
    TavrixRead read;
    if (ReadTavrix(path, read, std::cout, std::cerr) < 0) return -1;
    aliases_ = read.servers.aliases;
    std::vector<std::string> entries = read.servers.entries;
    entries.push_back(kFindServers);
    showServers(entries);
    if (read.modeItem) mode_->setCurrentIndex(*read.modeItem);
    if (read.frequencyItem) frequency_->setCurrentIndex(*read.frequencyItem);
    if (read.postprocessItem) postprocess_->setCurrentIndex(*read.postprocessItem);
    if (read.interpolate) interpolate_->setValue(*read.interpolate);
    return 0;
}

void ConfigToolbar::sl_Save() {
    const std::string path = UserFilePath(kTavrixFileName);
    std::cout << "saving current config: " << path << std::endl;
    std::vector<std::string> entries;
    for (int i = 0; i < server_->count(); ++i) entries.push_back(server_->itemText(i).toStdString());
    TavrixSave save;
    save.servers = ServersToSave(server_->currentText().toStdString(), entries, aliases_);
    save.mode = mode_->currentText().toStdString();
    save.frequency = frequency_->currentText().toStdString();
    save.postprocess = postprocess_->currentIndex();
    save.interpolate = interpolate_->value();
    // A failed write leaves the old file as it was.
    const vektk::AtomicWriteResult r = vektk::WriteFileAtomically(path, TavrixText(save));
    if (r.status != vektk::AtomicWriteStatus::Written)
        std::cerr << "error: " << (r.status == vektk::AtomicWriteStatus::OpenFailed ? "open(" : "write(")
                  << path << "): " << std::strerror(r.error) << std::endl;
}
