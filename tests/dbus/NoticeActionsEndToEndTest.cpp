// The buttons of a new-mail bubble, pressed on a notification server of our
// own on the private session bus, acting through the real main window
// (offscreen) on IMAP mailboxes of the run's Dovecot.

#include "FakeNotificationServer.h"
#include "app/Mainformdlg.h"
#include "base/Guard.h"
#include "config/Registry.h"
#include "config/RegistryStore.h"
#include "config/Settings.h"
#include "config/StoreKeys.h"
#include "desktop/Runformdlg.h"
#include "dialogs/Configdlg.h"
#include "engine/CheckEngine.h"
#include "engine/MessageList.h"
#include "viewer/Quickviewdlg.h"
#include "widgets/MsgBox.h"
#include "tests/support/WindowTest.h"
#include "tests/support/ScriptedDialUp.h"
#include "tests/support/TestAccounts.h"
#include "tests/support/TestDovecot.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include <memory>

namespace {

class NoticeActionsEndToEnd : public WindowTest
{
protected:
    void SetUp() override
    {
        ASSERT_GT(DovecotImapPort(), 0) << "no Dovecot started for this run";
        qputenv("POSTWATCH_PROFILE", QFile::encodeName(profile.path()));
        ASSERT_TRUE(server.Start());
        WindowTest::SetUp();
    }

    // Checks the user's IMAP mailbox once, every priority told with a bubble.
    void Begin(const QString& user, bool newOnly = false)
    {
        this->user = user;
        StoreAccount(Store, "Home", "127.0.0.1", DovecotImapPort(), user, "pw-" + user);
        TRegistry reg(Store);
        reg.OpenKey(StoreKeys::Accounts + QStringLiteral("\\Home"), false);
        reg.WriteString(QStringLiteral("Protocol"), QStringLiteral("IMAP"));
        Form = std::make_unique<TMainForm>(Store, Options, DialUp, Run, QStringLiteral("postwatch"));
        Config = std::make_unique<TConfigForm>(Options, *Form->Pop1, [] {});
        Options.SetConnType(LanConn);
        Options.SetHighNotify(NotifyDesktop);
        Options.SetNormNotify(NotifyDesktop);
        Options.SetLowNotify(NotifyDesktop);
        Options.SetNotifyNewOnly(newOnly);
        View = std::make_unique<TQuickView>(Options, Form->actDelete, Form->actLaunch,
                                            [this] { return Form->SelectedSender(); });
        Form->QuickView = View.get();
        Form->actCheckNow->trigger();
        ASSERT_TRUE(WaitUntil([this] { return !server.Calls.isEmpty(); }, 20000)) << Errors.join('\n').toStdString();
    }

    // The id the newest bubble gives its button, "" for none.
    QString Button(const QString& label) const
    {
        const QStringList& actions = server.Calls.last().Actions;
        const qsizetype at = actions.indexOf(label);
        return at > 0 ? actions[at - 1] : QString();
    }

    void Press(const QString& id) { server.InvokeAction(server.Ids.last(), id); }

    // Messages in the maildir, and how many carry the read flag.
    std::pair<int, int> StoredAndRead() const
    {
        int stored = 0, read = 0;
        for (const QString folder : {"new", "cur"})
            for (const QString& name :
                 QDir(PW_POP3_SERVER_DIR "/mail/" + user + "/" + folder).entryList(QDir::Files)) {
                ++stored;
                read += name.section(":2,", 1).contains('S');
            }
        return {stored, read};
    }

    bool WaitUntil(const std::function<bool()>& condition, int ms = 10000) { return QTest::qWaitFor(condition, ms); }

    QTemporaryDir profile;
    FakeServer server {{QStringLiteral("body"), QStringLiteral("actions")}};
    QString user;
};

// A server may repeat a button, and anyone may name one we never sent: the
// message is marked once, and nothing is deleted.
TEST_F(NoticeActionsEndToEnd, MarkAsReadFromTheBubbleMarksTheMessageSeenOnTheServerOnce)
{
    ASSERT_NO_FATAL_FAILURE(Begin("notice-one"));
    const QString markRead = Button("Mark as Read");
    ASSERT_FALSE(markRead.isEmpty()) << server.Calls.last().Actions.join(' ').toStdString();
    Press("delete-99");
    Press(markRead);
    Press(markRead);
    ASSERT_TRUE(WaitUntil([this] { return StoredAndRead() == std::make_pair(1, 1); })) << Boxes.join('\n').toStdString();
    EXPECT_TRUE(WaitUntil([this] { return Form->MessageList->Count() == 0 && server.Closed.size() == 1; }))
        << "no mail waits: the bubble goes";
    QTest::qWait(300);
    EXPECT_TRUE(Boxes.isEmpty() && Errors.isEmpty()) << (Boxes + Errors).join('\n').toStdString();
    EXPECT_EQ(StoredAndRead(), std::make_pair(1, 1));
}

TEST_F(NoticeActionsEndToEnd, MarkAllAsReadMarksEveryMessageTheBubbleNamed)
{
    ASSERT_NO_FATAL_FAILURE(Begin("notice-all"));
    EXPECT_EQ(server.Calls.last().Summary, "3 new messages");
    ASSERT_FALSE(Button("Mark All as Read").isEmpty()) << server.Calls.last().Actions.join(' ').toStdString();
    Press(Button("Mark All as Read"));
    ASSERT_TRUE(WaitUntil([this] { return StoredAndRead() == std::make_pair(3, 3); })) << Boxes.join('\n').toStdString();
    EXPECT_TRUE(WaitUntil([this] { return Form->MessageList->Count() == 0; }));
    EXPECT_TRUE(Boxes.isEmpty() && Errors.isEmpty()) << (Boxes + Errors).join('\n').toStdString();
}

TEST_F(NoticeActionsEndToEnd, OpenShowsTheMessageAndDeleteAsksOverTheListAndDeletesIt)
{
    ASSERT_NO_FATAL_FAILURE(Begin("notice-delete"));
    Press(Button("Open"));
    ASSERT_TRUE(WaitUntil([this] { return View->isVisible(); })) << Boxes.join('\n').toStdString();
    EXPECT_EQ(View->lblSubject->text(), "Lunch on Friday");
    EXPECT_EQ(StoredAndRead(), std::make_pair(1, 0)) << "opening marks nothing read";

    Press(Button("Delete"));
    ASSERT_TRUE(WaitUntil([this] { return StoredAndRead().first == 0; })) << Boxes.join('\n').toStdString();
    EXPECT_EQ(Boxes, QStringList{"Delete Message | Are you sure you want to delete this message?"});
    EXPECT_TRUE(Form->isVisible()) << "the question stands over the list";
}

// Jörg's message comes while the program watches and gets a bubble of its
// own; the list's Delete takes it before the bubble's does.
TEST_F(NoticeActionsEndToEnd, ABubbleForAMessageDeletedMeanwhileIsRefusedInWordsAndDeletesNothingElse)
{
    ASSERT_NO_FATAL_FAILURE(Begin("notice-gone", true));
    QProcess deliver;
    deliver.start(POSTWATCH_SOURCE_DIR "/tools/pop3-server",
                  {"deliver", PW_POP3_SERVER_DIR, user, POSTWATCH_SOURCE_DIR "/tests/integration/messages/utf8.eml"});
    ASSERT_TRUE(deliver.waitForFinished(20000));
    ASSERT_TRUE(WaitUntil([this] { return server.Calls.size() == 2; })) << Errors.join('\n').toStdString();
    EXPECT_EQ(server.Calls.last().Summary, "1 new messages");
    const QString deleteJoerg = Button("Delete");

    const QAbstractItemModel* model = Form->listMessages->model();
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->index(row, TMessageList::colFrom).data().toString().contains(QStringLiteral("Jörg")))
            Form->listMessages->setCurrentIndex(model->index(row, 0));
    Form->actDelete->trigger();
    ASSERT_TRUE(WaitUntil([this] { return StoredAndRead().first == 1 && !Form->Engine->EngineBusy(); }))
        << Boxes.join('\n').toStdString();

    Press(deleteJoerg);
    ASSERT_TRUE(WaitUntil([this] { return Boxes.size() == 2; })) << (Boxes + Errors).join('\n').toStdString();
    EXPECT_EQ(Boxes.last(), "Delete Message | The message \"Grüße aus Köln\" from Jörg is no longer waiting on the "
                            "server.");
    QTest::qWait(300);
    EXPECT_EQ(StoredAndRead(), std::make_pair(1, 0)) << "Ann's message stays";
    EXPECT_EQ(Form->MessageList->Count(), 1);
}

}
