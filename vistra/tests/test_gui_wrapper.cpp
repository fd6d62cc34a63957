// The Qt wrapper and the widget builders.
#include <gtest/gtest.h>

#include <QAction>
#include <QFontMetrics>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>

#include "gui_test_app.h"
#include "widgets/separator.h"
#include "widgets/widget_utils.h"

namespace {

TEST(VistraQTWrapper, SecondInitialisationWarnsAndKeepsFirstDefaults) {
    const GLDefaults* first = GetGLDefaults();
    ASSERT_NE(first, nullptr);
    const QString style = QApplication::style()->name();
    int argc = 1;
    char name[] = "second";
    char* argv[] = {name, nullptr};
    QTWrapperConfig config;
    config.clearMask = 0x4000;
    config.argc = &argc;
    config.argv = argv;
    config.style = "windowsxp";  // not on this platform: the style stays
    QTWrapper second;
    testing::internal::CaptureStderr();
    second.init(config);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Warning: QTWrapper already initialized!\n");
    EXPECT_EQ(GetGLDefaults(), first);
    EXPECT_EQ(GetGLDefaults()->clearMask, GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    EXPECT_EQ(QApplication::style()->name(), style);
    EXPECT_EQ(QApplication::font().family(), "Helvetica");
    EXPECT_EQ(QApplication::font().pointSize(), 8);

    config.style = "Fusion";
    testing::internal::CaptureStderr();
    second.init(config);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(QApplication::style()->name().toLower(), "fusion");
}

TEST(VistraWidgetBuilders, ToggleButtonAtIndexFiveOfEmptyVector) {
    QWidget parent;
    std::vector<QPushButton*> buttons;
    EXPECT_EQ(MakeToggleButton("Go", 5, &parent, buttons, 30, 2, "liveOn.png", "liveOff.png"), 5);
    ASSERT_EQ(buttons.size(), 6u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(buttons[static_cast<std::size_t>(i)], nullptr);
    QPushButton* b = buttons[5];
    EXPECT_TRUE(b->isCheckable());
    EXPECT_FALSE(b->isChecked());
    EXPECT_EQ(b->height(), 22);
    EXPECT_EQ(b->width(), QFontMetrics(parent.font()).horizontalAdvance("Go") + 30);
    EXPECT_FALSE(b->icon().isNull());
    // A spacer of 2 x 2 follows the button.
    int spacers = 0;
    for (QWidget* w : parent.findChildren<QWidget*>()) spacers += w->size() == QSize(2, 2) ? 1 : 0;
    EXPECT_EQ(spacers, 1);

    EXPECT_EQ(MakeIconButton("Load", -1, &parent, buttons, 10, 0, "load.png"), 6);
    EXPECT_FALSE(buttons[6]->isCheckable());
}

TEST(VistraWidgetBuilders, HighlightAndActions) {
    SetHighlight(nullptr, true);
    QPushButton button("x");
    button.setCheckable(true);
    SetHighlight(&button, true);
    EXPECT_TRUE(button.isChecked());
    EXPECT_EQ(button.font().weight(), QFont::Bold);
    EXPECT_EQ(button.palette().color(QPalette::ButtonText), QColor("#6666aa"));
    SetHighlight(&button, false);
    EXPECT_EQ(button.font().weight(), QFont::Normal);
    EXPECT_EQ(button.palette().color(QPalette::ButtonText), QColor("Black"));

    QMenu menu;
    std::vector<QAction*> actions;
    QAction* a = MakeAction(actions, &menu, &menu, "Pause", 6, QKeySequence(Qt::CTRL | Qt::Key_P), true);
    ASSERT_EQ(actions.size(), 7u);
    EXPECT_EQ(actions[6], a);
    EXPECT_EQ(actions[4], nullptr);
    EXPECT_TRUE(a->isCheckable());
    EXPECT_EQ(a->shortcut(), QKeySequence("Ctrl+P"));
    EXPECT_EQ(menu.actions().size(), 1);
}

TEST(VistraIcons, SixEmbeddedImagesUnderTheirNames) {
    for (const char* name : {"liveOff.png", "liveOn.png", "load.png", "save.png", "pause.png"}) {
        const QImage img(ImagePath(name));
        EXPECT_EQ(img.size(), QSize(16, 16)) << name;
        EXPECT_TRUE(img.hasAlphaChannel()) << name;
    }
    EXPECT_EQ(QImage(ImagePath("paint.png")).size(), QSize(32, 32));
    EXPECT_TRUE(QPixmap(ImagePath("nothing.png")).isNull());
    // The lit LED is green, the dark one grey.
    const QImage on(ImagePath("liveOn.png")), off(ImagePath("liveOff.png"));
    EXPECT_GT(qGreen(on.pixel(8, 8)), 2 * qRed(on.pixel(8, 8)));
    EXPECT_EQ(qGreen(off.pixel(8, 8)), qRed(off.pixel(8, 8)));
}

TEST(VistraSeparator, SizeFollowsOrientation) {
    QToolBar bar;
    const int extent = bar.style()->pixelMetric(QStyle::PM_ToolBarSeparatorExtent);
    Separator horizontal(Qt::Horizontal, &bar, &bar, "separator");
    Separator vertical(Qt::Vertical, &bar, &bar, "separator");
    EXPECT_EQ(horizontal.sizeHint(), QSize(extent, 0));
    EXPECT_EQ(vertical.sizeHint(), QSize(0, extent));
    EXPECT_EQ(horizontal.objectName(), "separator");
}

}  // namespace
