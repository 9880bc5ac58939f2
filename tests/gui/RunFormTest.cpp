// The logo window (the least of the tray owner that start-up needs): shown at
// start, hidden by its own 2000 ms timer, and closing it ends the program.

#include "config/RegistryStore.h"
#include "config/Settings.h"
#include "desktop/Runformdlg.h"
#include "desktop/Systray.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class RunFormTest : public testing::Test
{
protected:
    MemoryStore store;
    Settings options{store};
};

TEST_F(RunFormTest, AFixedCentredLogoWindowWithItsCaption)
{
    TRunForm run(options);
    EXPECT_EQ(run.windowTitle(), "Postwatch");
    EXPECT_TRUE(run.windowFlags() & Qt::WindowTitleHint);
    EXPECT_FALSE(run.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(run.windowFlags() & Qt::WindowStaysOnTopHint); // over the main window shown after it
    EXPECT_EQ(run.size(), QSize(410, 239));
    EXPECT_EQ(run.geometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
    EXPECT_FALSE(run.isVisible()); // the program shows it

    auto* name = run.findChild<QLabel*>(QStringLiteral("Label1"));
    auto* version = run.findChild<QLabel*>(QStringLiteral("Label4"));
    auto* image = run.findChild<QLabel*>(QStringLiteral("Image1"));
    ASSERT_TRUE(name && version && image);
    EXPECT_EQ(name->text(), "Postwatch");
    EXPECT_EQ(version->text(), "2.0");
    EXPECT_EQ(image->size(), QSize(188, 104));
    EXPECT_FALSE(image->pixmap().isNull());
}

TEST_F(RunFormTest, LabelsAndLogoFitInsideTheWindow)
{
    TRunForm run(options);
    run.show();
    QApplication::processEvents();
    for (const char* name : {"Label1", "Label3", "Label4", "Label2", "Image1"}) {
        auto* label = run.findChild<QLabel*>(QLatin1String(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_TRUE(run.rect().contains(label->geometry())) << name;
        EXPECT_GE(label->width(), label->sizeHint().width()) << name; // not cut
    }
}

TEST_F(RunFormTest, ItsTimerHidesIt)
{
    TRunForm run(options);
    auto* timer = run.findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 2000);
    EXPECT_TRUE(timer->isActive()); // from creation
    run.show();
    ASSERT_TRUE(run.isVisible());
    // Drive the real timer's signal instead of waiting two seconds.
    ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout"));
    EXPECT_FALSE(run.isVisible());
    EXPECT_TRUE(timer->isActive()); // never stopped: a later show is hidden too
}

// The icon's hint names each failure that stands, and is plain again after.
TEST_F(RunFormTest, TheTrayHintNamesTheStandingFailures)
{
    TRunForm run(options);
    run.SetHint({QStringLiteral("Home: Failed to connect, 10:40"), QStringLiteral("Work: Login refused, 10:41")});
    EXPECT_EQ(run.SysTray1->ToolTip, "Postwatch\nHome: Failed to connect, 10:40\nWork: Login refused, 10:41");
    run.SetHint({});
    EXPECT_EQ(run.SysTray1->ToolTip, "Postwatch");
}

TEST_F(RunFormTest, ClosingItEndsTheProgram)
{
    TRunForm run(options);
    run.show();
    QTimer::singleShot(0, &run, &QWidget::close);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
}

TEST_F(RunFormTest, ClosingItWhenHiddenEndsTheProgramToo)
{
    TRunForm run(options);
    QTimer::singleShot(0, &run, &QWidget::close);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
}

}
