// Check Now and the minute timer in the real main window, offscreen, with
// its real POP3 client: against Dovecot, and against a scripted server that
// falls silent in the middle of a check.

#include "engine/CheckEngine.h"
#include "app/Mainformdlg.h"
#include "engine/MessageList.h"
#include "widgets/MsgBox.h"
#include "tests/support/WindowTest.h"
#include "base/Guard.h"
#include "dialogs/Configdlg.h"
#include "config/RegistryStore.h"
#include "config/Settings.h"
#include "desktop/Runformdlg.h"
#include "viewer/Quickviewdlg.h"
#include "pop3/Pop3client.h"
#include "tests/support/ModalSteps.h"
#include "tests/support/ScriptedDialUp.h"
#include "tests/support/TestAccounts.h"
#include "tests/support/TestDovecot.h"
#include "tests/unit/pop3/ScriptServer.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QLabel>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// The main window as the program starts it: the configuration dialog,
// which loads the settings, made after the window.
class CheckEndToEnd : public WindowTest
{
protected:
    void Start()
    {
        Form = std::make_unique<TMainForm>(Store, Options, DialUp, Run, QStringLiteral("postwatch"));
        Config = std::make_unique<TConfigForm>(Options, *Form->Pop1, [] {});
        Options.SetConnType(LanConn);
    }

    void Trigger(const char* action) { Form->findChild<QAction*>(QLatin1String(action))->trigger(); }

    bool WaitForPanel(const QString& text, int milliseconds = 20000)
    {
        return WaitUntil([&] { return Form->StatusText(0) == text; }, milliseconds);
    }

    // Rows as "account #number from", read from the list the window shows,
    // with the whole sender its tip gives.
    QStringList ShownRows() const
    {
        const QAbstractItemModel* model = Form->findChild<QTreeView*>("listMessages")->model();
        QStringList rows;
        for (int row = 0; row < model->rowCount(); ++row)
            rows << QStringLiteral("%1 #%2 %3")
                        .arg(model->index(row, TMessageList::colAccount).data().toString())
                        .arg(model->index(row, 0).data(TMessageList::NumberRole).toInt())
                        .arg(model->index(row, TMessageList::colFrom).data(Qt::ToolTipRole).toString());
        return rows;
    }

    // Another program's session on the test mailbox of user.
    static void OtherSession(const QString& user, const std::function<void(TPop3Client&)>& work)
    {
        TPop3Client client;
        client.Host = "127.0.0.1";
        client.Port = DovecotPort();
        client.TimeOut = 10000;
        client.UserID = user;
        client.Password = "pw-" + user;
        client.Connect();
        work(client);
        client.Disconnect();
    }

    int MessagesOnServer(const QString& user)
    {
        int count = 0;
        OtherSession(user, [&](TPop3Client& client) { count = client.MessageCount; });
        return count;
    }

};

class CheckAgainstDovecot : public CheckEndToEnd
{
protected:
    void CheckTwoAccounts(const QString& homeUser, bool saveBlocked)
    {
        ASSERT_GT(DovecotPort(), 0) << "no Dovecot started for this run in " PW_POP3_SERVER_DIR;
        StoreAccount(Store, "Home", "127.0.0.1", DovecotPort(), homeUser, "pw-" + homeUser);
        StoreAccount(Store, "Work", "localhost", DovecotPort(), "engine-work", "pw-engine-work");
        StoreBlockedSender(Store, " Carol <carol@example.net>");
        Start();
        Options.SetSaveBlocked(saveBlocked);
        Trigger("actCheckNow");
        ASSERT_TRUE(WaitForPanel("Done")) << Form->StatusText(0).toStdString() << Errors.join('\n').toStdString();
    }

    // The blocked entry is the sender as received; Jörg's name comes encoded.
    const QStringList expectedRows{"Home #1 Ann Example <ann@example.org>", "Home #3 Jörg <joerg@example.de>",
                                   "Work #1 Jörg <joerg@example.de>"};
};

TEST_F(CheckAgainstDovecot, TwoAccountsListTheirMessagesAndLeaveABlockedOneWhenSaved)
{
    CheckTwoAccounts("engine-keep", true);
    EXPECT_EQ(ShownRows(), expectedRows);
    EXPECT_EQ(Form->StatusText(2), "3 new messages");
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_FALSE(Form->Engine->EngineBusy());
    EXPECT_EQ(MessagesOnServer("engine-keep"), 3);
}

TEST_F(CheckAgainstDovecot, ABlockedSenderIsDeletedOnTheServerUnlessSaved)
{
    CheckTwoAccounts("engine-delete", false);
    EXPECT_EQ(ShownRows(), (QStringList{"Home #1 Ann Example <ann@example.org>", "Home #2 Jörg <joerg@example.de>",
                                        "Work #1 Jörg <joerg@example.de>"}))
        << "Jörg's message is the second on the server once Carol's is deleted";
    EXPECT_EQ(MessagesOnServer("engine-delete"), 2);
    EXPECT_EQ(MessagesOnServer("engine-work"), 1);
}

// Ann's entry is unticked; Carol's holds a blank, which a "From: " alone
// does not match; Dave's message names its fields in lower case.
TEST_F(CheckAgainstDovecot, OnlyTickedEntriesBlockAndABlankSenderIsNobody)
{
    ASSERT_GT(DovecotPort(), 0);
    StoreAccount(Store, "Home", "127.0.0.1", DovecotPort(), "engine-senders", "pw-engine-senders");
    StoreBlockedSender(Store, " Ann Example <ann@example.org>", false);
    StoreBlockedSender(Store, " Carol <carol@example.net>");
    StoreBlockedSender(Store, " Dave <dave@example.com>");
    Start();
    Options.SetSaveBlocked(false);
    Trigger("actCheckNow");
    ASSERT_TRUE(WaitForPanel("Done")) << Errors.join('\n').toStdString();
    EXPECT_EQ(ShownRows(), (QStringList{"Home #1 Ann Example <ann@example.org>", "Home #2 "}));
    EXPECT_EQ(MessagesOnServer("engine-senders"), 2);
}

TEST_F(CheckAgainstDovecot, AWrongPasswordIsToldAndTheWindowStaysFree)
{
    ASSERT_GT(DovecotPort(), 0);
    StoreAccount(Store, "Home", "127.0.0.1", DovecotPort(), "engine-work", "not-the-password");
    Start();
    Trigger("actCheckNow");
    ASSERT_TRUE(WaitUntil([&] { return Form->StatusText(0).startsWith("Home: Login refused, "); }));
    EXPECT_EQ(Boxes, QStringList{"Login error | Username or Password for Homenot valid.\n\nAuthentication failed"});
    EXPECT_FALSE(Form->Engine->EngineBusy());
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

// A refusal that would retitle a terminal, colour it and turn the rest of
// the line around: the panel, its tooltip, the box and the tray's hint show
// the server's words without any of it.
TEST_F(CheckEndToEnd, AServersEscapeCodesReachNoPanelBoxOrTooltip)
{
    TScriptServer server;
    server.Replies["STAT"] = "-ERR [IN-USE] \x1b]0;owned\x07\x1b[41mred \xe2\x80\xaeRTL\r\n";
    StoreAccount(Store, "Home", "127.0.0.1", server.Port(), "ann", "secret");
    Start();
    Trigger("actCheckNow");
    ASSERT_TRUE(WaitUntil([&] { return !Form->Engine->EngineBusy() && Form->StatusText(0).startsWith("Home: "); }));

    const QStringList shown{Form->StatusText(0), Form->findChild<QLabel*>("StatusPanel0")->toolTip(),
                            Run.findChild<QSystemTrayIcon*>()->toolTip(), Boxes.join('\n')};
    EXPECT_TRUE(shown[0].startsWith("Home: -ERR [IN-USE] ]0;owned [41mred RTL, ")) << shown[0].toStdString();
    for (const QString& text : shown) {
        EXPECT_TRUE(text.contains("[41mred")) << text.toStdString();
        EXPECT_FALSE(text.contains(QChar(0x1b)) || text.contains(QChar(0x07)) || text.contains(QChar(0x202e)))
            << text.toStdString();
    }
}

// A server of this test's own, stopped and started again: the boxes of the
// user's check stay open, timed checks go on meanwhile without a box of
// their own, and once the server is back the next one lists its mail and
// the boxes close.
class ServerAway : public CheckEndToEnd
{
protected:
    void SetUp() override
    {
        CheckEndToEnd::SetUp();
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(Server({"add-user", dir.path(), "away", "pw-away"}));
        ASSERT_TRUE(Server({"deliver", dir.path(), "away", PW_MESSAGES_DIR "/plain.eml"}));
        ASSERT_TRUE(Server({"start", dir.path()}, &port));
        ASSERT_TRUE(Server({"stop", dir.path()}));
        SetMsgBoxHook({});
    }
    void TearDown() override
    {
        Server({"stop", dir.path()});
        for (QWidget* box : OpenBoxes())
            box->close();
        CheckEndToEnd::TearDown();
    }

    bool Server(const QStringList& arguments, QByteArray* output = nullptr)
    {
        QProcess process;
        process.start(POSTWATCH_SOURCE_DIR "/tools/pop3-server", arguments);
        const bool ran = process.waitForFinished(30000) && process.exitCode() == 0;
        if (output)
            *output = process.readAllStandardOutput().trimmed();
        return ran;
    }

    static QList<QWidget*> OpenBoxes()
    {
        QList<QWidget*> boxes;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox*>(widget) && widget->isVisible())
                boxes << widget;
        return boxes;
    }

    QTemporaryDir dir{QStringLiteral("/tmp/postwatch-away-XXXXXX")};
    QByteArray port;
};

TEST_F(ServerAway, ItsFailureIsToldOnceAndTheTimedCheckAfterItsReturnListsTheMail)
{
    StoreAccount(Store, "Away", "127.0.0.1", port.toInt(), "away", "pw-away");
    Start();
    Options.SetInterval(1);
    Options.SetCheckingEnabled(true);
    Trigger("actCheckNow");
    ASSERT_TRUE(WaitUntil([&] { return Form->StatusText(0).startsWith("Away: Failed to connect, "); }));
    ASSERT_EQ(OpenBoxes().size(), 1) << "one box, with the failure's words";

    Form->TimerMain->start(200);
    const QString checkedAt = Form->StatusText(1);
    ASSERT_TRUE(WaitUntil([&] { return Form->StatusText(1) != checkedAt; })) << "a timed check ran";
    EXPECT_EQ(OpenBoxes().size(), 1) << "and opened no box";

    ASSERT_TRUE(Server({"start", dir.path(), QString::fromLatin1(port)}));
    ASSERT_TRUE(WaitForPanel("Done"));
    EXPECT_EQ(ShownRows(), QStringList{"Away #1 Ann Example <ann@example.org>"});
    EXPECT_TRUE(WaitUntil([] { return OpenBoxes().isEmpty(); })) << "the stale boxes closed";
}

// Delete and Quick View of listed rows on Dovecot, where another client
// may take messages away between the check and the action.
class ActionsAgainstDovecot : public CheckEndToEnd
{
protected:
    // Each test has a mailbox of its own, for it deletes messages.
    void Begin(const QString& user)
    {
        this->user = user;
        ASSERT_GT(DovecotPort(), 0);
        StoreAccount(Store, "Home", "127.0.0.1", DovecotPort(), user, "pw-" + user);
        Start();
        View = std::make_unique<TQuickView>(Options, Form->actDelete, Form->actLaunch,
                                            [this] { return Form->SelectedSender(); });
        Form->QuickView = View.get();
        CheckNow();
    }
    void CheckNow()
    {
        Trigger("actCheckNow");
        ASSERT_TRUE(WaitForPanel("Done")) << Errors.join('\n').toStdString();
    }
    void Select(int row)
    {
        Form->listMessages->setCurrentIndex(Form->listMessages->model()->index(row, 0));
    }

    // Another program deletes the first message for good.
    void DeleteFirstElsewhere()
    {
        OtherSession(user, [](TPop3Client& other) { other.DeleteMessage(1); });
    }

    QString user;
    const QString moved = "This message is no longer on the server as listed. Check for mail again.";
};

TEST_F(ActionsAgainstDovecot, QuickViewShowsTheSelectedMessageAndRefusesOneThatMoved)
{
    ASSERT_NO_FATAL_FAILURE(Begin("actions-view"));
    ASSERT_EQ(ShownRows().size(), 3);
    Select(1);
    Trigger("actView");
    EXPECT_TRUE(View->isVisible());
    EXPECT_EQ(View->lblSubject->text(), "Grüße aus Köln");
    EXPECT_EQ(View->lblAccount->text(), "Home");
    EXPECT_TRUE(View->MsgText->toPlainText().startsWith("Viele Grüße.")) << View->MsgText->toPlainText().toStdString();

    View->hide();
    DeleteFirstElsewhere();
    Trigger("actView");
    EXPECT_FALSE(View->isVisible());
    EXPECT_EQ(Boxes.last(), "Quick View | " + moved);
}

// The quick view's label shows the sender without the blank after "From:";
// the entry must keep it, as the list's Block Sender does, to block.
TEST_F(ActionsAgainstDovecot, BlockSenderInTheQuickViewHidesTheSenderFromTheNextCheck)
{
    ASSERT_NO_FATAL_FAILURE(Begin("actions-block"));
    Options.SetSaveBlocked(true);
    Select(1);
    Trigger("actView");
    ASSERT_TRUE(View->isVisible());
    OnNextModal([](QDialog& dialog) { dialog.findChild<QPushButton*>("btnOK")->click(); });
    View->btnBlockSender->click();
    CheckNow();
    EXPECT_EQ(ShownRows(),
              (QStringList{"Home #1 Ann Example <ann@example.org>", "Home #3 Carol <carol@example.net>"}));
}

TEST_F(ActionsAgainstDovecot, DeleteRefusesAMovedMessageAndDeletesItAfterANewCheck)
{
    ASSERT_NO_FATAL_FAILURE(Begin("actions-delete"));
    DeleteFirstElsewhere();
    Select(1);
    Trigger("actDelete");
    EXPECT_EQ(Boxes.last(), "Delete Message | " + moved);
    EXPECT_EQ(MessagesOnServer(user), 2) << "nothing deleted";
    EXPECT_EQ(ShownRows().size(), 3);

    CheckNow();
    ASSERT_EQ(ShownRows().size(), 2);
    Select(0);
    Trigger("actDelete");
    EXPECT_EQ(MessagesOnServer(user), 1);
    EXPECT_EQ(ShownRows(), QStringList{"Home #1 Carol <carol@example.net>"});
    EXPECT_FALSE(Form->Engine->EngineBusy());
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

// Sorted by sender, last first, the Delete key deletes the message of the
// row the user selected.
TEST_F(ActionsAgainstDovecot, DeleteAfterSortingDeletesTheSelectedRowsMessage)
{
    ASSERT_NO_FATAL_FAILURE(Begin("actions-sorted"));
    Form->listMessages->sortByColumn(TMessageList::colFrom, Qt::DescendingOrder);
    ASSERT_EQ(ShownRows(), (QStringList{"Home #2 Jörg <joerg@example.de>", "Home #3 Carol <carol@example.net>",
                                        "Home #1 Ann Example <ann@example.org>"}));
    Select(1);
    Form->ShowAndRaise();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    QTest::keyClick(Form->listMessages, Qt::Key_Delete);
    EXPECT_EQ(Boxes, QStringList{"Delete Message | Are you sure you want to delete this message?"});
    EXPECT_EQ(ShownRows(), (QStringList{"Home #2 Jörg <joerg@example.de>", "Home #1 Ann Example <ann@example.org>"}));
    OtherSession(user, [](TPop3Client& other) {
        other.RetrieveSummary(2);
        EXPECT_EQ(other.Summary.From, " =?UTF-8?Q?J=C3=B6rg?= <joerg@example.de>");
    });
}

// A server that answers the first session up to TOP 2 and then says
// nothing; later sessions get every answer.
class SilentServer : public CheckEndToEnd
{
protected:
    void SetUp() override
    {
        CheckEndToEnd::SetUp();
        server.Replies["STAT"] = "+OK 2 400\r\n";
        server.Replies["TOP 1 0"] = "+OK\r\nFrom: Ann <ann@example.org>\r\nSubject: first\r\n.\r\n";
        server.Replies["TOP 2 0"] = "+OK\r\nFrom: Bea <bea@example.org>\r\nSubject: second\r\n.\r\n";
        server.Replies["LIST 1"] = "+OK 1 200\r\n";
        server.Replies["LIST 2"] = "+OK 2 200\r\n";
        server.Script = [this](const QByteArray& command) { return command == "TOP 2 0" && server.Connections == 1; };
        StoreAccount(Store, "Home", "127.0.0.1", server.Port(), "ann", "secret");
    }

    TScriptServer server;
};

TEST_F(SilentServer, ItIsGivenUpAndTheNextTimedCheckListsAll)
{
    Start();
    Options.SetTimeout(1);
    Options.SetInterval(1);
    EXPECT_EQ(Form->Pop1->TimeOut, 1000);
    Trigger("actCheckNow");
    ASSERT_TRUE(WaitUntil([&] { return Form->StatusText(0).startsWith("Home: No answer in time, "); }, 10000));
    EXPECT_EQ(Boxes, QStringList{QApplication::applicationName() + " | Connection Timed out"});
    EXPECT_FALSE(Form->Engine->EngineBusy());
    EXPECT_EQ(ShownRows(), QStringList{"Home #1 Ann <ann@example.org>"});

    Form->TimerMain->setSingleShot(true);
    Form->TimerMain->start(10);
    ASSERT_TRUE(WaitForPanel("Done", 10000)) << Errors.join('\n').toStdString();
    EXPECT_EQ(ShownRows(), (QStringList{"Home #1 Ann <ann@example.org>", "Home #2 Bea <bea@example.org>"}));
    EXPECT_EQ(Form->StatusText(2), "2 new messages");
    EXPECT_FALSE(Form->Engine->EngineBusy());
    EXPECT_EQ(server.Connections, 2);
}

TEST_F(SilentServer, ADueTickWhileTheServerIsSilentWaitsForTheCall)
{
    Start();
    Options.SetTimeout(1);
    Options.SetInterval(1);
    // The tick comes while TOP 2 waits for its reply.
    server.Script = [this](const QByteArray& command) {
        if (command != "TOP 2 0" || server.Connections != 1)
            return false;
        Form->TimerMain->setSingleShot(true);
        Form->TimerMain->start(10);
        return true;
    };
    Trigger("actCheckNow");
    ASSERT_TRUE(WaitForPanel("Done", 10000)) << Errors.join('\n').toStdString();
    EXPECT_EQ(Boxes, QStringList{QApplication::applicationName() + " | Connection Timed out"})
        << "the waiting call ended first";
    EXPECT_EQ(server.Connections, 2);
    EXPECT_EQ(ShownRows().size(), 2);
}

} // namespace
