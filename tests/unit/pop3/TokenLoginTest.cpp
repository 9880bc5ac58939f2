#include "ScriptServer.h"

#include "pop3/Pop3client.h"

#include <gtest/gtest.h>

namespace {

const QByteArray Capa = "+OK\r\nTOP\r\nSASL PLAIN XOAUTH2 OAUTHBEARER\r\n.\r\n";
const QByteArray ErrorChallenge = "+ eyJzdGF0dXMiOiI0MDEiLCJzY2hlbWVzIjoiYmVhcmVyIn0=\r\n";

class tokenLogin : public testing::Test
{
protected:
    tokenLogin()
    {
        client.Host = "127.0.0.1";
        client.Port = server.Port();
        client.TimeOut = 5000;
        client.UserID = "ann";
        client.Auth = authOAuth2;
        client.AccessToken = "ya29.tok";
        client.AccountName = "Home";
        client.ReportLevel = 16;
        client.OnStatus = [this](QObject*, const QString& text) { statuses << text; };
        client.OnAuthenticationFailed = [this](bool&) { statuses << "asked about the password"; };
        server.Replies["CAPA"] = Capa;
        server.Replies["AUTH"] = "+OK Logged in.\r\n";
    }

    // The decoded first response of the AUTH command the server got.
    QByteArray SentResponse() const
    {
        for (const QByteArray& command : server.Commands)
            if (command.startsWith("AUTH "))
                return QByteArray::fromBase64(command.split(' ').value(2));
        return {};
    }

    template <typename E = Exception>
    QString FailureOf()
    {
        try {
            client.Connect();
        } catch (const E& e) {
            return e.Message;
        }
        return {};
    }

    TScriptServer server;
    TPop3Client client;
    QStringList statuses;
};

using Commands = QList<QByteArray>;

TEST_F(tokenLogin, XOAuth2CarriesTheTokenInTheCommandOrAfterTheChallenge)
{
    client.Connect();
    EXPECT_EQ(server.Commands.mid(0, 2), Commands({"CAPA", "AUTH XOAUTH2 dXNlcj1hbm4BYXV0aD1CZWFyZXIgeWEyOS50b2sBAQ=="}));
    EXPECT_EQ(server.Commands.mid(2), Commands({"CAPA", "STAT"}));
    EXPECT_EQ(client.MessageCount, 2);
    client.Disconnect();

    // 255 octets with the line end is the longest AUTH command with its response.
    for (const auto& [length, inCommand] : {std::pair{157, true}, {158, false}, {2048, false}}) {
        server.Commands.clear();
        client.AccessToken = QString(length, u'x');
        const QByteArray response = ("user=ann\x01" "auth=Bearer " + client.AccessToken.toLatin1() + "\x01\x01").toBase64();
        server.Script = [&](const QByteArray& command) {
            return command == "AUTH XOAUTH2" && (server.Send("+ \r\n"), true);
        };
        server.Replies[response] = "+OK Logged in.\r\n";
        client.Connect();
        client.Disconnect();
        if (inCommand)
            EXPECT_EQ(server.Commands.value(1), "AUTH XOAUTH2 " + response);
        else
            EXPECT_EQ(server.Commands.mid(1, 2), Commands({"AUTH XOAUTH2", response})) << length;
    }
    for (const QString& status : std::as_const(statuses))
        EXPECT_FALSE(status.contains("xxx") || status.contains("ya29") || status.contains("dXNlcj1")) << status.toStdString();
}

TEST_F(tokenLogin, MechanismFollowsTheSaslLine)
{
    for (const auto& [capa, mechanism] : {std::pair{"+OK\r\nSASL PLAIN OAUTHBEARER\r\n.\r\n", "OAUTHBEARER"},
                                          {"+OK\r\nsasl oauthbearer\r\n.\r\n", "OAUTHBEARER"},
                                          {"+OK\r\nSASL OAUTHBEARER XOAUTH2\r\n.\r\n", "XOAUTH2"},
                                          {"+OK\r\nTOP\r\n.\r\n", "XOAUTH2"},
                                          {"-ERR\r\n", "XOAUTH2"}}) {
        server.Commands.clear();
        server.Replies["CAPA"] = capa;
        client.Connect();
        client.Disconnect();
        EXPECT_TRUE(server.Commands.value(1).startsWith(QByteArray("AUTH ") + mechanism + ' ')) << capa;
    }

    // RFC 7628's GS2 header, where "=" and "," in the name are escaped.
    server.Replies["CAPA"] = "+OK\r\nSASL OAUTHBEARER\r\n.\r\n";
    for (const auto& [user, header] : {std::pair{"ann", "n,a=ann,"}, {"a=b,c@example.org", "n,a=a=3Db=2Cc@example.org,"}}) {
        server.Commands.clear();
        client.UserID = user;
        client.Connect();
        client.Disconnect();
        EXPECT_EQ(SentResponse(), header + QByteArray("\x01host=127.0.0.1\x01port=") + QByteArray::number(server.Port()) +
                                      "\x01" "auth=Bearer ya29.tok\x01\x01");
    }

    server.Commands.clear();
    server.Replies["CAPA"] = "+OK\r\nSASL PLAIN LOGIN\r\n.\r\n";
    EXPECT_EQ(FailureOf(), "The server does not take a sign-in with a token (XOAUTH2 or OAUTHBEARER)");
    EXPECT_EQ(server.Commands, Commands({"CAPA", "QUIT"}));
}

// The error challenge gets what each mechanism answers it with; the final
// -ERR asks for a new sign-in, never for a password.
TEST_F(tokenLogin, RefusedTokenAsksForANewSignIn)
{
    server.Replies["AUTH"] = ErrorChallenge;
    server.Replies[""] = "-ERR [AUTH] Authentication failed.\r\n";
    server.Replies["AQ=="] = "-ERR [AUTH] Authentication failed.\r\n";
    EXPECT_EQ(FailureOf<ETokenRefused>(), "Sign in to Home again");
    EXPECT_EQ(server.Commands.mid(2), Commands({"", "QUIT"}));
    EXPECT_FALSE(client.Connected);

    server.Commands.clear();
    server.Replies["CAPA"] = "+OK\r\nSASL OAUTHBEARER\r\n.\r\n";
    EXPECT_EQ(FailureOf<ETokenRefused>(), "Sign in to Home again");
    EXPECT_EQ(server.Commands.mid(2), Commands({"AQ==", "QUIT"}));

    // A server that never ends the exchange is cancelled.
    server.Commands.clear();
    server.Replies[""] = server.Replies["*"] = server.Replies["AQ=="] = ErrorChallenge;
    EXPECT_EQ(FailureOf<ETokenRefused>(), "Sign in to Home again");
    EXPECT_EQ(server.Commands.mid(2), Commands({"AQ==", "*", "QUIT"}));

    server.Replies["AUTH"] = "-ERR [SYS/TEMP] The token check is down.\r\n";
    EXPECT_EQ(FailureOf(), "-ERR [SYS/TEMP] The token check is down.\r\n");
    client.AccountName.clear();
    server.Replies["AUTH"] = "-ERR [AUTH] Authentication failed.\r\n";
    EXPECT_EQ(FailureOf<ETokenRefused>(), "Sign in again");
    EXPECT_FALSE(statuses.contains("asked about the password"));
    for (const QString& status : std::as_const(statuses))
        EXPECT_FALSE(status.contains("ya29")) << status.toStdString();
}

TEST_F(tokenLogin, NothingGoesOutForATokenThatCannotWork)
{
    client.AccessToken.clear();
    EXPECT_EQ(FailureOf<ETokenRefused>(), "Sign in to Home again");
    client.AccessToken = "ya29.tok";
    client.Auth = 2;
    EXPECT_EQ(FailureOf(), "The sign-in setting 2 is not 0 (password) or 1 (OAuth 2.0)");
    client.Auth = authOAuth2;
    client.UserID.clear();
    EXPECT_EQ(FailureOf(), "The account has no user name to sign in with");
    client.UserID = "ann\x01" "auth=Bearer forged";
    EXPECT_EQ(FailureOf(), "The user name holds a control character, which cannot be sent to the server");
    client.UserID = "ann";
    client.AccessToken = "ya29\x01tok";
    EXPECT_EQ(FailureOf(), "The sign-in token holds a control character; sign in again");
    EXPECT_EQ(server.Connections, 0);

    client.AccessToken = QString(MaxCommandLength, u'x');
    EXPECT_EQ(FailureOf(), "The sign-in token is too long to send to the server");
    EXPECT_EQ(server.Commands, Commands({"CAPA", "QUIT"}));
}

} // namespace
