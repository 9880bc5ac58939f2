// The buttons of a new-mail notice, acting on the messages it named: found
// again by account and unique id, done as the list's commands do them, and
// refused in words for a message no longer listed.

#include "EngineFixture.h"
#include "tests/support/ScriptedMailSource.h"

#include <map>

namespace {

using TAction = DesktopNotice::Action;

class NoticeActions : public EngineTest
{
protected:
    // Home lists Ann, Bea and Cid and keeps read marks; Work lists Dan and
    // keeps none. Every priority tells with a bubble.
    void SetUp() override
    {
        EngineTest::SetUp();
        AddAccount("Home", {});
        AddAccount("Work", {});
        Load();
        for (auto set : {&Settings::SetHighNotify, &Settings::SetNormNotify, &Settings::SetLowNotify})
            (settings.*set)(NotifyDesktop);
        host.ReadMarkAccounts = {"Home"};
        MakeSource = [this](const QString& account) {
            auto made = std::make_unique<TScriptedMailSource>(account);
            if (account == "Home") {
                made->Add(" Ann Example <ann@example.org>", " One", "u1");
                made->Add(" Bea", " Two", "u2");
                made->Add(" Cid", " Three", "u3");
            } else {
                made->KeepsReadMarks = false;
                made->Add(" Dan", " Four", "w1");
            }
            sources[account] = made.get();
            return made;
        };
        Rebuild();
        CheckNow();
        ASSERT_EQ(host.Notices.size(), 1);
        Named = host.Notices.last().Messages;
        ASSERT_EQ(Named.size(), 4);
    }

    void Act(TAction action, const QList<DesktopNotice::Message>& messages)
    {
        Guarded([&] { engine->NoticeActionInvoked(action, messages); });
    }
    QList<DesktopNotice::Message> Home() const { return Named.mid(0, 3); }

    TScriptedMailSource& Source(const QString& account) { return *sources.at(account); }

    std::map<QString, TScriptedMailSource*> sources;
    QList<DesktopNotice::Message> Named;
};

}

TEST_F(NoticeActions, TheNoticeNamesEachMessageByItsKeysAndSaysWhichCanBeMarkedRead)
{
    QStringList named;
    for (const DesktopNotice::Message& message : Named)
        named << QStringLiteral("%1/%2 %3 %4: %5")
                     .arg(message.Account, message.UniqueId, message.CanMarkRead ? "read-mark" : "no-mark",
                          message.Sender, message.Subject);
    EXPECT_EQ(named, (QStringList{"Home/u1 read-mark Ann Example: One", "Home/u2 read-mark Bea: Two",
                                  "Home/u3 read-mark Cid: Three", "Work/w1 no-mark Dan: Four"}));

    Source("Work").Add(" Eve", " Five", QString());
    CheckNow();
    ASSERT_EQ(host.Notices.size(), 2);
    EXPECT_TRUE(host.Notices.last().Messages.isEmpty()) << "a message without a unique id cannot be found again";
}

// Bea was read elsewhere after the notice: she is named, the others are
// marked one after the other.
TEST_F(NoticeActions, MarkAllAsReadMarksEachMessageStillListedAndNamesTheOneGone)
{
    emit Source("Home").Removed({{"Home", "u2"}});
    Act(TAction::MarkRead, Home());
    EXPECT_EQ(Source("Home").Marked, (QStringList{"u1", "u3"}));
    EXPECT_EQ(Rows(), QStringList{"Work Four #1"});
    EXPECT_EQ(host.Boxes, QStringList{"Mark All as Read | The message \"Two\" from Bea is no longer waiting on the "
                                      "server. | main"});
    EXPECT_FALSE(engine->EngineBusy());
}

TEST_F(NoticeActions, AFailureStopsTheRestAndABusyEngineRefusesWithABeep)
{
    Source("Home").MarkAnswer = TScriptedMailSource::TAnswer::Failed;
    Act(TAction::MarkRead, Home());
    EXPECT_EQ(Source("Home").Marked, QStringList{"u1"});
    EXPECT_EQ(Rows().size(), 4);
    EXPECT_FALSE(engine->EngineBusy());

    Source("Home").MarkAnswer = TScriptedMailSource::TAnswer::None;
    Act(TAction::MarkRead, Home());
    EXPECT_EQ(Source("Home").Marked, (QStringList{"u1", "u1"})) << "the failure left nothing queued";
    Act(TAction::MarkRead, Named.mid(1, 1));
    EXPECT_EQ(host.Told.count("beep"), 1);
    EXPECT_EQ(Source("Home").Marked.size(), 2);

    Source("Home").MarkAnswer = TScriptedMailSource::TAnswer::Marked;
    emit Source("Home").MarkedRead({"Home", "u1"});
    EXPECT_EQ(Source("Home").Marked, (QStringList{"u1", "u1", "u2", "u3"})) << "went on once the first was marked";
    EXPECT_EQ(Rows(), QStringList{"Work Four #1"});
}

TEST_F(NoticeActions, DeleteShowsTheListAsksAndDeletesOnlyTheNamedMessage)
{
    host.Answers = {true};
    Act(TAction::Delete, Named.mid(1, 1));
    EXPECT_EQ(host.Told.last(), "show") << "the list the question is about";
    EXPECT_EQ(host.Boxes, QStringList{"Delete Message | Are you sure you want to delete this message? | main | Yes/No"});
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home Three #2", "Work Four #1"}));

    host.Answers = {true};
    Act(TAction::Delete, Named.mid(1, 1));
    Act(TAction::Open, Named.mid(1, 1));
    EXPECT_EQ(host.Boxes.mid(1), (QStringList{
        "Delete Message | The message \"Two\" from Bea is no longer waiting on the server. | main",
        "Quick View | The message \"Two\" from Bea is no longer waiting on the server. | main"}));
    EXPECT_EQ(Rows().size(), 3) << "nothing else deleted";
    EXPECT_TRUE(Source("Home").Fetches.isEmpty());

    Act(TAction::Open, Named.mid(2, 1));
    EXPECT_EQ(Source("Home").Fetches, QStringList{"u3"});
}
