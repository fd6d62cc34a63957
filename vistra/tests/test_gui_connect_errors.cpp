// vistra's main window when a connection cannot be made: no server found,
// a server refusing the connection, a server asking for a lab key.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

#include <cstdlib>
#include <string>

#include "gui_test_app.h"
#include "lab_key.h"
#include "server_process.h"
#include "veksock.h"
#include "window/vistra_main_window.h"

namespace {

TEST(VistraMainWindow, AutoConnectFailureSaysWhatWasAskedWhere) {
    // A server that is up but whose discovery answers on another UDP port
    // than the one asked is not found either; so are no server and none named.
    testsupport::ServerProcess server;
    ASSERT_TRUE(server.running());
    const std::string udp = std::to_string(testsupport::unusedPort());
    setenv("VEK_SCAN_PORT", udp.c_str(), 1);
    const std::string nobody = "127.0.0.1:" + std::to_string(testsupport::unusedPort());
    struct Case {
        std::string given, shown, host;
    };
    for (const Case& c :
         {Case{nobody, nobody, "127.0.0.1"}, Case{server.address(), server.address(), "127.0.0.1"},
          Case{"", "localhost", "localhost"}}) {
        VistraMainWindow window(nullptr, "Vistra Utility", WindowOptions(c.given, true));
        ASSERT_TRUE(WaitFor(
            [&] { return window.statusBar()->currentMessage().startsWith("auto connect failed"); }, 3000));
        EXPECT_EQ(window.statusBar()->currentMessage().toStdString(),
                  "auto connect failed: " + c.shown + " not found (no discovery answer from " + c.host +
                      " on UDP port " + udp + "; VEK_SCAN_PORT sets the UDP port to ask)");
        EXPECT_FALSE(window.session().connected);
    }
    unsetenv("VEK_SCAN_PORT");
}

TEST(VistraMainWindow, ConnectionRefusedAndAMissingLabKeyShowInitErrorBoxes) {
    const std::string address = "127.0.0.1:" + std::to_string(testsupport::unusedPort());
    VistraMainWindow window(nullptr, "Vistra Utility", WindowOptions(address, false));
    QString title, text;
    AnswerNextDialog([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        box->accept();
    });
    window.sl_Connect();
    EXPECT_EQ(title, "Vek Init Error");
    EXPECT_EQ(text.toStdString(), "Initialzation failed connecting to " + address +
                                      ". (Connection Refused) \nPlease check that vekd is running on " +
                                      address + ".");
    EXPECT_FALSE(window.session().connected);
    EXPECT_FALSE(window.button(kConnectButton)->isChecked());
    EXPECT_EQ(window.statusBar()->currentMessage(), "disconnected");

    // A server with a lab key this process lacks: said so, no slave offered.
    ScopedHome home;
    const std::string key = home.file("lab.key");
    std::string why;
    ASSERT_TRUE(vekwire::LabKey::generate().write(key, why)) << why;
    testsupport::ServerProcess keyed({"--bind", "127.0.0.2", "--key-file", key});
    VistraMainWindow refused(nullptr, "Vistra Utility", WindowOptions(keyed.address(), false));
    int buttons = 0;
    AnswerNextDialog([&](QMessageBox* box) {
        text = box->text();
        buttons = static_cast<int>(box->buttons().size());
        box->accept();
    });
    refused.sl_Connect();
    EXPECT_EQ(text.toStdString(),
              "Could not Connect to " + keyed.address() +
                  ".\n\nnot authorised: wrong or missing key.\n\nvistra proves the lab key of "
                  "-key FILE, else of the file VEK_KEY_FILE names, else of ~/.config/vek/key.");
    EXPECT_EQ(buttons, 1);
    EXPECT_FALSE(refused.session().connected);
    ASSERT_EQ(vekLoadKey(key.c_str()), 1);
    refused.sl_Connect();
    EXPECT_TRUE(refused.session().connected);
    vekLoadKey(nullptr);
}

}  // namespace
