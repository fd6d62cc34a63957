#include "trackers/tracker_bar.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimerEvent>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidgetAction>

#include <iostream>
#include <sstream>

#include "tracker_file.h"
#include "trackers/save_dialogs.h"
#include "trackers/save_report.h"
#include "trackers/tracker_item.h"
#include "trackers/tracker_leds.h"
#include "trackers/tracker_view.h"
#include "trackers/tracker_views.h"
#include "widgets/widget_utils.h"

namespace {

constexpr int kMaxMarkersLimit = 512;
constexpr int kDefaultMaxMarkers = 64;
constexpr int kBarButtonHeight = 20;
constexpr int kTitleLength = 20;  // of a file path in a view's title

QString markersText(std::size_t count) { return QStringLiteral("%1 markers").arg(count); }

QString tagOf(int kind) { return kind == kRigidFileTracker ? QStringLiteral("RB") : QStringLiteral("PT"); }

QPushButton* makeBarButton(const QString& text, QWidget* parent, const QString& tip) {
    auto* button = new QPushButton(text, parent);
    button->setFixedSize(button->fontMetrics().horizontalAdvance(text) + 10, kBarButtonHeight);
    button->setToolTip(tip);
    return button;
}

QFrame* makeLine(QWidget* parent, const char* colour) {
    auto* line = new QFrame(parent);
    line->setFixedHeight(1);
    line->setStyleSheet(QStringLiteral("background: %1").arg(QLatin1String(colour)));
    return line;
}

// A centred title over a black and a grey line.
void addTitle(QMenu* menu, const QString& text) {
    auto* title = new QWidget(menu);
    auto* layout = new QVBoxLayout(title);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    auto* label = new QLabel(text, title);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    layout->addWidget(makeLine(title, "black"));
    layout->addWidget(makeLine(title, "#777"));
    auto* action = new QWidgetAction(menu);
    action->setDefaultWidget(title);
    menu->addAction(action);
}

}  // namespace

TrackerBar::TrackerBar(QWidget* parent, vektk::ViewSession* session, float rate,
                       glview::MicrosecondSource clock)
    : QDockWidget(QStringLiteral("Trackers"), parent), session_(session) {
    setObjectName(QStringLiteral("Trackers"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    createWidgets();
    views_ = new TrackerViews(tabs_, clock);
    tabs_->addTab(list_, QStringLiteral("Trackers"));
    tabs_->addTab(views_, QStringLiteral("Markers"));
    timerId_ = startTimer(static_cast<int>(1000 / static_cast<int>(rate >= 1 ? rate : 1)));
}

QWidget* TrackerBar::makeRow(QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(2, 2, 2, 2);
    parent->layout()->addWidget(row);
    return row;
}

void TrackerBar::createWidgets() {
    auto* content = new QWidget(this);
    content->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(2, 2, 2, 2);
    setWidget(content);
    tabs_ = new QTabWidget(content);
    column->addWidget(tabs_);

    QWidget* maxRow = makeRow(content);
    maxRow->layout()->addWidget(new QLabel(QStringLiteral("Max Markers"), maxRow));
    static_cast<QHBoxLayout*>(maxRow->layout())->addStretch();
    maxMarkers_ = new QSpinBox(maxRow);
    maxMarkers_->setRange(0, kMaxMarkersLimit);
    maxMarkers_->setSingleStep(1);
    maxMarkers_->setValue(kDefaultMaxMarkers);
    maxRow->layout()->addWidget(maxMarkers_);

    QWidget* seenRow = makeRow(content);
    seenRow->layout()->addWidget(new QLabel(QStringLiteral("Markers Seen: "), seenRow));
    static_cast<QHBoxLayout*>(seenRow->layout())->addStretch();
    seenLabel_ = new QLabel(QStringLiteral("0 / 0"), seenRow);
    seenRow->layout()->addWidget(seenLabel_);

    QWidget* buttonRow = makeRow(content);
    auto* buttons = static_cast<QHBoxLayout*>(buttonRow->layout());
    create_ = new QPushButton(QStringLiteral("Create"), buttonRow);
    create_->setMaximumSize(create_->fontMetrics().horizontalAdvance(create_->text()) + 30, kBarButtonHeight);
    create_->setToolTip(QStringLiteral("Add tracker(s)"));
    auto* createMenu = new QMenu(create_);
    createMenu->setToolTipsVisible(true);
    auto addCreate = [&](const char* text, const char* tip, void (TrackerBar::*slot)()) {
        QAction* action = createMenu->addAction(QString::fromLatin1(text));
        action->setToolTip(QString::fromLatin1(tip));
        connect(action, &QAction::triggered, this, slot);
    };
    addCreate("Max Markers", "Create a tracker from unused markers using IDs 0 to \"Max Markers\".",
              &TrackerBar::sl_Unused);
    addCreate("Selected", "Move selected markers to a new tracker.", &TrackerBar::sl_SelectionTracker);
    addCreate("File", "Create tracker(s) from .rb and/or .pt files.", &TrackerBar::sl_AddTracker);
    create_->setMenu(createMenu);
    delete_ =
        makeBarButton(QStringLiteral("Delete"), buttonRow, QStringLiteral("Delete the selected tracker(s)"));
    trim_ = makeBarButton(QStringLiteral("Trim"), buttonRow, QStringLiteral("Create a sparse marker set"));
    save_ = makeBarButton(QStringLiteral("Save"), buttonRow, QStringLiteral("Save the Sparse Set"));
    trim_->setEnabled(false);
    connect(delete_, &QPushButton::clicked, this, &TrackerBar::sl_RemTracker);
    connect(trim_, &QPushButton::clicked, this, &TrackerBar::sl_OptimizeTracker);
    connect(save_, &QPushButton::clicked, this, &TrackerBar::sl_SavePT);
    buttons->addWidget(create_);
    buttons->addWidget(delete_);
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(trim_);

    list_ = new QTreeWidget(tabs_);
    QFont small(QStringLiteral("Helvetica"));
    small.setPointSize(7);
    list_->setFont(small);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHeaderLabels({QStringLiteral("[type:id]"), QStringLiteral("info")});
    list_->setColumnWidth(0, 65);
    list_->setColumnWidth(1, 135);
    list_->setRootIsDecorated(false);
    list_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &TrackerBar::sl_SelectionChanged);
}

std::vector<TrackerItem*> TrackerBar::rows() const {
    std::vector<TrackerItem*> all;
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        all.push_back(static_cast<TrackerItem*>(list_->topLevelItem(i)));
    return all;
}

std::vector<TrackerItem*> TrackerBar::selectedRows() const {
    std::vector<TrackerItem*> selected;
    for (TrackerItem* row : rows())
        if (row->isSelected()) selected.push_back(row);
    return selected;
}

TrackerItem* TrackerBar::maxMarkersRow() const {
    for (TrackerItem* row : rows())
        if (row->kind == kMaxMarkersTracker) return row;
    return nullptr;
}

vektk::Tracker& TrackerBar::appendTracker(vektk::Tracker tracker) {
    if (!session_->fill) tracker.SetOption(VEK_FILL, 0.0f, true);
    session_->trackers.push_back(std::move(tracker));
    return session_->trackers.back();
}

TrackerItem* TrackerBar::AddRow(const QString& info, int id, int kind) {
    auto* row = new TrackerItem(list_, [this](int id, bool on) { SetTrackerEnabled(id, on); });
    row->setText(0, QStringLiteral("[%1:%2]").arg(tagOf(kind)).arg(id));
    row->setText(1, info);
    row->trackerId = id;
    row->kind = kind;
    return row;
}

void TrackerBar::AddTrackerView(int id, const QString& title) {
    const int page = tabs_->currentIndex();
    if (page == 1) tabs_->setCurrentIndex(0);
    if (TrackerView* view = views_->AddView(id, title)) {
        connect(view, &TrackerView::sg_MarkerSelected, this, &TrackerBar::sl_MarkerSelected);
        connect(view, &TrackerView::sg_MarkerDragSelected, this, &TrackerBar::sl_MarkerDragSelected);
    }
    tabs_->setCurrentIndex(page);
}

void TrackerBar::removeRow(TrackerItem* row) {
    views_->RemoveViews(row->trackerId);
    session_->RemoveTracker(row->trackerId);
    delete row;
}

void TrackerBar::RefreshMarkerCounts() {
    for (TrackerItem* row : rows()) {
        if (row->kind != kLedListTracker && row->kind != kMaxMarkersTracker) continue;
        if (const vektk::Tracker* t = session_->FindTracker(row->trackerId))
            row->setText(1, markersText(t->markers.size()));
    }
}

void TrackerBar::forgetFrame() {
    session_->ResetDerived();
    session_->ClearFrame();
    seen_.Clear();
}

int TrackerBar::AddTrackerFile(const QString& path) {
    const QString extension = path.mid(path.lastIndexOf(QLatin1Char('.')));
    int type = vektk::kPointTracker;
    int kind = kPointFileTracker;
    if (extension == QStringLiteral(".pt")) {
        std::cout << "add point tracker: " << path.toStdString() << std::endl;
    } else if (extension == QStringLiteral(".rb")) {
        std::cout << "add rigid tracker: " << path.toStdString() << std::endl;
        type = vektk::kRigidTracker;
        kind = kRigidFileTracker;
    } else {
        return 0;
    }
    const int id = NextTrackerId(session_->trackers);
    std::ostringstream why;
    std::optional<vektk::Tracker> tracker = vektk::Tracker::FromFile(type, id, path.toStdString(), why);
    if (!tracker) {
        // A file that cannot be read makes no tracker; the window says why.
        std::cerr << why.str() << std::flush;
        QMessageBox::warning(this, QStringLiteral("Tracker File Error"),
                             QStringLiteral("No tracker was made from %1:\n%2")
                                 .arg(path, QString::fromStdString(why.str()).trimmed()));
        return -1;
    }
    vektk::Tracker& added = appendTracker(std::move(*tracker));
    AddTrackerView(
        id, QStringLiteral("[%1:%2] : %3").arg(tagOf(kind)).arg(id).arg(ElideLeft(path, kTitleLength, true)));
    TrackerItem* row = AddRow(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1), id, kind);
    row->fileName = path;
    if (session_->connected) session_->CreateTracker(added);
    return 1;
}

void TrackerBar::CreatePointTracker(const std::vector<int>& leds, int id, bool skipServer) {
    if (leds.empty()) return;
    if (id == -1) id = NextTrackerId(session_->trackers);
    vektk::Tracker& added = appendTracker(vektk::Tracker(vektk::kPointTracker, id, leds));
    AddRow(markersText(leds.size()), id, kLedListTracker);
    AddTrackerView(id, QStringLiteral("[PT:%1]").arg(id));
    if (session_->connected && !skipServer) session_->CreateTracker(added);
    views_->relayout();
}

void TrackerBar::CreateMaxMarkersTracker() {
    session_->ClearFrame();
    RemoveMaxMarkersTracker();
    const int id = NextTrackerId(session_->trackers);
    const int count = maxMarkers_->value();
    vektk::Tracker& added = appendTracker(vektk::Tracker(vektk::kPointTracker, id, count));
    AddRow(markersText(static_cast<std::size_t>(count)), id, kMaxMarkersTracker);
    AddTrackerView(id, QStringLiteral("[PT:%1]").arg(id));
    if (session_->connected) {
        session_->CreateTracker(added);
        ResyncTrackers();
    }
}

void TrackerBar::RemoveMaxMarkersTracker() {
    if (TrackerItem* row = maxMarkersRow()) removeRow(row);
}

int TrackerBar::ResyncTrackers() {
    views_->ClearLastSeen();
    if ((session_->flags & VEK_SLAVE) != 0) return 1;
    session_->ResetDerived();
    if (session_->connected) {
        session_->DestroyTrackers(-1);
        session_->Flush();
    }
    if (session_->trackers.empty())
        CreateMaxMarkersTracker();
    else if (session_->connected)
        session_->CreateTrackers();
    emit sg_TrackerCreated();
    return 0;
}

void TrackerBar::UpdateMarkersSeen() {
    seen_.Update(session_->frequency, session_->lastFrame, session_->markers);
    // Called for every frame: the text is made only when a count changes.
    const std::pair<int, std::size_t> counts{seen_.Count(), session_->markers.size()};
    if (counts == seenShown_) return;
    seenShown_ = counts;
    seenLabel_->setText(QStringLiteral("%1 / %2").arg(counts.first).arg(counts.second));
}

void TrackerBar::setEnabled(bool on) {
    busy_ = !on;
    for (QPushButton* button : {create_, delete_, save_, trim_}) button->setEnabled(on);
}

void TrackerBar::sl_Unused() {
    if (session_->trackers.empty() || maxMarkersRow()) {
        CreateMaxMarkersTracker();
        return;
    }
    CreatePointTracker(FreeLeds(session_->trackers, maxMarkers_->value()), -1, false);
}

void TrackerBar::sl_SelectionTracker() {
    std::vector<int> leds;
    for (const auto& entry : session_->selectedMarkers.items)
        if (const std::optional<int> led = vektk::LedOfMarker(session_->trackers, entry.first))
            leds.push_back(*led);
    RefreshMarkerCounts();
    session_->RecolourAll({1, 1, 1, 1});
    session_->selectedMarkers.Clear();
    CreatePointTracker(leds, -1, false);
    ResyncTrackers();
    seen_.Clear();
}

void TrackerBar::sl_AddTracker() {
    QFileDialog dialog(this, QStringLiteral("Choose File(s) to Add to Tracker List"), QString(),
                       QStringLiteral("Tracker Files ( *.pt *.rb )"));
    dialog.setObjectName(QStringLiteral("Load Tracker"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted) return;
    const QStringList paths = dialog.selectedFiles();
    if (paths.isEmpty()) return;
    for (const QString& path : paths) AddTrackerFile(path);
    if (session_->connected) ResyncTrackers();
}

void TrackerBar::sl_RemTracker() {
    const std::vector<TrackerItem*> selected = selectedRows();
    for (TrackerItem* row : selected) removeRow(row);
    if (selected.empty()) return;
    trim_->setEnabled(false);
    forgetFrame();
}

void TrackerBar::sl_UpdateTrackers() {
    if (session_->connected) ResyncTrackers();
}

std::vector<int> TrackerBar::CollectSeenLeds(int trackerId) {
    std::vector<int> leds;
    seen_.Fit(session_->markers.size());
    for (std::size_t p = 0; p < session_->markers.size(); ++p) {
        const int markerId = session_->markers[p].id;
        if (!seen_.bits[p] || vek_marker_tracker(markerId) != trackerId) continue;
        if (const std::optional<int> led = vektk::LedOfMarker(session_->trackers, markerId))
            leds.push_back(*led);
    }
    return leds;
}

void TrackerBar::sl_OptimizeTracker() {
    session_->Flush();
    session_->ResetDerived();
    const std::vector<TrackerItem*> selected = selectedRows();
    for (TrackerItem* row : selected) {
        if (row->isRigid()) continue;
        const int id = row->trackerId;
        const std::vector<int> leds = CollectSeenLeds(id);
        removeRow(row);
        CreatePointTracker(leds, id, false);
    }
    if (!selected.empty()) session_->Flush();
    forgetFrame();
    trim_->setEnabled(false);
}

void TrackerBar::sl_SelectionChanged() {
    if (!busy_) trim_->setEnabled(!selectedRows().empty());
}

void TrackerBar::sl_MarkerSelected(int id) {
    if (!session_->selectedMarkers.Deselect(id)) session_->selectedMarkers.Select(id);
}

void TrackerBar::sl_MarkerDragSelected(int id) { session_->selectedMarkers.Select(id); }

void TrackerBar::sl_SavePT() {
    const std::vector<TrackerItem*> selected = selectedRows();
    if (selected.size() != 1) {
        QMessageBox::information(
            this, QStringLiteral("Save Tracker"),
            QStringLiteral("Select exactly one Tracker from the List before hitting \"save\"."));
        return;
    }
    const TrackerItem* row = selected.front();
    if (row->kind == kPointFileTracker) return;
    const QString extension = row->isRigid() ? QStringLiteral(".rb") : QStringLiteral(".pt");
    const QString path = AskSavePath(this, extension);
    if (path.isEmpty()) return;
    std::cout << "saving file: " << path.toStdString() << std::endl;
    if (MayWrite(this, path)) SaveTrackerFile(path, row->trackerId);
}

void TrackerBar::SaveTrackerFile(const QString& path, int id) {
    const vektk::Tracker* tracker = session_->FindTracker(id);
    if (!tracker) return;
    std::string error;
    if (!vektk::SaveTrackerFile(*tracker, path.toStdString(), 1.0f, &error)) {
        std::cerr << "error: " << error << std::endl;
        ShowFileError(this, path);
        return;
    }
    QMessageBox::information(
        this, QStringLiteral("Saved Point File"),
        QStringLiteral("The following ledIDs were saved to %1: \n\n%2").arg(path, SaveReport(*tracker)));
}

void TrackerBar::SetTrackerEnabled(int id, bool on) {
    if (id < 0) return;
    // A slave never changes the master's trackers.
    const bool send = session_->connected && (session_->flags & VEK_SLAVE) == 0;
    if (send) {
        for (vektk::Tracker& t : session_->trackers) t.Update(false);
        session_->Flush();
    }
    for (vektk::Tracker& t : session_->trackers) {
        if (t.id == id) t.enabled = on;
        if (send) t.Update(true);
    }
    session_->ResetDerived();
    seen_.Clear();
}

void TrackerBar::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timerId_) {
        QDockWidget::timerEvent(event);
        return;
    }
    if (session_ && !session_->markers.empty() && !isHidden()) views_->Update(*session_);
}

void TrackerBar::mouseDoubleClickEvent(QMouseEvent*) {
    if (!session_) return;
    session_->selectedMarkers.Clear();
    session_->selectedRigids.Clear();
}

void TrackerBar::resizeEvent(QResizeEvent* event) {
    QDockWidget::resizeEvent(event);
    views_->relayout();
}

std::unique_ptr<QMenu> TrackerBar::makeContextMenu() {
    if (busy_) return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    const std::vector<TrackerItem*> selected = selectedRows();
    if (selected.empty()) {
        addTitle(menu.get(), QStringLiteral("Create"));
        menu->addAction(QStringLiteral("max markers"), this, &TrackerBar::sl_Unused);
        menu->addAction(QStringLiteral("selected"), this, &TrackerBar::sl_SelectionTracker);
        menu->addAction(QStringLiteral("file"), this, &TrackerBar::sl_AddTracker);
        return menu;
    }
    addTitle(menu.get(), QStringLiteral("Edit"));
    menu->addAction(QStringLiteral("delete"), this, &TrackerBar::sl_RemTracker);
    if (selected.size() == 1) menu->addAction(QStringLiteral("save"), this, &TrackerBar::sl_SavePT);
    if (selected.size() > 1 || !selected.front()->isRigid())
        menu->addAction(QStringLiteral("trim"), this, &TrackerBar::sl_OptimizeTracker);
    return menu;
}

void TrackerBar::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu = makeContextMenu();
    event->accept();
    if (menu) menu->exec(event->globalPos());
}
