// The tray icon in a real tray: trayer on a virtual X display (the test runs
// under xvfb-run), where the icon must be embedded and flash.

#include "config/RegistryStore.h"
#include "config/Settings.h"
#include "desktop/Runformdlg.h"
#include "desktop/Systray.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Frame 1 is the picture on red; frame 0 on blue.
bool MostlyRed(const QImage& image)
{
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.red() > 150 && c.green() < 110 && c.blue() < 110;
        }
    return red * 4 > image.width() * image.height();
}

class RealTray : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run under xvfb-run with QT_QPA_PLATFORM=xcb";
        trayer.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "64",
                                "--height", "24", "--transparent", "false"});
        ASSERT_TRUE(trayer.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000));
    }
    void TearDown() override
    {
        trayer.kill();
        trayer.waitForFinished();
    }

    // What the screen shows where the tray placed the icon.
    QImage Shown() const
    {
        const QRect place = icon()->geometry();
        return QGuiApplication::primaryScreen()->grabWindow(0, place.x(), place.y(), place.width(), place.height())
            .toImage();
    }
    QSystemTrayIcon* icon() const { return run.SysTray1->findChild<QSystemTrayIcon*>(); }

    QProcess trayer;
    MemoryStore store;
    Settings options{store};
    TRunForm run{options};
};

TEST_F(RealTray, TheIconIsEmbeddedAndItsPixelsAlternateWhileFlashing)
{
    ASSERT_TRUE(QTest::qWaitFor([this] { return icon()->geometry().width() > 0; }, 10000)) << "never embedded";
    EXPECT_TRUE(run.SysTray1->Shown());
    QTest::qWait(300);
    EXPECT_FALSE(MostlyRed(Shown()));

    run.SysTray1->SetAniSpeed(250);
    ASSERT_TRUE(run.Flash());
    QList<bool> reds;
    for (int sample = 0; sample < 12; ++sample) {
        QTest::qWait(125);
        reds << MostlyRed(Shown());
    }
    EXPECT_TRUE(reds.contains(true) && reds.contains(false)) << "the frames must alternate on screen";

    run.StopFlashing();
    QTest::qWait(300);
    EXPECT_FALSE(MostlyRed(Shown()));
}

}
