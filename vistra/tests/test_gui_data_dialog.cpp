// The data dialog in real windows: columns, formats, hidden rows, moved
// columns, index warnings and the plot; then live against a real vekd from
// the main window's "Show Data" button.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <cmath>
#include <sstream>

#include "data/data_dialog.h"
#include "data/my_table.h"
#include "data/peak_plot.h"
#include "gui_test_app.h"
#include "server_process.h"
#include "window/vistra_main_window.h"

namespace {

QString Text(const MyTable* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

// Three markers of tracker 1 on LEDs 7, 8 and 9, two cameras. Row 0 is
// seen by camera 0: detector 0 steadily at 0.5, detector 1 swinging between
// 0.25 and 0.75 with width 0; row 1 only by camera 1; row 2 by nobody.
class DataDialogTest : public ::testing::Test {
protected:
    DataDialogTest() {
        session.trackers.emplace_back(vektk::kPointTracker, 1, std::vector<int>{7, 8, 9});
        for (int i = 0; i < 3; ++i)
            session.markers.push_back(MarkerRecord{vektk::MarkerId(1, i), 0, 0, 0, 0, 0, 0});
        session.cameras.resize(2);
        collect(1, 32, 0.5f);
        dialog.show();
    }
    void collect(int first, int last, float pos) {
        for (int f = first; f <= last; ++f) {
            session.images = {ImageRecord{vektk::MarkerId(1, 0), f, 0, 0, 4, 0, pos, 100},
                              ImageRecord{vektk::MarkerId(1, 0), f, 0, 1, 0, 0, f % 2 ? 0.25f : 0.75f, 60},
                              ImageRecord{vektk::MarkerId(1, 1), f, 1, 0, 2, 0, 0.125f, 30}};
            session.CollectPeaks(0);
        }
    }

    std::ostringstream log;
    DetectorSession session{log};
    DataDialog dialog{nullptr, &session};
    MyTable* table = dialog.table();
};

TEST_F(DataDialogTest, QuantitiesFormatsEmptyCellsHiddenRowsAndGrowth) {
    EXPECT_EQ(dialog.windowTitle(), "Camera 1");
    EXPECT_EQ(table->rowCount(), 128);
    EXPECT_EQ(table->verticalHeaderItem(5)->text(), "5");
    EXPECT_EQ(table->rowHeight(0), 12);
    EXPECT_EQ(table->horizontalHeaderItem(10)->text(), "wid var 0");
    EXPECT_EQ(dialog.delaySlider()->value(), 32);
    EXPECT_EQ(dialog.delaySlider()->maximum(), 240);
    EXPECT_EQ(dialog.delayLabel()->text(), "32");
    QStringList items;
    for (int c = 0; c < kDataColumns; ++c) EXPECT_TRUE(table->isColumnHidden(c)) << c;
    for (int k = 0; k < kQuantities; ++k) {
        items << dialog.quantityItem(k)->text();
        EXPECT_FALSE(dialog.quantityItem(k)->isChecked());
    }
    EXPECT_EQ(items, QStringList({"Position", "Position Variance", "Amplitude", "Amplitude Variance", "Width",
                                  "Width Variance", "Power", "Power Variance"}));
    EXPECT_EQ(dialog.chooseButton()->menu()->actions().size(), kQuantities);

    // Toggles after "show all"; the two column slots do nothing.
    dialog.sl_ShowAll();
    dialog.sl_Pos();
    EXPECT_TRUE(table->isColumnHidden(0) && table->isColumnHidden(1));
    EXPECT_FALSE(dialog.quantityItem(0)->isChecked());
    EXPECT_FALSE(table->isColumnHidden(2));
    EXPECT_TRUE(dialog.quantityItem(1)->isChecked());
    dialog.sl_ShowColumn();
    dialog.sl_HideColumn();
    EXPECT_TRUE(table->isColumnHidden(0));
    dialog.quantityItem(0)->trigger();  // the menu item runs sl_Pos()
    EXPECT_FALSE(table->isColumnHidden(0));
    EXPECT_TRUE(dialog.quantityItem(0)->isChecked());

    dialog.Fill(0);
    EXPECT_EQ(Text(table, 0, 0), " 1840.00");
    EXPECT_EQ(Text(table, 0, 1), " 1840.00");  // mean of 0.25 and 0.75
    EXPECT_EQ(Text(table, 0, 2), "");          // a steady position: zero deviation
    EXPECT_NEAR(Text(table, 0, 3).toDouble(), 3680 * 0.25 * std::sqrt(32.0 / 31), 1e-3);
    EXPECT_EQ(Text(table, 0, 4), "100");
    EXPECT_EQ(Text(table, 0, 8), "4");
    EXPECT_EQ(Text(table, 0, 12), "25");
    EXPECT_EQ(Text(table, 0, 13), "");  // width 0: no power
    for (int c = 0; c < kDataColumns; ++c) {
        EXPECT_EQ(Text(table, 1, c), "") << "row 1 is not seen by camera 0";
        EXPECT_EQ(Text(table, 2, c), "") << "row 2 is seen by nobody";
    }
    dialog.Fill(1);
    EXPECT_EQ(Text(table, 1, 0), " 460.00");
    EXPECT_EQ(Text(table, 0, 0), "");

    // A row hidden with Delete keeps its values until it is shown again.
    dialog.Fill(0);
    table->selectRow(0);
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    // As the keyboard sends it (QTest::keyClick's text "\x7f" matches no shortcut).
    QTest::sendKeyEvent(QTest::Press, table, Qt::Key_Delete, QString(), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, table, Qt::Key_Delete, QString(), Qt::NoModifier);
    EXPECT_TRUE(WaitFor([&] { return table->isRowHidden(0); }, 1000));
    collect(33, 72, 0.25f);
    dialog.Fill(0);
    EXPECT_EQ(Text(table, 0, 0), " 1840.00");
    dialog.sl_UnHide();
    EXPECT_FALSE(table->isRowHidden(0));
    dialog.Fill(0);
    EXPECT_EQ(Text(table, 0, 0), " 920.00");

    // More markers than rows: one row per marker, numbered from 0. Rows
    // whose marker left the list show nothing.
    session.markers.resize(130, MarkerRecord{});
    dialog.Fill(0);
    EXPECT_EQ(table->rowCount(), 130);
    EXPECT_EQ(table->verticalHeaderItem(129)->text(), "129");
    session.ClearTables();
    dialog.Fill(0);
    EXPECT_EQ(Text(table, 0, 0), "");
}

TEST_F(DataDialogTest, MovedColumnsKeepMapHiddenStatesAndContents) {
    dialog.sl_ShowAll();
    dialog.sl_Amp();  // "amp 0" and "amp 2" hidden
    dialog.Fill(0);
    // The user drags "width 0" to the second place: it moves there with its
    // contents, the columns between move one place on.
    table->horizontalHeader()->moveSection(8, 1);
    EXPECT_EQ(table->horizontalHeader()->visualIndex(8), 8);  // the header keeps its own order
    EXPECT_EQ(table->displayed(8), 1);
    for (int k = 1; k < 8; ++k) EXPECT_EQ(table->displayed(k), k + 1) << k;
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), "width 0");
    EXPECT_EQ(Text(table, 0, 1), "4");
    EXPECT_TRUE(table->isColumnHidden(5) && table->isColumnHidden(6));  // amp 0 and amp 2
    EXPECT_FALSE(table->isColumnHidden(4));

    // Toggles and fills follow the columns to their new places.
    dialog.sl_Amp();
    EXPECT_FALSE(table->isColumnHidden(5) || table->isColumnHidden(6));
    for (int c = 0; c < kDataColumns; ++c) EXPECT_EQ(table->columnWidth(c), 60) << c;
    dialog.Fill(0);
    EXPECT_EQ(Text(table, 0, 5), "100");
    dialog.sl_Wid();
    EXPECT_TRUE(table->isColumnHidden(1));

    table->swapColumns(0, 15);
    EXPECT_EQ(table->displayed(0), 15);
    EXPECT_EQ(table->displayed(15), 0);
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), "pow var 2");
    EXPECT_EQ(Text(table, 0, 15), " 1840.00");
}

TEST_F(DataDialogTest, IndexWarningsOncePerCameraSelection) {
    dialog.sl_ShowAll();
    const std::string line0 = "warning: MyTable::DrawTool: tool[0].size(2) <= 2\n";
    testing::internal::CaptureStdout();
    dialog.Fill(2);
    dialog.Fill(2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              line0 + "warning: MyTable::DrawTool: tool[1].size(2) <= 2\n" +
                  "warning: MyTable::DrawTool: tool[2].size(2) <= 2\n");
    testing::internal::CaptureStdout();
    dialog.showCamera(2);
    table->DrawTool(&PeakCell::posStats, "%f", StatValue::Mean, 1, 0, 0, 2);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(dialog.windowTitle(), "Camera 3");
    EXPECT_EQ(out.rfind(line0, 0), 0u) << out;
    EXPECT_NE(out.find("warning: MyTable::DrawTool: tool[1][0].size(2) <= 2\n"), std::string::npos) << out;
}

TEST_F(DataDialogTest, PlotDrawsSelectedShownRowsInTheirColours) {
    dialog.resize(500, 600);
    dialog.sl_Pos();
    PeakPlot* plot = dialog.plot();
    const QColor background = plot->grab().toImage().pixelColor(2, 2);
    auto drawn = [&](QColor colour) {
        const QImage image = plot->grab().toImage();
        return CountPixels(image, image.rect(), [&](QRgb c) { return c == colour.rgb(); });
    };
    auto refreshFor = [&](int ms) {
        WaitFor(
            [&] {
                dialog.Fill(0);
                return false;
            },
            ms);
    };
    refreshFor(100);
    EXPECT_EQ(drawn(background), plot->width() * plot->height()) << "nothing selected, nothing drawn";

    table->selectRow(0);
    refreshFor(400);
    EXPECT_EQ(plot->legend(), QStringList({"LED 7"}));
    // Two lanes, each with a line across the last 0.4 s of the 10 s width.
    EXPECT_GT(drawn(PeakPlot::rowColour(0)), 2 * (plot->width() / 25 - 2));

    // Rows hidden, or without statistics, draw nothing; the others go on.
    table->selectionModel()->select(table->model()->index(2, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    dialog.sl_Hide();
    refreshFor(50);
    EXPECT_TRUE(plot->legend().isEmpty());
    EXPECT_EQ(drawn(PeakPlot::rowColour(0)), 0);
    dialog.sl_UnHide();
    table->selectRow(0);
    refreshFor(50);
    EXPECT_GT(drawn(PeakPlot::rowColour(0)), 0);
    dialog.showCamera(1);  // another camera's statistics start a new plot
    EXPECT_EQ(plot->history().samples(0)->size(), 1u);
}

TEST(DataDialogLive, ShowDataFillsTheSelectedCameraAndPlotsARow) {
    testsupport::ServerProcess server({"--freq", "480"});
    ASSERT_TRUE(server.running());
    setenv("VEK_SCAN_PORT", std::to_string(server.discoveryPort()).c_str(), 1);
    VistraMainWindow window(nullptr, "Vistra Utility", WindowOptions(server.address(), true));
    window.session().trackers.emplace_back(vektk::kPointTracker, 1, 14);
    DataDialog* dialog = window.dataDialog();
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_TRUE(WaitFor([&] { return window.session().lastFrame > 0; }, 3000));

    window.button(kShowDataButton)->click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(window.button(kShowDataButton)->isChecked());
    EXPECT_EQ(window.button(kShowDataButton)->font().weight(), QFont::Bold);
    dialog->sl_ShowAll();
    MyTable* table = dialog->table();
    // Plausible values: a position inside the detector, a peak a few pixels wide.
    auto filledRow = [&] {
        for (int r = 0; r < table->rowCount(); ++r) {
            const double pos = Text(table, r, 0).toDouble(), width = Text(table, r, 8).toDouble();
            if (pos > 0 && pos < 3680 && width >= 1 && width < 100 && Text(table, r, 4).toDouble() > 0)
                return r;
        }
        return -1;
    };
    ASSERT_TRUE(WaitFor([&] { return filledRow() >= 0; }, 1000));
    const int row = filledRow();
    table->selectRow(row);
    const QColor colour = PeakPlot::rowColour(row);
    EXPECT_TRUE(WaitFor(
        [&] {
            const QImage image = dialog->plot()->grab().toImage();
            return CountPixels(image, image.rect(), [&](QRgb c) { return c == colour.rgb(); }) > 20;
        },
        2000));
    const int led = vek_marker_index(window.session().tables.idOf(row));  // tracker 1 has LEDs 0-13
    EXPECT_EQ(dialog->plot()->legend(), QStringList({QStringLiteral("LED %1").arg(led)}));

    // Camera changes name the camera in the caption, through the box and Tab.
    window.cameraBox()->setCurrentIndex(3);
    window.sl_Camera(3);
    EXPECT_EQ(dialog->windowTitle(), "Camera 4");
    window.view()->setFocus();
    QTest::keyClick(window.view(), Qt::Key_Tab);
    EXPECT_TRUE(WaitFor([&] { return dialog->windowTitle() == "Camera 5"; }, 1000));

    // A disconnect leaves nothing of the connection in the table (which
    // first fills again with the new camera's peaks).
    ASSERT_TRUE(WaitFor([&] { return filledRow() >= 0; }, 2000));
    window.sl_Connect();
    ASSERT_FALSE(window.session().connected);
    QStringList left;
    for (int r = 0; r < table->rowCount(); ++r)
        for (int c = 0; c < table->columnCount(); ++c)
            if (!Text(table, r, c).isEmpty())
                left << QStringLiteral("(%1, %2) %3").arg(r).arg(c).arg(Text(table, r, c));
    EXPECT_EQ(left.join("; ").toStdString(), "");

    dialog->delaySlider()->setValue(100);
    EXPECT_EQ(dialog->delayLabel()->text(), "100");

    // Closing the window, and Escape, only hide it; the button follows.
    dialog->close();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(window.button(kShowDataButton)->isChecked());
    window.sl_ShowDataDialog();
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(window.button(kShowDataButton)->isChecked());
    unsetenv("VEK_SCAN_PORT");
}

}  // namespace
