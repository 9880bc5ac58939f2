// The tray icon component and the tray owner's menu, offscreen: frames,
// flashing, the six events, and "Enable Checking".

#include "base/Exception.h"
#include "base/Guard.h"
#include "config/Registry.h"
#include "config/RegistryStore.h"
#include "config/Settings.h"
#include "config/StoreKeys.h"
#include "desktop/Runformdlg.h"
#include "desktop/Systray.h"
#include "resources/Images.h"

#include <QAction>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QImage Pixels(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage();
}

TEST(SysTray, FramesAlternateOnTheTimerAndStoppingLeavesTheFrameShowing)
{
    TSysTray tray;
    const QList<QIcon> frames = Images::TrayImgs();
    tray.SetImageIndex(1);
    EXPECT_EQ(tray.ImageIndex(), 1);
    EXPECT_TRUE(tray.Icon().isNull()) << "without a list only the number is kept";
    tray.SetImageIndex(0);
    tray.SetImageList(frames);
    EXPECT_EQ(Pixels(tray.Icon()), Pixels(frames[0]));
    ASSERT_NE(Pixels(frames[0]), Pixels(frames[1]));

    tray.SetAniSpeed(20);
    EXPECT_FALSE(tray.Animate()) << "a speed alone starts nothing";
    tray.SetAnimate(true);
    QList<int> seen;
    while (seen.size() < 3 && QTest::qWaitFor([&] { return seen.isEmpty() || tray.ImageIndex() != seen.last(); }, 1000))
        seen << tray.ImageIndex();
    EXPECT_EQ(seen, (QList<int>{0, 1, 0}));

    // Any step at all within the wait counts: with two frames, an even
    // number of steps would look like none.
    const auto steps = [&](int within) {
        const int showing = tray.ImageIndex();
        return QTest::qWaitFor([&] { return tray.ImageIndex() != showing; }, within);
    };
    tray.SetAniSpeed(5000);
    EXPECT_FALSE(steps(100)) << "still ticking at the old period";
    EXPECT_TRUE(tray.Animate()) << "a new speed while flashing goes on flashing";
    tray.SetAniSpeed(20);
    EXPECT_TRUE(steps(1000));

    tray.SetAnimate(false);
    EXPECT_FALSE(steps(100)) << "stopping leaves the frame showing";
    tray.SetImageIndex(0);
    EXPECT_EQ(Pixels(tray.Icon()), Pixels(frames[0]));

    tray.SetImageList({frames[0]});
    tray.SetImageIndex(0);
    tray.OnTimer();
    EXPECT_EQ(tray.ImageIndex(), 0) << "one frame keeps showing it";
}

TEST(SysTray, ActivationsBecomeTheButtonEventsThatAreAssigned)
{
    TSysTray tray;
    QStringList fired;
    tray.OnLButtonDown = [&](QObject* sender) { fired << (sender == &tray ? "ldown" : "?"); };
    tray.OnLButtonDblClk = [&](QObject*) { fired << "ldbl"; };
    tray.OnRButtonDown = [&](QObject*) { fired << "rdown"; };
    tray.OnRButtonUp = [&](QObject*) { fired << "rup"; };
    auto* icon = tray.findChild<QSystemTrayIcon*>();
    ASSERT_NE(icon, nullptr);
    for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context,
                        QSystemTrayIcon::MiddleClick})
        emit icon->activated(reason);
    EXPECT_EQ(fired, (QStringList{"ldown", "ldbl", "rdown", "rup"}));
}

TEST(SysTray, AFailingHandlerIsReportedAndTheNextClickStillArrives)
{
    TSysTray tray;
    int clicks = 0;
    tray.OnLButtonDown = [&](QObject*) {
        if (++clicks == 1)
            throw Exception(QStringLiteral("handler failed"));
    };
    auto* icon = tray.findChild<QSystemTrayIcon*>();
    ASSERT_NE(icon, nullptr);
    QStringList reported;
    SetErrorReport([&](const QString& message) { reported << message; });
    EXPECT_NO_THROW(emit icon->activated(QSystemTrayIcon::Trigger));
    emit icon->activated(QSystemTrayIcon::Trigger);
    SetErrorReport({});
    EXPECT_EQ(reported, QStringList{"handler failed"});
    EXPECT_EQ(clicks, 2);
}

class TrayOwner : public testing::Test
{
protected:
    MemoryStore store;
    Settings options{store};
    TRunForm run{options};
};

TEST_F(TrayOwner, TheMenuMirrorsEnableCheckingAndChoosingItSaves)
{
    QAction checkNow("&Check Now"), config("&Open Config Window"), launch("&Launch Client"), help("&Help Contents"),
        close("E&xit");
    launch.setEnabled(false);
    run.SetTrayActions({&checkNow, &config, &launch, &help, &close});
    QStringList items;
    for (QAction* item : run.TrayPop->actions())
        items << (item->isSeparator() ? "-" : item->objectName() + " " + item->text() + (item->isEnabled() ? "" : " (off)"));
    EXPECT_EQ(items, (QStringList{"ShowPostwatch1 Show Postwatch", "-", "CheckNow2 &Check Now", "OpenConfigWindow2 &Open Config Window",
                                  "LaunchClient2 &Launch Client (off)", "HelpContents3 &Help Contents", "-",
                                  "EnableChecking1 Enable Checking", "DoNotDisturb1 Do Not Disturb", "-",
                                  "Exit2 E&xit"}));
    QStringList choices;
    for (QAction* item : run.DoNotDisturb1->actions())
        choices << item->text() + (item->isChecked() ? " (checked)" : "");
    EXPECT_EQ(choices, (QStringList{"For 1 Hour", "Until Tomorrow", "Off (checked)"}));
    EXPECT_EQ(run.TrayPop->defaultAction(), run.ShowPostwatch1) << "as a double-click on the icon";

    options.SetCheckingEnabled(false);
    emit run.TrayPop->aboutToShow();
    EXPECT_FALSE(run.EnableChecking1->isChecked());
    run.EnableChecking1->trigger();
    EXPECT_TRUE(options.CheckingEnabled());
    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(StoreKeys::Program, false));
    EXPECT_TRUE(reg.ReadBool("CheckingEnabled"));
}

TEST_F(TrayOwner, AButtonPressStopsTheFlashingAtTheFirstFrame)
{
    run.SysTray1->SetInTray(true);
    run.SysTray1->SetAnimate(true);
    run.SysTray1->OnTimer();
    ASSERT_EQ(run.SysTray1->ImageIndex(), 1);
    run.SysTray1RButtonDown();
    EXPECT_FALSE(run.SysTray1->Animate());
    EXPECT_EQ(run.SysTray1->ImageIndex(), 0);
    EXPECT_FALSE(run.Flash()) << "offscreen there is no tray to flash in";
}

}
