#include "../pop3/ScriptServer.h"

#include "imap/ImapClient.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <map>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// A scripted server for what a real one never says. Its replies are keyed by
// the command after the tag, longest match first; "TAG" in a reply becomes
// the command's tag.
namespace {

class imapClient : public testing::Test
{
protected:
    imapClient()
    {
        server.Greeting = "* OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=PLAIN IDLE] ready\r\n";
        replies["AUTHENTICATE PLAIN"] = "TAG OK [CAPABILITY IMAP4rev1 IDLE UIDPLUS] in\r\n";
        replies["EXAMINE"] = "* 3 EXISTS\r\n* OK [UIDVALIDITY 7] v\r\nTAG OK [READ-ONLY] done\r\n";
        replies["SELECT"] = "* 3 EXISTS\r\n* OK [UIDVALIDITY 7] v\r\nTAG OK [READ-WRITE] done\r\n";
        replies["UID SEARCH UID"] = "* SEARCH 5\r\nTAG OK done\r\n";
        replies["UID STORE"] = "TAG OK done\r\n";
        replies["UID SEARCH UNSEEN"] = "* SEARCH 9 5\r\nTAG OK done\r\n";
        replies["IDLE"] = "+ idling\r\n";
        replies["LOGOUT"] = "* BYE bye\r\nTAG OK done\r\n";
        server.Script = [this](const QByteArray& line) {
            Answer(line);
            return true;
        };
        login.Host = "127.0.0.1";
        login.Port = server.Port();
        login.User = "ann";
        login.Password = "s3cret";
        client.TimeOut = 5000;
        QObject::connect(&client, &TImapClient::Failed, [this](const TImapError& error) { failures.append(error); });
        QObject::connect(&client, &TImapClient::Changed, [this] { ++changes; });
    }

    void Answer(const QByteArray& line)
    {
        const qsizetype blank = line.indexOf(' ');
        const QByteArray tag = line.left(blank), command = line.mid(blank + 1);
        if (line == "DONE") {
            server.Send(idleTag + " OK done\r\n");
            return;
        }
        if (command == "IDLE")
            idleTag = tag;
        QByteArray best;
        for (const auto& [key, reply] : replies)
            if (command.startsWith(key) && key.size() >= best.size())
                best = key;
        server.Send(best.isEmpty() && !replies.contains(best) ? tag + " BAD unknown\r\n" : QByteArray(replies[best]).replace("TAG", tag));
    }

    bool Open()
    {
        QSignalSpy opened(&client, &TImapClient::Opened);
        client.Open(login);
        return WaitUntil([&] { return opened.count() > 0 || !failures.isEmpty(); }) && opened.count() == 1;
    }

    // The one failure a request ends in.
    TImapError FailureOf(const std::function<void()>& request)
    {
        EXPECT_TRUE(Open());
        request();
        EXPECT_TRUE(WaitUntil([&] { return !failures.isEmpty(); }));
        EXPECT_EQ(failures.size(), 1) << failures.value(0).Message.toStdString();
        return failures.value(0);
    }

    QList<QByteArray> CommandsWith(const QByteArray& tagged)
    {
        QList<QByteArray> found;
        for (const QByteArray& line : server.Commands)
            if (line.contains(tagged))
                found.append(line);
        return found;
    }

    TScriptServer server;
    std::map<QByteArray, QByteArray> replies;
    QByteArray idleTag;
    TImapClient client;
    TImapLogin login;
    QList<TImapError> failures;
    int changes = 0;
};

} // namespace

TEST_F(imapClient, ListsFetchesInOneCommandAndDeletesByUid)
{
    replies["UID FETCH"] = "* 2 FETCH (UID 5 RFC822.SIZE 120 FLAGS () BODY[HEADER.FIELDS (FROM SUBJECT)] {9}\r\nFrom: a\r\n)\r\n"
                           "* 3 FETCH (FLAGS (\\Seen) UID 9 RFC822.SIZE 80 BODY[HEADER.FIELDS (FROM SUBJECT)] \"\")\r\n"
                           "TAG OK done\r\n";
    replies["UID EXPUNGE"] = "* 2 EXPUNGE\r\nTAG OK done\r\n";
    login.Folder = QString::fromUtf8("Entw\xc3\xbcrfe & \"Co\"");
    ASSERT_TRUE(Open());
    EXPECT_EQ(CommandsWith("EXAMINE"), QList<QByteArray>({"A2 EXAMINE \"Entw&APw-rfe &- \\\"Co\\\"\""}));
    EXPECT_EQ(client.UidValidity(), 7u);
    EXPECT_TRUE(client.CanIdle());
    QSignalSpy searched(&client, &TImapClient::Searched);
    QSignalSpy fetched(&client, &TImapClient::HeadersFetched);
    QSignalSpy deleted(&client, &TImapClient::Deleted);
    client.SearchUnseen();
    client.FetchHeaders({9, 5, 6, 7, 12}, {"From", "Subject"});
    client.Delete(5);
    ASSERT_TRUE(WaitUntil([&] { return deleted.count() == 1 || !failures.isEmpty(); }));
    EXPECT_EQ(searched.first().first().value<QList<quint32>>(), QList<quint32>({5, 9}));
    const auto messages = fetched.first().first().value<QList<TImapMessage>>();
    ASSERT_EQ(messages.size(), 2) << "ids the server no longer has are left out";
    EXPECT_EQ(messages[0].Uid, 5u);
    EXPECT_EQ(messages[0].Size, 120);
    EXPECT_FALSE(messages[0].Seen);
    EXPECT_EQ(messages[0].Header, "From: a\r\n");
    EXPECT_TRUE(messages[1].Seen);
    EXPECT_EQ(deleted.first().at(1).value<TImapDeletion>(), TImapDeletion::Expunged);
    EXPECT_EQ(CommandsWith("UID FETCH"),
              QList<QByteArray>({"A4 UID FETCH 5:7,9,12 (UID RFC822.SIZE FLAGS BODY.PEEK[HEADER.FIELDS (FROM SUBJECT)])"}));
    EXPECT_EQ(CommandsWith(" UID "),
              QList<QByteArray>({"A3 UID SEARCH UNSEEN UNDELETED", CommandsWith("UID FETCH").value(0), "A6 UID SEARCH UID 5",
                                 "A7 UID STORE 5 +FLAGS.SILENT (\\Deleted)", "A8 UID EXPUNGE 5"}));
    EXPECT_TRUE(failures.isEmpty());
}

TEST_F(imapClient, WithoutUidplusOrMoveOnlyMarksDeleted)
{
    replies["AUTHENTICATE PLAIN"] = "TAG OK [CAPABILITY IMAP4rev1 IDLE] in\r\n";
    ASSERT_TRUE(Open());
    QSignalSpy deleted(&client, &TImapClient::Deleted);
    QSignalSpy gone(&client, &TImapClient::Gone);
    client.Delete(5);
    client.Delete(6);
    ASSERT_TRUE(WaitUntil([&] { return gone.count() == 1; }));
    EXPECT_EQ(deleted.first().at(1).value<TImapDeletion>(), TImapDeletion::MarkedDeleted);
    EXPECT_EQ(gone.first().first().value<quint32>(), 6u);
    EXPECT_TRUE(CommandsWith("EXPUNGE").isEmpty()) << "a plain EXPUNGE would remove what others marked";
}

TEST_F(imapClient, IdlesTellsChangesAndRenews)
{
    client.IdleRenewal = 300;
    ASSERT_TRUE(Open());
    client.Idle();
    ASSERT_TRUE(WaitUntil([&] { return !idleTag.isEmpty(); }));
    server.Send("* OK Still here\r\n* 4 EXISTS\r\n* 1 FETCH (FLAGS (\\Seen))\r\n");
    ASSERT_TRUE(WaitUntil([&] { return changes == 2; }));
    ASSERT_TRUE(WaitUntil([&] { return server.Commands.count("DONE") == 2; })) << "renewed every IdleRenewal";
    QSignalSpy searched(&client, &TImapClient::Searched);
    client.SearchUnseen();
    ASSERT_TRUE(WaitUntil([&] { return searched.count() == 1; }));
    EXPECT_EQ(server.Commands.mid(server.Commands.size() - 2, 1), QList<QByteArray>({"DONE"})) << "a request ends the IDLE first";
    EXPECT_TRUE(failures.isEmpty());
}

TEST_F(imapClient, ServerThatNeverAnswersDoneIsDead)
{
    client.TimeOut = 300;
    client.IdleRenewal = 100;
    replies["IDLE"] = "+ idling\r\n";
    const TImapError error = FailureOf([this] {
        server.Script = [this](const QByteArray& line) {
            if (line != "DONE")
                Answer(line);
            return true;
        };
        client.Idle();
    });
    EXPECT_EQ(error.Kind, TImapErrorKind::Network);
    EXPECT_EQ(error.Message, "No answer from 127.0.0.1 within 0.3 seconds");
    EXPECT_TRUE(WaitUntil([&] { return server.Disconnections == 1; }));
}

TEST_F(imapClient, HostileRepliesEndTheSessionInWords)
{
    client.MemoryLimit = 1024 * 1024;
    struct Case
    {
        QByteArray command, reply;
        std::function<void(TImapClient&)> request;
        TImapErrorKind kind;
        QString message;
    };
    const auto search = [](TImapClient& c) { c.SearchUnseen(); };
    const auto fetch = [](TImapClient& c) { c.FetchMessage(5); };
    const QByteArray endless = QByteArray("* 1 RECENT\r\n").repeated(100000);
    const Case cases[] = {
        {"UID FETCH", "* 1 FETCH (UID 5 BODY[] {2147483648}\r\n", fetch, TImapErrorKind::Protocol,
         "The server 127.0.0.1 announced 2147483648 bytes of data at once, more than the 1 MiB a session may hold"},
        {"UID SEARCH UNSEEN", endless, search, TImapErrorKind::Protocol,
         "The server 127.0.0.1 sent more than 1 MiB in answer to one command"},
        {"UID SEARCH UNSEEN", QByteArray(2 * 1024 * 1024, 'x'), search, TImapErrorKind::Protocol,
         "The server 127.0.0.1 sent more than 1 MiB in answer to one command"},
        {"UID FETCH", "* 1 FETCH (UID 6 BODY[] {3}\r\nabc)\r\nTAG OK done\r\n", fetch, TImapErrorKind::Protocol,
         "The server 127.0.0.1 sent a message that was not asked for"},
        {"UID FETCH", "* 1 FETCH (BODY[] \"abc\")\r\nTAG OK done\r\n", fetch, TImapErrorKind::Protocol,
         "The server 127.0.0.1 sent a message that was not asked for"},
        {"UID SEARCH UNSEEN", "* 2 EXISTS\r\nTAG OK done\r\n", search, TImapErrorKind::Protocol,
         "The server 127.0.0.1 counted fewer messages (2) than before (3) without removing any"},
        {"UID SEARCH UNSEEN", "* BYE Going \x1b[31mdown\r\n", search, TImapErrorKind::Network,
         "127.0.0.1 closed the connection: Going [31mdown"},
        {"UID SEARCH UNSEEN", "+ more please\r\n", search, TImapErrorKind::Protocol,
         "The server 127.0.0.1 asked for data nobody offered"},
        {"UID SEARCH UNSEEN", "* 1 FETCH (UID 5\r\n", search, TImapErrorKind::Protocol,
         "The server 127.0.0.1 sent a reply whose parentheses do not match"},
        {"UID SEARCH UNSEEN", "B1 OK done\r\n", search, TImapErrorKind::Protocol,
         "The server 127.0.0.1 answered a command it was not given"},
        {"UID STORE", "TAG OK done\r\n", [](TImapClient& c) { c.MarkSeen(5); }, TImapErrorKind::Protocol,
         "The server 127.0.0.1 replaced the folder \"INBOX\" while Postwatch watched it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        failures.clear();
        replies[c.command] = c.reply;
        if (c.command == "UID STORE")
            replies["SELECT"] = "* OK [UIDVALIDITY 8] v\r\nTAG OK done\r\n";
        const int connections = server.Connections;
        const TImapError error = FailureOf([&] { c.request(client); });
        EXPECT_EQ(error.Kind, c.kind);
        EXPECT_EQ(error.Message, c.message);
        EXPECT_FALSE(client.IsOpen());
        EXPECT_EQ(server.Connections, connections + 1) << "opened again after the failure";
        replies.erase(c.command);
    }
}

TEST_F(imapClient, SignsInOnlyAsTheAccountAllows)
{
    // No AUTH=PLAIN: LOGIN, with a synchronising literal for 8-bit bytes.
    server.Greeting = "* OK [CAPABILITY IMAP4rev1] ready\r\n";
    replies["LOGIN"] = "+ go on\r\n";
    login.Password = QString::fromUtf8("gr\xc3\xbc\xc3\x9f");
    server.Script = [this](const QByteArray& line) {
        if (line.startsWith("gr"))
            server.Send("A1 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n");
        else
            Answer(line);
        return true;
    };
    EXPECT_FALSE(Open());
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0].Kind, TImapErrorKind::WrongPassword);
    EXPECT_EQ(failures[0].Message, "127.0.0.1 refused the user name or password");
    EXPECT_EQ(server.Commands, QList<QByteArray>({"A1 LOGIN \"ann\" {6}", QByteArray("gr\xc3\xbc\xc3\x9f")}));

    // STARTTLS required and not offered: nothing signs in.
    failures.clear();
    server.Commands.clear();
    login.Security = secStartTls;
    EXPECT_FALSE(Open());
    EXPECT_EQ(failures.value(0).Message, "127.0.0.1 does not offer STARTTLS: choose SSL/TLS or no security");
    EXPECT_TRUE(CommandsWith("LOGIN").isEmpty());

    // A line break in the password is refused before anything is sent.
    failures.clear();
    login.Security = secNone;
    login.Password = "a\r\nA9 DELETE INBOX";
    EXPECT_FALSE(Open());
    EXPECT_EQ(failures.value(0).Kind, TImapErrorKind::WrongPassword);
    EXPECT_FALSE(failures.value(0).Message.contains("DELETE"));
    EXPECT_TRUE(CommandsWith("DELETE").isEmpty());

    // A refused token: the error challenge is answered so the server can say NO.
    failures.clear();
    server.Commands.clear();
    server.Greeting = "* OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=XOAUTH2] ready\r\n";
    replies["AUTHENTICATE XOAUTH2"] = "+ eyJzdGF0dXMiOiI0MDEifQ==\r\n";
    login.Token = "t0ken";
    server.Script = [this](const QByteArray& line) {
        if (line.isEmpty())
            server.Send("A1 NO [AUTHENTICATIONFAILED] Invalid token\r\n");
        else
            Answer(line);
        return true;
    };
    EXPECT_FALSE(Open());
    EXPECT_EQ(failures.value(0).Kind, TImapErrorKind::TokenRefused);
    EXPECT_EQ(server.Commands.value(0).left(23), "A1 AUTHENTICATE XOAUTH2");
    EXPECT_EQ(server.Commands.value(1), "");
    login.Token.clear();

    // LOGINDISABLED without another way in.
    failures.clear();
    server.Greeting = "* OK [CAPABILITY IMAP4rev1 LOGINDISABLED] ready\r\n";
    login.Password = "s3cret";
    EXPECT_FALSE(Open());
    EXPECT_EQ(failures.value(0).Message, "127.0.0.1 takes no password on this connection: choose SSL/TLS or STARTTLS.");
}

TEST_F(imapClient, CancelFailsTheRequestUnderWay)
{
    replies["UID SEARCH UNSEEN"] = "";
    ASSERT_TRUE(Open());
    client.SearchUnseen();
    ASSERT_TRUE(WaitUntil([&] { return !CommandsWith("UNSEEN").isEmpty(); }));
    client.Cancel();
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0].Kind, TImapErrorKind::Canceled);
    EXPECT_FALSE(client.IsOpen());
    client.Cancel();
    EXPECT_EQ(failures.size(), 1) << "nothing under way, nothing to tell";
}
