// IMAP accounts in the real main window, offscreen, against Dovecot: the
// list holds the folder's unread mail, nothing becomes read unasked, and new
// mail is told as it arrives, also after the server was away.

#include "engine/CheckEngine.h"
#include "app/Mainformdlg.h"
#include "engine/MessageList.h"
#include "widgets/MsgBox.h"
#include "tests/support/WindowTest.h"
#include "base/Guard.h"
#include "config/Registry.h"
#include "dialogs/Configdlg.h"
#include "config/RegistryStore.h"
#include "config/Settings.h"
#include "config/StoreKeys.h"
#include "desktop/Runformdlg.h"
#include "viewer/Quickviewdlg.h"
#include "tests/support/ScriptedDialUp.h"
#include "tests/support/TestAccounts.h"
#include "tests/support/TestDovecot.h"
#include "tests/unit/pop3/ScriptServer.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QLabel>
#include <QTreeView>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QString ServerTool = QStringLiteral(POSTWATCH_SOURCE_DIR "/tools/pop3-server");

QString RunServerTool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(ServerTool, arguments);
    tool.waitForFinished(60000);
    EXPECT_EQ(tool.exitCode(), 0) << arguments.join(' ').toStdString() << tool.readAllStandardError().toStdString();
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

class ImapEndToEnd : public WindowTest
{
protected:
    void Begin(const QString& serverDir, const QString& user)
    {
        dir = serverDir;
        const int port = RunServerTool({"imap-port", dir}).toInt();
        ASSERT_GT(port, 0) << "no IMAP server in " << dir.toStdString();
        StoreAccount(Store, "Home", "127.0.0.1", port, user, "pw-" + user);
        TRegistry reg(Store);
        reg.OpenKey(StoreKeys::Accounts + QStringLiteral("\\Home"), false);
        reg.WriteString(QStringLiteral("Protocol"), QStringLiteral("IMAP"));
        Form = std::make_unique<TMainForm>(Store, Options, DialUp, Run, QStringLiteral("postwatch"));
        Config = std::make_unique<TConfigForm>(Options, *Form->Pop1, [] {});
        Options.SetConnType(LanConn);
        View = std::make_unique<TQuickView>(Options, Form->actDelete, Form->actLaunch,
                                            [this] { return Form->SelectedSender(); });
        Form->QuickView = View.get();
        CheckNow();
    }

    void CheckNow()
    {
        Form->findChild<QAction*>("actCheckNow")->trigger();
        ASSERT_TRUE(WaitUntil([this] { return !Form->Engine->EngineBusy(); }, 20000)) << Errors.join('\n').toStdString();
    }

    QStringList Senders() const
    {
        const QAbstractItemModel* model = Form->listMessages->model();
        QStringList rows;
        for (int row = 0; row < model->rowCount(); ++row)
            rows << model->index(row, TMessageList::colFrom).data(Qt::ToolTipRole).toString();
        rows.sort();
        return rows;
    }

    void Deliver(const QString& user, const QString& message, bool seen = false)
    {
        RunServerTool({seen ? "deliver-seen" : "deliver", dir, user, PW_MESSAGES_DIR "/" + message});
    }

    // Messages in the maildir, and how many carry the read flag.
    std::pair<int, int> StoredAndRead(const QString& user) const
    {
        int stored = 0, read = 0;
        for (const QString folder : {"new", "cur"})
            for (const QString& name : QDir(dir + "/mail/" + user + "/" + folder).entryList(QDir::Files)) {
                ++stored;
                read += name.section(":2,", 1).contains('S');
            }
        return {stored, read};
    }

    QString dir;
};

const QString Ann = QStringLiteral("Ann Example <ann@example.org>");
const QString Joerg = QStringLiteral("Jörg <joerg@example.de>");
const QString Carol = QStringLiteral("Carol <carol@example.net>");

TEST_F(ImapEndToEnd, TheFolderUnreadMailIsListedViewedAndDeletedAndNothingBecomesRead)
{
    ASSERT_NO_FATAL_FAILURE(Begin(PW_POP3_SERVER_DIR, "imap-list"));
    EXPECT_EQ(Senders(), (QStringList{Ann, Joerg})) << Errors.join('\n').toStdString();
    EXPECT_EQ(StoredAndRead("imap-list"), std::make_pair(4, 1)) << "one more unread, marked deleted elsewhere";

    Form->listMessages->setCurrentIndex(Form->listMessages->model()->index(0, 0));
    const QString shownFrom = Form->listMessages->currentIndex().siblingAtColumn(TMessageList::colFrom).data(Qt::ToolTipRole).toString();
    Form->findChild<QAction*>("actView")->trigger();
    ASSERT_TRUE(WaitUntil([this] { return View->isVisible(); }, 10000)) << Boxes.join('\n').toStdString();
    EXPECT_EQ(View->lblAccount->text(), "Home");
    EXPECT_EQ(StoredAndRead("imap-list"), std::make_pair(4, 1)) << "viewing marks nothing read";

    View->hide();
    Form->findChild<QAction*>("actDelete")->trigger();
    ASSERT_TRUE(WaitUntil([this] { return Senders().size() == 1; }, 10000)) << Boxes.join('\n').toStdString();
    EXPECT_FALSE(Senders().contains(shownFrom));
    EXPECT_EQ(StoredAndRead("imap-list"), std::make_pair(3, 1));
}

TEST_F(ImapEndToEnd, NewMailIsToldAsItArrivesAndMailReadElsewhereLeaves)
{
    ASSERT_NO_FATAL_FAILURE(Begin(PW_POP3_SERVER_DIR, "imap-push"));
    ASSERT_EQ(Senders(), QStringList{Ann});

    Deliver("imap-push", "utf8.eml");
    EXPECT_TRUE(WaitUntil([this] { return Senders().size() == 2; }, 10000)) << Errors.join('\n').toStdString();
    EXPECT_EQ(Senders(), (QStringList{Ann, Joerg}));
}

// The server stops under an idling connection and comes back: the
// connection is opened again unasked, and mail delivered meanwhile is told.
TEST_F(ImapEndToEnd, AfterTheServerRestartsNewMailIsToldAgain)
{
    QTemporaryDir server(QDir::tempPath() + "/pw-imap-restart-XXXXXX");
    dir = server.path();
    RunServerTool({"add-user", server.path(), "restart", "pw-restart"});
    Deliver("restart", "plain.eml");
    const QString port = RunServerTool({"start", server.path()});
    ASSERT_NO_FATAL_FAILURE(Begin(server.path(), "restart"));
    ASSERT_EQ(Senders(), QStringList{Ann});

    RunServerTool({"stop", server.path()});
    RunServerTool({"start", server.path(), port});
    Deliver("restart", "utf8.eml");
    EXPECT_TRUE(WaitUntil([this] { return Senders().size() == 2; }, 20000)) << Errors.join('\n').toStdString();
    RunServerTool({"stop", server.path()});
}

}
