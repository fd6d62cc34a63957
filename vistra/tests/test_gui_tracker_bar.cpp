// The tracker bar in real widgets: trackers made from unused LEDs, from the
// selection and from files, the boxes of saving, slave mode; the marker
// grids' pixels, clicks and drags; and against a real vekd: the tracker
// made on connect, trim, the rows' check boxes and a body captured by
// snapwell; the docks and Max Markers kept in ".vistrast".
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWidgetAction>

#include <cstdlib>
#include <fstream>
#include <set>

#include "gui_test_app.h"
#include "server_process.h"
#include "settings/config_toolbar.h"
#include "trackers/grid_view.h"
#include "trackers/tracker_bar.h"
#include "trackers/tracker_item.h"
#include "trackers/tracker_view.h"
#include "trackers/tracker_views.h"
#include "window/vistra_main_window.h"

// Builds without snapwell skip what needs it.
#ifndef SNAPWELL_PROGRAM
#define SNAPWELL_PROGRAM ""
#endif

namespace {

using vektk::MarkerId;

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Title and text of the box `action` shows, which is then closed.
std::pair<QString, QString> BoxOf(const std::function<void()>& action) {
    std::pair<QString, QString> shown;
    AnswerNextDialog([&](QMessageBox* box) {
        shown = {box->windowTitle(), box->text()};
        box->accept();
    });
    action();
    return shown;
}

std::vector<int> Leds(const vektk::Tracker& t) {
    std::vector<int> leds;
    for (const vektk::MarkerDef& m : t.markers) leds.push_back(m.led);
    return leds;
}

QStringList RowTexts(const TrackerBar& bar) {
    QStringList texts;
    for (const TrackerItem* row : bar.rows()) texts << row->text(0) + " " + row->text(1);
    return texts;
}

QStringList MenuTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* a : menu->actions()) {
        if (auto* title = qobject_cast<QWidgetAction*>(a))
            texts << "<" + title->defaultWidget()->findChild<QLabel*>()->text() + ">";
        else
            texts << a->text();
    }
    return texts;
}

void SelectOnly(TrackerBar& bar, int trackerId) {
    bar.list()->clearSelection();
    for (TrackerItem* row : bar.rows())
        if (row->trackerId == trackerId) row->setSelected(true);
}

TEST(TrackerBar, MakesTrackersFromUnusedLedsTheSelectionAndFiles) {
    vektk::ViewSession session(0.001f);
    TrackerBar bar(nullptr, &session, 15.0f);
    bar.show();
    EXPECT_EQ(bar.windowTitle(), "Trackers");
    EXPECT_EQ(bar.tabs()->tabText(0), "Trackers");
    EXPECT_EQ(bar.tabs()->tabText(1), "Markers");
    EXPECT_EQ(bar.maxMarkersBox()->maximum(), 512);
    EXPECT_EQ(bar.seenLabel()->text(), "0 / 0");
    EXPECT_FALSE(bar.trimButton()->isEnabled());
    EXPECT_EQ(bar.saveButton()->toolTip(), "Save the Sparse Set");
    EXPECT_EQ(MenuTexts(bar.createButton()->menu()), QStringList({"Max Markers", "Selected", "File"}));

    // No trackers: Max Markers makes tracker 0 on LEDs 0 .. 63; again, it
    // replaces that tracker.
    bar.sl_Unused();
    ASSERT_EQ(session.trackers.size(), 1u);
    EXPECT_EQ(session.trackers[0].id, 0);
    EXPECT_EQ(Leds(session.trackers[0]).size(), 64u);
    EXPECT_EQ(Leds(session.trackers[0]).back(), 63);
    EXPECT_EQ(RowTexts(bar), QStringList({"[PT:0] 64 markers"}));
    bar.maxMarkersBox()->setValue(10);
    bar.sl_Unused();
    EXPECT_EQ(session.trackers.size(), 1u);
    EXPECT_EQ(RowTexts(bar), QStringList({"[PT:0] 10 markers"}));
    ASSERT_EQ(bar.views()->views().size(), 1u);
    EXPECT_EQ(bar.views()->views()[0]->title(), "[PT:0]");

    // Selected: nothing selected makes nothing but re-sends the trackers;
    // two selected markers make tracker 1 on their LEDs.
    QSignalSpy created(&bar, &TrackerBar::sg_TrackerCreated);
    bar.sl_SelectionTracker();
    EXPECT_EQ(created.count(), 1);
    EXPECT_EQ(session.trackers.size(), 1u);
    session.selectedMarkers.Select(MarkerId(0, 7));
    session.selectedMarkers.Select(MarkerId(0, 5));
    session.fill = false;  // "Disable Fill" holds for new trackers too
    bar.sl_SelectionTracker();
    session.fill = true;
    ASSERT_EQ(session.trackers.size(), 2u);
    EXPECT_EQ(Leds(session.trackers[1]), (std::vector<int>{5, 7}));
    EXPECT_EQ(session.trackers[1].options, (std::vector<std::pair<int, float>>{{VEK_FILL, 0.0f}}));
    EXPECT_TRUE(session.selectedMarkers.items.empty());
    EXPECT_EQ(RowTexts(bar).last(), "[PT:1] 2 markers");

    // Files: capitals and other extensions are not loaded; a malformed file
    // makes no tracker and the user is told why.
    ScopedHome home;
    std::ofstream(home.file("body.rb")) << "0, 1 2 3\n1, 4 5 6\n";
    std::ofstream(home.file("upper.PT")) << "1\n";
    std::ofstream(home.file("bad.pt")) << "1\n-4\n";
    EXPECT_EQ(bar.AddTrackerFile(QString::fromStdString(home.file("upper.PT"))), 0);
    testing::internal::CaptureStderr();
    const auto [title, text] =
        BoxOf([&] { bar.AddTrackerFile(QString::fromStdString(home.file("bad.pt"))); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), home.file("bad.pt") + ":2: invalid LED: -4\n");
    EXPECT_EQ(title, "Tracker File Error");
    EXPECT_TRUE(text.contains("invalid LED: -4")) << text.toStdString();
    EXPECT_EQ(session.trackers.size(), 2u);
    testing::internal::CaptureStdout();
    EXPECT_EQ(bar.AddTrackerFile(QString::fromStdString(home.file("body.rb"))), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "add rigid tracker: " + home.file("body.rb") + "\n");
    EXPECT_EQ(RowTexts(bar), QStringList({"[PT:0] 10 markers", "[PT:1] 2 markers", "[RB:2] body.rb"}));
    EXPECT_EQ(bar.views()->views().size(), 3u);

    // The context menu follows the selected rows.
    EXPECT_EQ(MenuTexts(bar.makeContextMenu().get()),
              QStringList({"<Create>", "max markers", "selected", "file"}));
    SelectOnly(bar, 2);
    EXPECT_TRUE(bar.trimButton()->isEnabled());
    EXPECT_EQ(MenuTexts(bar.makeContextMenu().get()), QStringList({"<Edit>", "delete", "save"}));
    bar.rows()[0]->setSelected(true);
    EXPECT_EQ(MenuTexts(bar.makeContextMenu().get()), QStringList({"<Edit>", "delete", "trim"}));
    EXPECT_EQ(BoxOf([&] { bar.sl_SavePT(); }).first, "Save Tracker");

    // Delete takes tracker, row and view away.
    bar.sl_RemTracker();
    EXPECT_EQ(RowTexts(bar), QStringList({"[PT:1] 2 markers"}));
    EXPECT_EQ(session.trackers.size(), 1u);
    EXPECT_EQ(bar.views()->views().size(), 1u);
    EXPECT_FALSE(bar.trimButton()->isEnabled());

    // Slave mode: nothing is re-sent and there is no context menu.
    session.flags = VEK_SLAVE;
    bar.setEnabled(false);
    EXPECT_EQ(bar.ResyncTrackers(), 1);
    EXPECT_EQ(created.count(), 2);
    EXPECT_EQ(bar.makeContextMenu(), nullptr);
    EXPECT_FALSE(bar.createButton()->isEnabled());
    bar.setEnabled(true);
    EXPECT_TRUE(bar.saveButton()->isEnabled());
}

TEST(TrackerBar, SavesThroughTheAtomicWriterAndReportsWhatWasSaved) {
    ScopedHome home;
    vektk::ViewSession session(0.001f);
    TrackerBar bar(nullptr, &session, 15.0f);
    std::vector<int> forty(40);
    for (int i = 0; i < 40; ++i) forty[static_cast<std::size_t>(i)] = 100 + i;
    bar.CreatePointTracker(forty, -1, false);
    const QString points = QString::fromStdString(home.file("forty.pt"));
    const auto [title, text] = BoxOf([&] { bar.SaveTrackerFile(points, 0); });
    EXPECT_EQ(title, "Saved Point File");
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 5) << text.toStdString();
    EXPECT_EQ(lines[0], "The following ledIDs were saved to " + points + ": ");
    EXPECT_EQ(lines[2].count(", ") + 1, 17);
    EXPECT_EQ(lines[3].count(", ") + 1, 16);
    EXPECT_EQ(lines[4].count(", ") + 1, 7);
    EXPECT_EQ(FileText(points.toStdString()).substr(0, 8), "100\n101\n");

    // Saving over that file through "Save" asks once, in the window's own
    // words (answered "&No": the file stays as it was).
    std::ofstream(points.toStdString()) << "kept\n";
    SelectOnly(bar, 0);
    QStringList asked;
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        asked << box->windowTitle();
        const QString answer = box->windowTitle() == "Overwrite File?" ? "&No" : "&Yes";
        for (QAbstractButton* b : box->buttons())
            if (b->text() == answer) b->click();
    });
    boxes.start(20);
    AnswerNextDialog<QFileDialog>([&](QFileDialog* dialog) {
        dialog->selectFile(points);
        static_cast<QDialog*>(dialog)->accept();  // as the dialog's Save button does
    });
    testing::internal::CaptureStdout();
    bar.saveButton()->click();
    testing::internal::GetCapturedStdout();
    boxes.stop();
    EXPECT_EQ(asked.join(" | ").toStdString(), "Overwrite File?");
    EXPECT_EQ(FileText(points.toStdString()), "kept\n");

    std::ofstream(home.file("body.rb")) << "0, 1 2 3\n";
    bar.AddTrackerFile(QString::fromStdString(home.file("body.rb")));
    const auto [rigidTitle, rigidText] = BoxOf([&] { bar.SaveTrackerFile(points + ".rb", 1); });
    EXPECT_EQ(rigidTitle, "Saved Point File");
    EXPECT_TRUE(rigidText.endsWith("\n\n0     1.00       2.00       3.00      \n"))
        << rigidText.toStdString();

    // A file that cannot be written is said to be so, and nothing is reported as saved.
    testing::internal::CaptureStderr();
    const auto [errorTitle, errorText] = BoxOf([&] { bar.SaveTrackerFile(points + "/inside.pt", 0); });
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(errorTitle, "File Error");
    EXPECT_EQ(errorText, "Could not open\ninside.pt\ncheck file and directory permissions");
}

TEST(TrackerBar, GridCellsShowStatesAndTurnClicksAndDragsIntoMarkerIds) {
    static uint64_t fakeNow = 1;
    vektk::ViewSession session(0.001f);
    TrackerBar bar(nullptr, &session, 15.0f, [] { return fakeNow; });
    bar.resize(TrackerBar::kExtentWidth, 500);
    bar.show();
    bar.tabs()->setCurrentIndex(1);
    session.trackers.emplace_back(vektk::kPointTracker, 5, 3);
    bar.CreatePointTracker({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 2, false);
    bar.CreatePointTracker({20}, 0, false);
    std::vector<int> order;
    for (TrackerView* v : bar.views()->views()) order.push_back(v->trackerId());
    EXPECT_EQ(order, (std::vector<int>{0, 2}));
    TrackerView* view = bar.views()->views()[1];

    // Marker 0 seen, 1 seen and selected, 2 selected, 3 seen then lost, 4 never seen.
    session.connected = true;  // only read: lost markers show while connected
    for (int i = 0; i < 10; ++i)
        session.markers.push_back({MarkerId(2, i), 1, 0, 0, 0, i < 2 || i == 3 ? 1.0f : -1.0f, 0});
    fakeNow += 1000;  // the bar's clock starts at 0, which means "never seen"
    session.selectedMarkers.Select(MarkerId(2, 1));
    session.selectedMarkers.Select(MarkerId(2, 2));
    bar.views()->Update(session);
    view->resize(230, view->height());
    view->grid()->layoutCells();
    // Ten cells in a box 230 wide: as many columns of cells as wide as
    // "0000" in the grid's font as fit 200 pixels; rows of 15, 205 wide.
    const int cell = view->grid()->fontMetrics().horizontalAdvance("0000");
    const int columns = 200 / cell;
    ASSERT_GE(columns, 2);
    EXPECT_EQ(view->grid()->gridLayout().columns, columns);
    EXPECT_EQ(view->grid()->size(), QSize(205, (10 + columns - 1) / columns * 15 + 10));
    EXPECT_EQ(view->grid()->cellRect(columns + 1), QRect(2 + cell, 2 + 15, cell, 15));
    session.markers[3].cond = -1;
    fakeNow += 5000000;
    bar.views()->Update(session);
    auto colourOf = [&](int cell) {
        const QRect r = view->grid()->cellRect(cell);
        return QColor(view->grid()->grab().toImage().pixel(r.left() + 2, r.top() + 3));
    };
    EXPECT_EQ(colourOf(3), QColor("#777"));  // 5 s exactly: not yet
    fakeNow += 1;
    bar.views()->Update(session);
    EXPECT_EQ(colourOf(0), QColor("#0f0"));
    EXPECT_EQ(colourOf(1), QColor("#aaf"));
    EXPECT_EQ(colourOf(2), QColor("#aaa"));
    EXPECT_EQ(colourOf(3), QColor("#f00"));
    EXPECT_EQ(colourOf(4), QColor("#777"));
    const QRect frame = view->grid()->cellRect(1).adjusted(1, 1, -1, -1);
    EXPECT_TRUE(IsBlack(view->grid()->grab().toImage().pixel(frame.topLeft())));
    session.connected = false;

    // A click on cell 3 of tracker 2 selects marker 8195; clicking it again
    // deselects it; a click left of the cells selects nothing; a drag adds
    // every cell passed.
    session.selectedMarkers.Clear();
    QSignalSpy clicked(view, &TrackerView::sg_MarkerSelected);
    QTest::mouseClick(view->grid(), Qt::LeftButton, {}, view->grid()->cellRect(3).center());
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked[0][0].toInt(), 8195);
    EXPECT_TRUE(session.selectedMarkers.Contains(8195));
    QTest::mouseClick(view->grid(), Qt::LeftButton, {}, view->grid()->cellRect(3).center());
    EXPECT_FALSE(session.selectedMarkers.Contains(8195));
    QTest::mouseClick(view->grid(), Qt::LeftButton, {}, QPoint(1, 5));
    EXPECT_EQ(clicked.count(), 2);
    QTest::mousePress(view->grid(), Qt::LeftButton, {}, view->grid()->cellRect(7).center());
    for (int cell : {8, 9}) {
        QMouseEvent move(QEvent::MouseMove, view->grid()->cellRect(cell).center(),
                         view->grid()->mapToGlobal(view->grid()->cellRect(cell).center()), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->grid(), &move);
    }
    QTest::mouseRelease(view->grid(), Qt::LeftButton, {}, view->grid()->cellRect(9).center());
    std::set<int> selected;
    for (const auto& entry : session.selectedMarkers.items) selected.insert(entry.first);
    EXPECT_EQ(selected, (std::set<int>{MarkerId(2, 7), MarkerId(2, 8), MarkerId(2, 9)}));
}

ViewerOptions Options(const std::string& server, std::vector<std::string> trackerFiles = {}) {
    ViewerOptions options = WindowOptions(server, false);
    options.trackerFiles = std::move(trackerFiles);
    return options;
}

int MarkersOf(const vektk::VEK& session, int trackerId) {
    return static_cast<int>(
        std::count_if(session.markers.begin(), session.markers.end(),
                      [&](const MarkerRecord& m) { return vek_marker_tracker(m.id) == trackerId; }));
}

TEST(TrackerBar, AgainstVekdTrimsToTheLedsSeenSwitchesTrackersAndTracksACapturedBody) {
    ScopedHome home;
    testsupport::ServerProcess server({"--freq", "240"});
    ASSERT_TRUE(server.running());
    VistraMainWindow window(nullptr, "Vistra Utility", Options(server.address()));
    TrackerBar& bar = *window.trackerBar();
    vektk::ViewSession& session = window.session();
    session.flags = VEK_SLAVE;  // as a last connection in slave mode leaves it
    window.sl_Connect();
    ASSERT_TRUE(session.connected);
    // Connecting as master made the max-markers tracker.
    EXPECT_EQ(RowTexts(bar), QStringList({"[PT:0] 64 markers"}));
    ASSERT_TRUE(WaitFor(
        [&] { return bar.seenLabel()->text().endsWith(" / 64") && bar.seenMarkers().Count() > 20; }, 3000))
        << bar.seenLabel()->text().toStdString();

    // Trim keeps exactly the LEDs seen in the window.
    SelectOnly(bar, 0);
    std::vector<int> seen;
    for (std::size_t p = 0; p < session.markers.size(); ++p)
        if (bar.seenMarkers().bits[p]) seen.push_back(vek_marker_index(session.markers[p].id));
    bar.trimButton()->click();
    ASSERT_EQ(session.trackers.size(), 1u);
    EXPECT_EQ(Leds(session.trackers[0]), seen);
    EXPECT_EQ(RowTexts(bar), QStringList({QStringLiteral("[PT:0] %1 markers").arg(seen.size())}));
    for (int led : seen) EXPECT_TRUE(led <= 5 || (led >= 8 && led <= 13) || (led >= 16 && led <= 31)) << led;
    EXPECT_FALSE(bar.trimButton()->isEnabled());

    // A tracker none of whose LEDs is in the scene is trimmed away.
    bar.CreatePointTracker({40, 41}, -1, false);
    ASSERT_TRUE(WaitFor([&] { return MarkersOf(session, 1) == 2; }, 3000));
    SelectOnly(bar, 1);
    bar.sl_OptimizeTracker();
    EXPECT_EQ(session.trackers.size(), 1u);
    EXPECT_EQ(bar.rows().size(), 1u);

    // The row's check box switches the tracker off on the server and on again.
    ASSERT_TRUE(WaitFor([&] { return MarkersOf(session, 0) > 0; }, 3000));
    bar.rows()[0]->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(session.trackers[0].enabled);
    EXPECT_TRUE(WaitFor([&] { return session.lastFrame > 0 && session.markers.empty(); }, 3000));
    bar.rows()[0]->setCheckState(0, Qt::Checked);
    EXPECT_TRUE(WaitFor([&] { return MarkersOf(session, 0) == static_cast<int>(seen.size()); }, 3000));

    // A body snapwell captures (the window steps aside: one master at a
    // time), chosen with "File", tracks as a rigid body.
    window.sl_Connect();
    if (std::string(SNAPWELL_PROGRAM).empty()) GTEST_SKIP() << "snapwell is not part of this build";
    const std::string capture = "cd " + home.path() + " && " + SNAPWELL_PROGRAM + " -s " + server.address() +
                                " -m 6 -o wand.rb 6 > out 2>&1";
    ASSERT_EQ(std::system(capture.c_str()), 0) << FileText(home.file("out"));
    window.sl_Connect();
    ASSERT_TRUE(session.connected);
    AnswerNextDialog<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->objectName(), "Load Tracker");
        dialog->selectFile(QString::fromStdString(home.file("wand.rb")));
        static_cast<QDialog*>(dialog)->accept();  // as the dialog's Open button does
    });
    testing::internal::CaptureStdout();
    bar.createButton()->menu()->actions()[2]->trigger();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(RowTexts(bar).last(), "[RB:1] wand.rb");
    EXPECT_TRUE(WaitFor(
        [&] {
            return std::any_of(session.rigids.begin(), session.rigids.end(),
                               [](const RigidRecord& r) { return r.id == 1 && r.cond > 0; });
        },
        3000));
    window.sl_Connect();
}

TEST(TrackerBar, WindowLoadsCommandLineFilesAndKeepsDocksAndMaxMarkersInVistrast) {
    ScopedHome home;
    std::ofstream(home.file("a.pt")) << "3\n4\n";
    std::ofstream(home.file("b.rb")) << "0, 0 0 0\n1, 10 0 0\n";
    {
        VistraMainWindow window(nullptr, "Vistra Utility",
                                Options("", {home.file("a.pt"), home.file("b.rb")}));
        EXPECT_EQ(window.dockWidgetArea(window.trackerBar()), Qt::RightDockWidgetArea);
        EXPECT_EQ(RowTexts(*window.trackerBar()), QStringList({"[PT:0] a.pt", "[RB:1] b.rb"}));
        // Full screen hides the tracker bar and shows it again.
        window.sl_FullScreen();
        EXPECT_TRUE(window.trackerBar()->isHidden());
        window.sl_FullScreen();
        EXPECT_FALSE(window.trackerBar()->isHidden());
        window.configToolbar()->close();
        window.trackerBar()->maxMarkersBox()->setValue(100);
        window.sl_FullScreen();  // left in full screen: the docks count as they were
    }
    EXPECT_EQ(FileText(home.file(".vistrast")), "configVisible: 0\ntrackersVisible: 1\nmarker_max: 100\n");
    VistraMainWindow window(nullptr, "Vistra Utility", Options(""));
    EXPECT_TRUE(window.configToolbar()->isHidden());
    EXPECT_FALSE(window.trackerBar()->isHidden());
    EXPECT_EQ(window.trackerBar()->maxMarkersBox()->value(), 100);
}

}  // namespace
