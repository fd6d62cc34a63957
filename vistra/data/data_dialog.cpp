#include "data/data_dialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>

#include "data/my_table.h"
#include "data/peak_plot.h"
#include "session/detector_session.h"
#include "tracker.h"
#include "widgets/widget_utils.h"

namespace {

constexpr int kStartDelayMs = 32;  // the main window's delay at start
constexpr int kMinDelayMs = 8;
constexpr int kMaxDelayMs = 240;
constexpr int kShare = 100;  // the table gets two shares of the height, the plot one
constexpr const char* kQuantityNames[kQuantities] = {
    "Position", "Position Variance", "Amplitude", "Amplitude Variance",
    "Width",    "Width Variance",    "Power",     "Power Variance"};

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

DataDialog::DataDialog(QWidget* parent, const DetectorSession* session) : QDialog(parent), session_(session) {
    setModal(false);
    setSizeGripEnabled(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(250, 300);
    resize(320, 300);
    // The view starts on the first camera.
    setWindowTitle(QStringLiteral("Camera 1"));

    auto* a = new QWidget(this);
    auto* aLayout = new QVBoxLayout(a);
    aLayout->setContentsMargins(5, 5, 5, 5);
    auto* b = new QWidget(a);
    auto* bLayout = new QHBoxLayout(b);
    bLayout->setContentsMargins(5, 5, 5, 5);
    auto* c = new QWidget(b);
    auto* cLayout = new QVBoxLayout(c);
    cLayout->setContentsMargins(0, 0, 0, 0);
    QWidget* columnControls = makeColumnControls(c);
    QWidget* rowControls = makeRowControls(c);
    cLayout->addWidget(columnControls);
    cLayout->addWidget(rowControls);
    cLayout->addItem(new QSpacerItem(1, 1, QSizePolicy::Fixed, QSizePolicy::Expanding));
    bLayout->addWidget(c);
    QWidget* delay = makeDelay(b);
    bLayout->addWidget(delay);
    bLayout->addItem(new QSpacerItem(1, 1, QSizePolicy::Expanding, QSizePolicy::Expanding));

    // The plot shares the space under the controls with the table; the
    // user moves the border between them.
    split_ = new QSplitter(Qt::Vertical, a);
    table_ = new MyTable(128, kDataColumns, split_, session);
    plot_ = new PeakPlot(split_);
    split_->addWidget(table_);
    split_->addWidget(plot_);
    split_->setStretchFactor(0, 2);
    split_->setStretchFactor(1, 1);
    split_->setSizes({2 * kShare, kShare});
    split_->setChildrenCollapsible(false);
    aLayout->addWidget(b);
    aLayout->addWidget(split_);
    auto* own = new QHBoxLayout(this);
    own->setContentsMargins(0, 0, 0, 0);
    own->setSpacing(5);
    own->addWidget(a);

    a->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    columnControls->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    c->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    rowControls->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::MinimumExpanding);
    delay->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DataDialog::plotSelection);
}

QWidget* DataDialog::makeColumnControls(QWidget* parent) {
    auto* box = new QGroupBox(QStringLiteral("Column Controls"), parent);
    new QHBoxLayout(box);
    choose_ = MakeButton(QStringLiteral("Choose"), box, 35, 2);
    choose_->setFlat(true);
    choose_->setFixedHeight(kButtonHeight);
    chooseMenu_ = new QMenu(choose_);
    using Slot = void (DataDialog::*)();
    const Slot toggles[kQuantities] = {&DataDialog::sl_Pos,  &DataDialog::sl_Posv, &DataDialog::sl_Amp,
                                       &DataDialog::sl_Ampv, &DataDialog::sl_Wid,  &DataDialog::sl_Widv,
                                       &DataDialog::sl_Pow,  &DataDialog::sl_Powv};
    for (int k = 0; k < kQuantities; ++k) {
        QAction* item = chooseMenu_->addAction(QString::fromLatin1(kQuantityNames[k]));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, toggles[k]);
        items_[static_cast<std::size_t>(k)] = item;
    }
    choose_->setMenu(chooseMenu_);

    auto* all = new QWidget(box);
    auto* allLayout = new QHBoxLayout(all);
    allLayout->setContentsMargins(0, 0, 0, 0);
    allLayout->setSpacing(5);
    QPushButton* showAll = MakeButton(QStringLiteral("show all"), all, 22, 2);
    QPushButton* hideAll = MakeButton(QStringLiteral("hide all"), all, 22, 2);
    box->layout()->addWidget(all);
    connect(showAll, &QPushButton::clicked, this, &DataDialog::sl_ShowAll);
    connect(hideAll, &QPushButton::clicked, this, &DataDialog::sl_HideAll);
    return box;
}

QWidget* DataDialog::makeRowControls(QWidget* parent) {
    auto* box = new QGroupBox(QStringLiteral("Row Controls"), parent);
    auto* layout = new QHBoxLayout(box);
    auto* hide = new QPushButton(QStringLiteral("hide row(s)"), box);
    hide->setToolTip(QStringLiteral("hide selected rows"));
    hide->setShortcut(QKeySequence(Qt::Key_Delete));
    auto* unhide = new QPushButton(QStringLiteral("unhide row(s)"), box);
    unhide->setToolTip(QStringLiteral("unhide hidden rows"));
    for (QPushButton* button : {hide, unhide}) {
        button->setMaximumHeight(20);
        layout->addWidget(button);
    }
    connect(hide, &QPushButton::clicked, this, &DataDialog::sl_Hide);
    connect(unhide, &QPushButton::clicked, this, &DataDialog::sl_UnHide);
    return box;
}

QWidget* DataDialog::makeDelay(QWidget* parent) {
    auto* box = new QGroupBox(QStringLiteral("Delay"), parent);
    auto* layout = new QVBoxLayout(box);
    slider_ = new QSlider(Qt::Vertical, box);
    slider_->setTracking(true);
    slider_->setRange(kMinDelayMs, kMaxDelayMs);
    slider_->setTickPosition(QSlider::TicksRight);
    slider_->setTickInterval(16);
    slider_->setValue(kStartDelayMs);
    slider_->setFixedHeight(100);
    delayLabel_ = new QLabel(QString::number(kStartDelayMs), box);
    layout->addWidget(slider_);
    layout->addWidget(delayLabel_);
    return box;
}

void DataDialog::Fill(int camera) {
    table_->Fill(camera);

    // The plot: the selected rows that are shown, the columns that are shown.
    std::vector<int> columns;
    for (int shown = 0; shown < kDataColumns; ++shown) {
        if (table_->isColumnHidden(shown)) continue;
        for (int k = 0; k < kDataColumns; ++k)
            if (table_->displayed(k) == shown) columns.push_back(k);
    }
    plot_->setColumns(columns);
    std::vector<PlotRow> rows;
    const PeakTables& tables = session_->tables;
    for (int r = 0; r < std::min(table_->rowCount(), tables.rows()); ++r)
        if (!table_->isRowHidden(r) && table_->selectionModel()->isRowSelected(r, QModelIndex())) {
            const int id = tables.idOf(r);
            rows.push_back({r, id, vektk::LedOfMarker(session_->trackers, id).value_or(-1)});
        }
    plot_->sample(tables, camera, rows, NowMs());
}

void DataDialog::showCamera(int camera) {
    camera_ = camera;
    setWindowTitle(QStringLiteral("Camera %1").arg(camera + 1));
    table_->resetWarnings();
    Fill(camera);
}

void DataDialog::plotSelection() {
    if (isVisible()) Fill(camera_);
}

void DataDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit sg_Close();
}

void DataDialog::reject() { emit sg_Close(); }

void DataDialog::setQuantity(int k, bool shown) {
    states_[static_cast<std::size_t>(k)] = shown ? 1 : 0;
    table_->setColumnHidden(table_->displayed(2 * k), !shown);
    table_->setColumnHidden(table_->displayed(2 * k + 1), !shown);
    items_[static_cast<std::size_t>(k)]->setChecked(shown);
}

void DataDialog::toggleQuantity(int k) { setQuantity(k, states_[static_cast<std::size_t>(k)] == 0); }

void DataDialog::sl_ShowAll() {
    for (int k = 0; k < kQuantities; ++k) setQuantity(k, true);
}

void DataDialog::sl_HideAll() {
    for (int k = 0; k < kQuantities; ++k) setQuantity(k, false);
}

void DataDialog::sl_Pos() { toggleQuantity(0); }
void DataDialog::sl_Posv() { toggleQuantity(1); }
void DataDialog::sl_Amp() { toggleQuantity(2); }
void DataDialog::sl_Ampv() { toggleQuantity(3); }
void DataDialog::sl_Wid() { toggleQuantity(4); }
void DataDialog::sl_Widv() { toggleQuantity(5); }
void DataDialog::sl_Pow() { toggleQuantity(6); }
void DataDialog::sl_Powv() { toggleQuantity(7); }

// No quantity box is offered to choose the columns of these two.
void DataDialog::sl_ShowColumn() {}
void DataDialog::sl_HideColumn() {}

void DataDialog::sl_Hide() {
    for (int r = table_->rowCount() - 1; r >= 0; --r)
        if (table_->selectionModel()->isRowSelected(r, QModelIndex())) table_->hideRow(r);
    fitTableHeight();
}

void DataDialog::sl_UnHide() {
    for (int r = 0; r < table_->rowCount(); ++r)
        if (table_->isRowHidden(r)) table_->showRow(r);
    fitTableHeight();
}

// The table takes the height of its header and visible rows; the plot
// keeps at least a third of the space they share.
void DataDialog::fitTableHeight() {
    int height = table_->horizontalHeader()->height() + 20;
    for (int r = 0; r < table_->rowCount(); ++r)
        if (!table_->isRowHidden(r)) height += table_->rowHeight(r);
    const QList<int> sizes = split_->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (total <= 0) return;
    const int table = std::min(height, total - std::max(plot_->minimumHeight(), total / 3));
    split_->setSizes({table, total - table});
}
