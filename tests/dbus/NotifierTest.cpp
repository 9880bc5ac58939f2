#include "FakeNotificationServer.h"
#include "platform/DesktopNotifier.h"
#include "platform/DoNotDisturbWatch.h"
#include "resources/Images.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>
#include <gtest/gtest.h>

namespace {

bool waitFor(const std::function<bool()>& condition)
{
    return QTest::qWaitFor(condition, 5000);
}

// The notifier writes its icon once per process, so the cache folder lasts
// for the whole run.
const QTemporaryDir& cache()
{
    static const QTemporaryDir dir;
    return dir;
}

class DesktopNotifierTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(cache().isValid());
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache().path()));
    }
};

TEST_F(DesktopNotifierTest, BubbleCarriesTheNoticeWithOurNameIconAndActions)
{
    FakeServer server({QStringLiteral("body"), QStringLiteral("body-markup"), QStringLiteral("actions")});
    ASSERT_TRUE(server.Start());
    DesktopNotifier notifier;
    ASSERT_TRUE(waitFor([&] { return server.CapabilityQuestions == 1; }));
    QTest::qWait(50);
    EXPECT_FALSE(notifier.ServerPlaysSound());

    notifier.Show({"3 new messages",
                   {"Ann <ann@example.org>: Q&A", "2", "3", "4", "5", "6 is not shown"},
                   DesktopNotice::Critical,
                   "/usr/share/sounds/mail.wav"});
    ASSERT_TRUE(waitFor([&] { return server.Calls.size() == 1; }));
    const NotifyCall& call = server.Calls[0];
    EXPECT_EQ(call.AppName, "Postwatch");
    EXPECT_EQ(call.ReplacesId, 0u);
    EXPECT_EQ(call.Summary, "3 new messages");
    EXPECT_EQ(call.Body, "Ann &lt;ann@example.org&gt;: Q&amp;A\n2\n3\n4\n5");
    EXPECT_EQ(call.Actions, QStringList({"default", "Show", "checknow", "Check Now"}));
    EXPECT_EQ(call.ExpireTimeout, -1);
    EXPECT_EQ(call.Hints.value("urgency").metaType(), QMetaType::fromType<uchar>());
    EXPECT_EQ(call.Hints.value("urgency").toInt(), 2);
    EXPECT_EQ(call.Hints.value("category"), "email.arrived");
    EXPECT_EQ(call.Hints.value("desktop-entry"), "org.tallowfen.Postwatch");
    EXPECT_FALSE(call.Hints.contains("sound-file")) << "this server plays no sounds";

    const QUrl icon(call.AppIcon);
    ASSERT_TRUE(icon.isLocalFile()) << call.AppIcon.toStdString();
    EXPECT_TRUE(icon.toLocalFile().startsWith(cache().path() + "/Postwatch/"));
    QFile written(icon.toLocalFile());
    QFile ours(Images::AppIconPath());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly) && ours.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), ours.readAll());
}

// The second Show comes before the server has answered the first, so the
// notifier must wait for the first bubble's id.
TEST_F(DesktopNotifierTest, LaterBubbleReplacesTheEarlierAndHintsTheSoundTheServerPlays)
{
    FakeServer server({QStringLiteral("body"), QStringLiteral("sound")});
    ASSERT_TRUE(server.Start());
    DesktopNotifier notifier;
    ASSERT_TRUE(waitFor([&] { return notifier.ServerPlaysSound(); }));

    notifier.Show({"1 new message", {"first"}, DesktopNotice::Low, "/usr/share/sounds/mail.wav"});
    notifier.Show({"2 new messages", {"first", "Q&A <second>"}, DesktopNotice::Normal, {}});
    ASSERT_TRUE(waitFor([&] { return server.Calls.size() == 2; }));
    EXPECT_EQ(server.Calls[0].Hints.value("sound-file"), "/usr/share/sounds/mail.wav");
    EXPECT_EQ(server.Calls[0].Hints.value("urgency").toInt(), 0);
    EXPECT_EQ(server.Calls[1].ReplacesId, server.Ids[0]);
    EXPECT_EQ(server.Calls[1].Body, "first\nQ&A <second>") << "no markup: shown as it is";
    EXPECT_EQ(server.Calls[1].Hints.value("urgency").toInt(), 1);
    EXPECT_FALSE(server.Calls[1].Hints.contains("sound-file")) << "the notice has no sound";
}

TEST_F(DesktopNotifierTest, ActionsOfTheCurrentBubbleOnlyReachTheProgram)
{
    FakeServer server({QStringLiteral("actions")});
    ASSERT_TRUE(server.Start());
    DesktopNotifier notifier;
    QSignalSpy shows(&notifier, &DesktopNotifier::DefaultActionInvoked);
    QSignalSpy checks(&notifier, &DesktopNotifier::CheckNowInvoked);
    notifier.Show({"1 new message", {"first"}, DesktopNotice::Normal, {}});
    ASSERT_TRUE(waitFor([&] { return server.Calls.size() == 1; }));
    const uint current = server.Ids[0];

    // The bus keeps the order of one sender's messages: the foreign actions
    // arrive before those that are waited for.
    server.InvokeAction(current + 1, "default");
    server.InvokeAction(current + 1, "checknow");
    server.InvokeAction(current, "default");
    ASSERT_TRUE(waitFor([&] { return shows.count() == 1; }));
    EXPECT_EQ(checks.count(), 0);
    server.InvokeAction(current, "checknow");
    ASSERT_TRUE(waitFor([&] { return checks.count() == 1; }));
    EXPECT_EQ(shows.count(), 1);
}

// Buttons on messages only where the server shows buttons: one message can
// be opened, deleted and, where its server keeps read marks, marked read;
// several can be listed and marked read together.
TEST_F(DesktopNotifierTest, ButtonsFitTheNoticesMessagesAndTheServer)
{
    const DesktopNotice::Message ann {"Home", "u1", true, "Ann", "Lunch"};
    const DesktopNotice::Message bea {"Work", "w1", false, "Bea", "Tea"};
    auto notice = [](QList<DesktopNotice::Message> messages) {
        return DesktopNotice {"new", {"line"}, DesktopNotice::Normal, {}, std::move(messages)};
    };
    FakeServer server({QStringLiteral("actions")});
    ASSERT_TRUE(server.Start());
    DesktopNotifier notifier;
    for (const QList<DesktopNotice::Message>& messages :
         {QList {ann}, QList {bea}, QList {ann, ann}, QList {ann, bea}, QList<DesktopNotice::Message> {}}) {
        notifier.Show(notice(messages));
        const qsizetype shown = server.Calls.size() + 1;
        ASSERT_TRUE(waitFor([&] { return server.Calls.size() == shown; }));
    }
    EXPECT_EQ(server.Calls[0].Actions, QStringList({"default", "Show", "open-1", "Open", "markread-1", "Mark as Read",
                                                    "delete-1", "Delete", "checknow", "Check Now"}));
    EXPECT_EQ(server.Calls[1].Actions,
              QStringList({"default", "Show", "open-2", "Open", "delete-2", "Delete", "checknow", "Check Now"}));
    EXPECT_EQ(server.Calls[2].Actions, QStringList({"default", "Show", "showlist", "Show List", "markallread-3",
                                                    "Mark All as Read", "checknow", "Check Now"}));
    EXPECT_EQ(server.Calls[3].Actions,
              QStringList({"default", "Show", "showlist", "Show List", "checknow", "Check Now"}));
    EXPECT_EQ(server.Calls[4].Actions, QStringList({"default", "Show", "checknow", "Check Now"}));
}

TEST_F(DesktopNotifierTest, AServerWithoutButtonsIsOfferedOnlyTheClickOnTheBubble)
{
    FakeServer server({QStringLiteral("body")});
    ASSERT_TRUE(server.Start());
    DesktopNotifier notifier;
    notifier.Show({"1 new message", {"Ann: Lunch"}, DesktopNotice::Normal, {}, {{"Home", "u1", true, "Ann", "Lunch"}}});
    ASSERT_TRUE(waitFor([&] { return server.Calls.size() == 1; }));
    EXPECT_EQ(server.Calls[0].Actions, QStringList({"default", "Show"}));
}

// Each button acts on the messages of the notice it came with; one of a
// notice since replaced, one never sent, or one pressed again does nothing.
TEST_F(DesktopNotifierTest, AButtonActsOnceOnTheMessagesOfItsOwnNotice)
{
    FakeServer server({QStringLiteral("actions")});
    ASSERT_TRUE(server.Start());
    DesktopNotifier notifier;
    QList<QPair<DesktopNotice::Action, QStringList>> told;
    QObject::connect(&notifier, &DesktopNotifier::MessageActionInvoked,
                     [&](DesktopNotice::Action action, const QList<DesktopNotice::Message>& messages) {
                         QStringList ids;
                         for (const DesktopNotice::Message& message : messages)
                             ids << message.Account + "/" + message.UniqueId;
                         told.append({action, ids});
                     });
    QSignalSpy shows(&notifier, &DesktopNotifier::DefaultActionInvoked);
    ASSERT_TRUE(waitFor([&] { return server.CapabilityQuestions == 1; }));
    QTest::qWait(50);
    notifier.Show({"1 new message", {"Ann: Lunch"}, DesktopNotice::Normal, {}, {{"Home", "u1", true, "Ann", "Lunch"}}});
    notifier.Show({"1 new message", {"Bea: Tea"}, DesktopNotice::Normal, {}, {{"Home", "u2", true, "Bea", "Tea"}}});
    ASSERT_TRUE(waitFor([&] { return server.Calls.size() == 2; }));
    const uint current = server.Ids[1];
    ASSERT_EQ(server.Ids[0], current) << "the second replaced the first";

    server.InvokeAction(current, "delete-1");
    server.InvokeAction(current, "delete-9");
    server.InvokeAction(current, "Delete");
    server.InvokeAction(current, "showlist");
    server.InvokeAction(current + 1, "delete-2");
    server.InvokeAction(current, "delete-2");
    server.InvokeAction(current, "delete-2");
    server.InvokeAction(current, "markread-2");
    server.InvokeAction(current, "default");
    ASSERT_TRUE(waitFor([&] { return shows.count() == 1; }));
    ASSERT_EQ(told.size(), 2);
    EXPECT_EQ(told[0].first, DesktopNotice::Action::Delete);
    EXPECT_EQ(told[0].second, QStringList{"Home/u2"});
    EXPECT_EQ(told[1].first, DesktopNotice::Action::MarkRead);
    EXPECT_EQ(told[1].second, QStringList{"Home/u2"});
}

// A server started after the program (or none at all) must neither block the
// program nor keep later bubbles from the server that comes.
TEST_F(DesktopNotifierTest, WithoutServerNothingIsShownUntilOneStarts)
{
    DesktopNotifier notifier;
    QSignalSpy shows(&notifier, &DesktopNotifier::DefaultActionInvoked);
    QElapsedTimer clock;
    clock.start();
    notifier.Show({"1 new message", {"lost"}, DesktopNotice::Normal, {}});
    notifier.Show({"2 new messages", {"lost"}, DesktopNotice::Normal, {}});
    EXPECT_LT(clock.elapsed(), 500);
    QTest::qWait(200);

    FakeServer server({QStringLiteral("sound")});
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(waitFor([&] { return notifier.ServerPlaysSound(); })) << "the new server is asked what it does";
    notifier.Show({"3 new messages", {"shown"}, DesktopNotice::Normal, {}});
    ASSERT_TRUE(waitFor([&] { return server.Calls.size() == 1; }));
    EXPECT_EQ(server.Calls[0].Summary, "3 new messages");
    EXPECT_EQ(server.Calls[0].ReplacesId, 0u);
    QTest::qWait(100);
    EXPECT_EQ(server.Calls.size(), 1) << "bubbles for no server are not sent later";
    EXPECT_EQ(shows.count(), 0);
}
// A bubble whose buttons would do nothing goes: when there is no mail to
// tell of any more, and when the program ends; a failure's bubble is its own.
TEST_F(DesktopNotifierTest, BubblesAreWithdrawnWhenNoLongerTrueAndAtTheEnd)
{
    FakeServer server({QStringLiteral("body"), QStringLiteral("actions")});
    ASSERT_TRUE(server.Start());
    auto notifier = std::make_unique<DesktopNotifier>();
    notifier->Show({"2 new messages", {"Ann: Hello"}, DesktopNotice::Normal, {}});
    notifier->Show({"Postwatch could not check for mail", {"Home: Failed to connect, 10:40"}, DesktopNotice::Normal, {}},
                   DesktopNotifier::Problem);
    ASSERT_TRUE(waitFor([&] { return server.Ids.size() == 2; }));
    EXPECT_NE(server.Ids[0], server.Ids[1]) << "two bubbles, neither replacing the other";
    notifier->Withdraw(DesktopNotifier::NewMail);
    ASSERT_TRUE(waitFor([&] { return server.Closed.size() == 1; }));
    EXPECT_EQ(server.Closed[0], server.Ids[0]);
    notifier.reset();
    ASSERT_TRUE(waitFor([&] { return server.Closed.size() == 2; }));
    EXPECT_EQ(server.Closed[1], server.Ids[1]);
}

// A server without the property never keeps mail quiet; one with it is
// followed through its changes, and a server that goes away no longer does.
TEST_F(DesktopNotifierTest, TheServersInhibitedPropertyIsTheDesktopsDoNotDisturb)
{
    {
        FakeServer plain({});
        ASSERT_TRUE(plain.Start());
        TDoNotDisturbWatch watch;
        QSignalSpy changed(&watch, &TDoNotDisturbWatch::Changed);
        QTest::qWait(200);
        EXPECT_FALSE(watch.On());
        EXPECT_TRUE(changed.isEmpty());
    }
    auto server = std::make_unique<FakeServer>(QStringList());
    server->HasInhibited = true;
    server->SetInhibited(true);
    ASSERT_TRUE(server->Start());
    TDoNotDisturbWatch watch;
    ASSERT_TRUE(waitFor([&] { return watch.On(); }));
    server->SetInhibited(false);
    ASSERT_TRUE(waitFor([&] { return !watch.On(); }));
    server->SetInhibited(true);
    ASSERT_TRUE(waitFor([&] { return watch.On(); }));
    server.reset();
    EXPECT_TRUE(waitFor([&] { return !watch.On(); }));
}

}
