// The "Settings" dock in real widgets: what it shows, the settings it
// applies, ".tavrix" saved and loaded, and servers found by a discovery
// scan of real vekds, one of which the window then connects to.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "gui_test_app.h"
#include "server_process.h"
#include "settings/config_toolbar.h"
#include "window/vistra_main_window.h"

namespace {

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Picks `text` from the box's open list with the mouse, as a user does.
void ChooseFromList(QComboBox* box, const QString& text) {
    if (!box->view()->isVisible()) box->showPopup();
    ASSERT_TRUE(WaitFor([&] { return box->view()->isVisible(); }, 2000));
    const int row = box->findText(text);
    ASSERT_GE(row, 0) << text.toStdString();
    const QRect item = box->view()->visualRect(box->model()->index(row, 0));
    QTest::mouseClick(box->view()->viewport(), Qt::LeftButton, {}, item.center());
}

TEST(SettingsDock, ShowsItsControlsAndAppliesThemToTheSettings) {
    ScopedHome home;  // no .tavrix: the widgets' defaults
    ConfigToolbar dock(QStringLiteral("Settings"), nullptr);
    EXPECT_EQ(dock.windowTitle(), "Settings");
    EXPECT_EQ(dock.slaveBox()->text(), "Slave Mode ");
    EXPECT_EQ(dock.findChild<QLabel*>("addr_lbl")->text(), "Server Address");
    EXPECT_TRUE(dock.serverBox()->isEditable());
    EXPECT_EQ(ComboItems(dock.serverBox()), QStringList({"localhost", "<find servers>"}));
    EXPECT_EQ(ComboItems(dock.modeBox()), QStringList({"Default", "1", "2", "3", "4"}));
    EXPECT_EQ(ComboItems(dock.frequencyBox()), QStringList({"480", "240", "120", "60", "30"}));
    EXPECT_EQ(ComboItems(dock.postprocessBox()), QStringList({"Off", "On"}));
    EXPECT_EQ(dock.interpolateBox()->minimum(), 0);
    EXPECT_EQ(dock.interpolateBox()->maximum(), 999);
    EXPECT_EQ(dock.saveButton()->text(), "Save Settings");
    EXPECT_TRUE(dock.features().testFlag(QDockWidget::DockWidgetClosable));

    // Not attached yet: everything but the server text.
    dock.modeBox()->setCurrentIndex(3);
    dock.frequencyBox()->setCurrentIndex(2);
    dock.postprocessBox()->setCurrentIndex(1);
    dock.interpolateBox()->setValue(7);
    EXPECT_EQ(dock.Apply(), 0);
    EXPECT_EQ(dock.settings().server, "");
    EXPECT_EQ(dock.settings().flags, 0x310);
    EXPECT_FLOAT_EQ(dock.settings().freq, 120);
    EXPECT_EQ(dock.settings().interpolate, 7);
    // ... and slave mode does nothing: the box is checked, the flags stay.
    dock.show();
    QTest::mouseClick(dock.slaveBox(), Qt::LeftButton);
    EXPECT_EQ(dock.settings().flags, 0x310);

    vektk::VEK session(0.001f);
    dock.attach(&session);
    // A typed server goes to the top of the list.
    dock.serverBox()->lineEdit()->selectAll();
    QTest::keyClicks(dock.serverBox()->lineEdit(), "127.0.0.1:9000");
    QTest::keyClick(dock.serverBox()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(dock.serverBox()->itemText(0), "127.0.0.1:9000");
    EXPECT_EQ(dock.Apply(), 1);
    EXPECT_EQ(dock.settings().server, "127.0.0.1:9000");

    // Unchecking clears bit 0 that was never set: the mode bits stay whole.
    QTest::mouseClick(dock.slaveBox(), Qt::LeftButton);
    EXPECT_EQ(dock.settings().flags, 0x310);
    // Checking sets it and greys the options; a slave keeps the server's
    // running settings, so applying leaves them as they were.
    QTest::mouseClick(dock.slaveBox(), Qt::LeftButton);
    EXPECT_EQ(dock.settings().flags, 0x311);
    for (QWidget* w :
         std::initializer_list<QWidget*>{dock.modeBox(), dock.frequencyBox(), dock.postprocessBox(),
                                         dock.interpolateBox(), dock.saveButton()})
        EXPECT_FALSE(w->isEnabled());
    EXPECT_TRUE(dock.serverBox()->isEnabled());
    dock.frequencyBox()->setCurrentIndex(0);
    dock.Apply();
    EXPECT_EQ(dock.settings().flags, 0x311);
    EXPECT_FLOAT_EQ(dock.settings().freq, 120);
    QTest::mouseClick(dock.slaveBox(), Qt::LeftButton);
    EXPECT_EQ(dock.settings().flags, 0x310);  // as before checking
    EXPECT_TRUE(dock.saveButton()->isEnabled());

    // The special-flags switch, without the slave box.
    ConfigToolbar special(QStringLiteral("Settings"), nullptr, false, true);
    special.attach(&session);
    special.modeBox()->setCurrentIndex(2);
    special.Apply();
    EXPECT_EQ(special.settings().flags, 0xa00);
    EXPECT_TRUE(special.slaveBox()->isHidden());
}

TEST(SettingsDock, SavesAndLoadsTavrix) {
    ScopedHome home;
    std::ofstream(home.file(".tavrix")) << "server: 10.1.1.5 lab one\n"
                                           "server:  localhost\n"
                                           "server:  my lab box\n"
                                           "mode: Default\n"
                                           "frequency: 240\n"
                                           "postprocess: 1\n"
                                           "interpolate: 5\n";
    testing::internal::CaptureStdout();
    auto first = std::make_unique<ConfigToolbar>(QStringLiteral("Settings"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "loading alias: lab one(10.1.1.5)\nloading alias: my lab box()\n");
    vektk::VEK session(0.001f);
    first->attach(&session);
    EXPECT_EQ(ComboItems(first->serverBox()),
              QStringList({"lab one", "localhost", "my lab box", "<find servers>"}));
    EXPECT_EQ(first->serverBox()->currentText(), "lab one");
    EXPECT_EQ(first->modeBox()->currentText(), "Default");
    EXPECT_EQ(first->frequencyBox()->currentText(), "240");
    EXPECT_EQ(first->postprocessBox()->currentText(), "On");
    EXPECT_EQ(first->interpolateBox()->value(), 5);
    // The constructor applied the file: flags, frequency, interpolation.
    EXPECT_EQ(first->settings().flags, 0x10);
    EXPECT_FLOAT_EQ(first->settings().freq, 240);
    first->Apply();
    EXPECT_EQ(first->settings().server, "10.1.1.5");  // the alias stands for its address
    // A plain entry holding blanks reads back as an alias without an
    // address: it still names itself.
    first->serverBox()->setCurrentIndex(2);
    first->Apply();
    EXPECT_EQ(first->settings().server, "my lab box");

    first->serverBox()->setCurrentIndex(1);
    first->modeBox()->setCurrentIndex(4);
    first->frequencyBox()->setCurrentIndex(3);
    first->postprocessBox()->setCurrentIndex(0);
    first->interpolateBox()->setValue(999);
    testing::internal::CaptureStdout();
    first->saveButton()->click();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "saving current config: " + home.file(".tavrix") + "\n");
    EXPECT_EQ(FileText(home.file(".tavrix")),
              "server:  localhost\n"
              "server: 10.1.1.5 lab one\n"
              "server:  my lab box\n"
              "mode: 4\n"
              "frequency: 60\n"
              "postprocess: 0\n"
              "interpolate: 999\n");

    // The next dock comes up as the first was saved.
    testing::internal::CaptureStdout();
    ConfigToolbar second(QStringLiteral("Settings"), nullptr);
    testing::internal::GetCapturedStdout();
    second.attach(&session);
    second.Apply();
    EXPECT_EQ(ComboItems(second.serverBox()),
              QStringList({"localhost", "lab one", "my lab box", "<find servers>"}));
    EXPECT_EQ(second.settings().server, "localhost");
    EXPECT_EQ(second.settings().flags, 0x400);
    EXPECT_FLOAT_EQ(second.settings().freq, 60);
    EXPECT_EQ(second.settings().interpolate, 999);

    // Saved while "<find servers>" is chosen: no server line at all.
    second.serverBox()->setCurrentIndex(second.serverBox()->count() - 1);
    testing::internal::CaptureStdout();
    second.sl_Save();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(FileText(home.file(".tavrix")), "mode: 4\nfrequency: 60\npostprocess: 0\ninterpolate: 999\n");

    // A save that fails says so, with the reason.
    ScopedHome other;
    mkdir(other.file(".tavrix").c_str(), 0700);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    second.sl_Save();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "error: write(" + other.file(".tavrix") + "): Is a directory\n");
}

TEST(SettingsDock, FindServersListsTwoRealServersAndConnectsThroughOne) {
    testsupport::ServerProcess alpha({"--name", "alpha"});
    testsupport::ServerProcess beta({"--bind", "127.0.0.2", "--name", "beta lab"});
    ASSERT_TRUE(alpha.running() && beta.running());
    const std::string targets = "127.0.0.1:" + std::to_string(alpha.discoveryPort()) +
                                ",127.0.0.2:" + std::to_string(beta.discoveryPort());
    setenv("VEK_SCAN_TARGETS", targets.c_str(), 1);

    std::ostringstream sink;
    VistraMainWindow window(nullptr, "Vistra Utility", ViewerOptions("Vistra Utility", sink));
    ConfigToolbar* dock = window.configToolbar();
    QComboBox* box = dock->serverBox();
    QSignalSpy scanned(dock, &ConfigToolbar::sg_Scanned);
    ChooseFromList(box, "<find servers>");
    ASSERT_EQ(scanned.count(), 1);
    // Answers come in any order; the list stays open for the choice.
    QStringList found = ComboItems(box);
    ASSERT_EQ(found.size(), 3);
    EXPECT_EQ(found.takeLast(), "<find servers>");
    found.sort();
    EXPECT_EQ(found, QStringList({"alpha", "beta lab"}));
    EXPECT_TRUE(box->view()->isVisible());

    ChooseFromList(box, "beta lab");
    EXPECT_EQ(box->currentText(), "beta lab");
    EXPECT_EQ(scanned.count(), 1);
    window.sl_Connect();
    ASSERT_TRUE(window.session().connected);
    EXPECT_EQ(window.settings().server, beta.address());
    EXPECT_TRUE(beta.waitForOutput("client 1 connected: flags 0x0 master"));
    EXPECT_EQ(alpha.output().find("connected"), std::string::npos);
    EXPECT_TRUE(WaitFor([&] { return window.session().lastFrame > 10; }, 3000));
    window.sl_Connect();
    EXPECT_FALSE(window.session().connected);

    // A scan that cannot ask anybody says so and offers localhost.
    setenv("VEK_SCAN_TARGETS", "127.0.0.1:nonsense", 1);
    testing::internal::CaptureStderr();
    ChooseFromList(box, "<find servers>");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "error: connection check failed: ret=-10065\n");
    EXPECT_EQ(ComboItems(box), QStringList({"localhost", "<find servers>"}));
    EXPECT_EQ(scanned.count(), 2);
    box->hidePopup();
    unsetenv("VEK_SCAN_TARGETS");
}

}  // namespace
