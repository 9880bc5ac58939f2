// `postwatch --check` and `--list` as a status bar runs them: real processes
// on a profile of their own, against the test run's Dovecot.
#include "config/FileStore.h"
#include "config/Registry.h"
#include "config/StoreKeys.h"
#include "pop3/Certificate.h"
#include "pop3/Linesock.h"
#include "tests/support/TestAccounts.h"
#include "tests/support/TestDovecot.h"
#include "tests/unit/pop3/ScriptServer.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct CheckRun {
    int ExitCode = -1;
    QStringList Lines;
    QString Errors;
};

QProcessEnvironment ProfileEnvironment(const QString& profile)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("POSTWATCH_PROFILE", profile);
    environment.remove("DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    return environment;
}

CheckRun RunPostwatch(const QString& profile, const QStringList& arguments)
{
    QProcess process;
    process.setProcessEnvironment(ProfileEnvironment(profile));
    process.start(QStringLiteral(POSTWATCH_BINARY_DIR "/app/postwatch"), arguments);
    process.closeWriteChannel();
    // The event loop turns meanwhile: a scripted server of the test answers in it.
    if (!WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 60000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
            QString::fromUtf8(process.readAllStandardError())};
}

class CheckCommand : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_GT(DovecotPort(), 0) << "no Dovecot started for this run"; }

    void AddAccount(const QString& name, const QString& user, const QString& password,
                    const QString& server = "127.0.0.1", int port = DovecotPort())
    {
        FileStore store(profile.filePath("registry.reg"));
        StoreAccount(store, name, server, port, user, password);
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::Program, true);
        reg.WriteInteger("ConnType", 0); // loopback needs no internet connection
    }

    QTemporaryDir profile;
};

}

TEST_F(CheckCommand, PrintsOneLinePerMessageThenTheStatusAndSucceeds)
{
    AddAccount("Home", "check-cli", "pw-check-cli");
    const CheckRun run = RunPostwatch(profile.path(), {"--check"});

    ASSERT_EQ(run.ExitCode, 0) << run.Errors.toStdString();
    ASSERT_EQ(run.Lines.size(), 3 + 3) << run.Lines.join('\n').toStdString();
    const QStringList first = run.Lines[0].split('\t');
    ASSERT_EQ(first.size(), 7);
    EXPECT_EQ(first[0], "Ann Example <ann@example.org>");
    EXPECT_EQ(first[1], "Lunch on Friday");
    EXPECT_EQ(first[3], "Normal");
    EXPECT_EQ(first[5], "Home");
    EXPECT_EQ(first[6], "1");
    EXPECT_EQ(run.Lines[1].split('\t').mid(0, 2), (QStringList{"Jörg <joerg@example.de>", "Grüße aus Köln"}));
    EXPECT_EQ(run.Lines[2].split('\t').mid(0, 2), (QStringList{"André Roux <andre@example.fr>", "Привет und Grüße"}))
        << "a subject folded over two encoded words";
    EXPECT_EQ(run.Lines[3], "Done");
    EXPECT_TRUE(run.Lines[4].startsWith("Checked at: "));
    EXPECT_EQ(run.Lines[5], "3 new messages");
}

// A sender's terminal title, colour, tab and carriage return in the Date, a
// line separator in the From, a right-to-left override in the Subject.
TEST_F(CheckCommand, HostileHeaderTextsReachTheTerminalCleaned)
{
    AddAccount("Home", "check-hostile", "pw-check-hostile");
    const CheckRun run = RunPostwatch(profile.path(), {"--check"});

    ASSERT_EQ(run.ExitCode, 0) << run.Errors.toStdString();
    ASSERT_EQ(run.Lines.size(), 1 + 3) << run.Lines.join('\n').toStdString();
    const QStringList row = run.Lines[0].split('\t');
    ASSERT_EQ(row.size(), 7) << run.Lines[0].toStdString();
    EXPECT_EQ(row[0], "IT Support Password expired, call 0800 <it@example.org>");
    EXPECT_EQ(row[1], "Invoice fdp.exe");
    EXPECT_EQ(row[4], "Mon, 4 Dec 2000  ]0;owned  [31m10:00 +0100");
}

// The server's refusal is told on standard error, and quoted in the status
// on standard output; its escape sequences are not.
TEST_F(CheckCommand, AHostileServersReplyReachesTheTerminalCleaned)
{
    TScriptServer server;
    server.Replies = {{"USER", "+OK\r\n"}, {"PASS", "+OK\r\n"}, {"STAT", "-ERR \x1b]0;owned\x07\x1b[2Jlocked\r\n"}};
    AddAccount("Home", "ann", "pw", "127.0.0.1", server.Port());
    const CheckRun run = RunPostwatch(profile.path(), {"--check"});
    // A line before it may say that the passwords stay in the settings file.
    const QString& errors = run.Errors;
    EXPECT_TRUE(errors.endsWith("\n-ERR  ]0;owned  [2Jlocked\n") || errors == "-ERR  ]0;owned  [2Jlocked\n") << errors.toStdString();
    EXPECT_FALSE(errors.contains('\x1b'));
    const QString output = run.Lines.join('\n');
    EXPECT_TRUE(output.startsWith("Home: -ERR ]0;owned [2Jlocked, ")) << output.toStdString();
    EXPECT_FALSE(output.contains('\x1b') || output.contains('\x07')) << output.toStdString();
}

// A listing that names a message by escape codes is read in full, and the
// line that says so shows the server's words without them.
TEST_F(CheckCommand, AListingThatCannotBeTrustedIsToldCleaned)
{
    TScriptServer server;
    server.Replies = {{"CAPA", "+OK\r\nUIDL\r\n.\r\n"}, {"USER", "+OK\r\n"}, {"PASS", "+OK\r\n"},
                      {"STAT", "+OK 1 120\r\n"}, {"UIDL", "+OK\r\n\x1b]0;owned\x07 id-1\r\n.\r\n"},
                      {"TOP", "+OK\r\nFrom: ann@example.org\r\nSubject: hi\r\n\r\n.\r\n"},
                      {"LIST", "+OK 1 120\r\n"}, {"QUIT", "+OK\r\n"}};
    AddAccount("Home", "ann", "pw", "127.0.0.1", server.Port());
    const CheckRun run = RunPostwatch(profile.path(), {"--check"});

    const QString& errors = run.Errors;
    EXPECT_EQ(run.ExitCode, 0) << errors.toStdString();
    EXPECT_TRUE(errors.contains("Home: the listing names a message ]0;owned the mailbox does not hold; every message "
                                "is read in full\n")) << errors.toStdString();
    EXPECT_FALSE(errors.contains('\x1b') || errors.contains('\x07')) << errors.toStdString();
    EXPECT_TRUE(run.Lines.value(0).startsWith("ann@example.org\thi\t"));
}

TEST_F(CheckCommand, WrongPasswordGoesToStandardErrorWithExitOne)
{
    AddAccount("Home", "check-cli", "not-the-password");
    const CheckRun run = RunPostwatch(profile.path(), {"--check"});

    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Errors.contains("Username or Password for Homenot valid.")) << run.Errors.toStdString();
    ASSERT_EQ(run.Lines.size(), 3) << run.Lines.join('\n').toStdString();
    EXPECT_TRUE(run.Lines[0].startsWith("Home: Login refused, ")) << "the check ends, naming the failure";
    EXPECT_EQ(run.Lines[2], "Check failed for Home");
}

TEST_F(CheckCommand, NoAccountIsAFailure)
{
    const CheckRun run = RunPostwatch(profile.path(), {"--check"});

    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Errors.contains("There are no accounts to check"));
}

// 0.0.0.0 would reach the server on this machine, with the password.
TEST_F(CheckCommand, AnUnspecifiedServerAddressIsRefusedBeforeConnecting)
{
    AddAccount("Home", "check-cli", "pw-check-cli", "0.0.0.0");
    const CheckRun run = RunPostwatch(profile.path(), {"--check"});

    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Errors.contains("Null Remote Address")) << run.Errors.toStdString();
}

// The server's own certificate is refused until the account trusts its
// fingerprint; then both secure ways list the mailbox.
TEST_F(CheckCommand, ListsASecuredMailboxOnceItsCertificateIsTrusted)
{
    AddAccount("Home", "tls-check-cli", "pw-tls-check-cli", "localhost");
    const auto secure = [&](int security, int port, const QString& fingerprint) {
        FileStore store(profile.filePath("registry.reg"));
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::Accounts + QStringLiteral("\\Home"), false);
        reg.WriteInteger("Security", security);
        reg.WriteInteger("Port", port);
        reg.WriteString("CertFingerprint", fingerprint);
    };
    const QString fingerprint = Fingerprint(DovecotCertificate());

    secure(secTls, DovecotTlsPort(), {});
    CheckRun run = RunPostwatch(profile.path(), {"--check"});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Errors.contains("The certificate of localhost cannot be trusted: it is not signed by an authority "
                                    "this computer trusts.\nSHA-256 fingerprint: " + fingerprint))
        << run.Errors.toStdString();
    EXPECT_TRUE(run.Lines.value(0).startsWith("Home: Certificate not trusted, ")) << run.Lines.join('\n').toStdString();

    for (const auto& [security, port] : {std::pair{secTls, DovecotTlsPort()}, {secStartTls, DovecotPort()}}) {
        secure(security, port, fingerprint);
        run = RunPostwatch(profile.path(), {"--check"});
        EXPECT_EQ(run.ExitCode, 0) << run.Errors.toStdString();
        EXPECT_EQ(run.Lines.size(), 2 + 3) << run.Lines.join('\n').toStdString();
    }
}

// A panel asks the running copy for what it lists; only that copy checks.
TEST_F(CheckCommand, ListAsksTheRunningCopyForItsRows)
{
    AddAccount("Home", "check-cli", "pw-check-cli");
    const CheckRun none = RunPostwatch(profile.path(), {"--list"});
    EXPECT_EQ(none.ExitCode, 3);
    EXPECT_EQ(none.Errors, "postwatch: Postwatch is not running, so there is nothing to list.\n");

    QProcess running;
    running.setProcessEnvironment(ProfileEnvironment(profile.path()));
    running.start(QStringLiteral(POSTWATCH_BINARY_DIR "/app/postwatch"), {});
    ASSERT_TRUE(WaitUntil([&] { return RunPostwatch(profile.path(), {"--list"}).ExitCode == 0; }, 20000));
    EXPECT_EQ(RunPostwatch(profile.path(), {"/CheckNow"}).ExitCode, 0) << "handed to the running copy";
    QJsonObject panel;
    ASSERT_TRUE(WaitUntil([&] {
        panel = QJsonDocument::fromJson(RunPostwatch(profile.path(), {"--list", "--json"}).Lines.join("").toUtf8()).object();
        return panel["status"].toArray().first().toString() == "Done";
    }, 20000)) << QJsonDocument(panel).toJson().toStdString();
    EXPECT_EQ(panel["count"].toInt(), 3);
    EXPECT_EQ(panel["text"].toString(), "3");
    EXPECT_EQ(panel["class"].toString(), "high");
    EXPECT_EQ(panel["rows"].toArray()[2].toObject()["subject"].toString(), "Привет und Grüße");
    EXPECT_EQ(panel["tooltip"].toString().split('\n').value(1), "Jörg: Grüße aus Köln");

    const CheckRun text = RunPostwatch(profile.path(), {"--list"});
    EXPECT_EQ(text.Lines.value(0).split('\t').mid(0, 2), (QStringList{"Ann Example <ann@example.org>", "Lunch on Friday"}));
    EXPECT_EQ(text.Lines.value(3), "Done");
    running.kill();
    running.waitForFinished();
}

// With a server down, the panel says the check failed and for which account,
// instead of an empty "none"; the other account's rows are still counted.
TEST_F(CheckCommand, ListNamesAFailedAccountAndItsReason)
{
    AddAccount("Home", "check-cli", "pw-check-cli");
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const int deadPort = closed.serverPort();
    closed.close();
    AddAccount("Away", "check-cli", "pw-check-cli", "127.0.0.1", deadPort);

    QProcess running;
    running.setProcessEnvironment(ProfileEnvironment(profile.path()));
    running.start(QStringLiteral(POSTWATCH_BINARY_DIR "/app/postwatch"), {});
    ASSERT_TRUE(WaitUntil([&] { return RunPostwatch(profile.path(), {"--list"}).ExitCode == 0; }, 20000));
    EXPECT_EQ(RunPostwatch(profile.path(), {"/CheckNow"}).ExitCode, 0);
    QJsonObject panel;
    ASSERT_TRUE(WaitUntil([&] {
        panel = QJsonDocument::fromJson(RunPostwatch(profile.path(), {"--list", "--json"}).Lines.join("").toUtf8()).object();
        return panel["status"].toArray()[2].toString().endsWith("; 3 new messages");
    }, 20000)) << QJsonDocument(panel).toJson().toStdString();
    EXPECT_EQ(panel["class"].toString(), "failed");
    EXPECT_EQ(panel["failed"].toArray(), (QJsonArray{QJsonObject{{"account", "Away"}, {"reason", "Failed to connect"}}}));
    EXPECT_EQ(panel["status"].toArray()[2].toString(), "Check failed for Away; 3 new messages");
    running.kill();
    running.waitForFinished();
}

// The folder's unread mail, and nothing marked read by listing it.
TEST_F(CheckCommand, ListsTheUnreadMailOfAnImapFolder)
{
    QFile imapPort(PW_POP3_SERVER_DIR "/imap-port");
    ASSERT_TRUE(imapPort.open(QIODevice::ReadOnly));
    AddAccount("Home", "imap-check", "pw-imap-check", "127.0.0.1", imapPort.readAll().trimmed().toInt());
    {
        FileStore store(profile.filePath("registry.reg"));
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::Accounts + QStringLiteral("\\Home"), false);
        reg.WriteString("Protocol", "IMAP");
    }
    for (int run = 0; run < 2; ++run) {
        const CheckRun check = RunPostwatch(profile.path(), {"--check"});
        ASSERT_EQ(check.ExitCode, 0) << check.Errors.toStdString();
        ASSERT_EQ(check.Lines.size(), 2 + 3) << check.Lines.join('\n').toStdString();
        EXPECT_TRUE(check.Lines[0].startsWith("Ann Example <ann@example.org>\t"));
        EXPECT_TRUE(check.Lines[1].startsWith("Jörg <joerg@example.de>\t"));
        EXPECT_TRUE(check.Lines[1].endsWith("\tHome\t")) << "no message number";
    }
}
