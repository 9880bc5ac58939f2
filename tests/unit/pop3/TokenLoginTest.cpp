#include "ScriptServer.h"

#include "pop3/Pop3client.h"

#include <gtest/gtest.h>

namespace {

using Commands = QList<QByteArray>;

const QByteArray ErrorChallenge = "+ eyJzdGF0dXMiOiI0MDEifQ==\r\n";
const QByteArray Refused = "-ERR [AUTH] Authentication failed.\r\n";

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
        // Neither the token nor a response carrying it ("user=", "n,a=") is shown.
        client.OnStatus = [](QObject*, const QString& text) {
            EXPECT_FALSE(text.contains("ya29") || text.contains("xxx") || text.contains("dXNlcj1") || text.contains("bixh"))
                << text.toStdString();
        };
        client.OnAuthenticationFailed = [](bool&) { ADD_FAILURE() << "asked about a password"; };
        server.Replies["CAPA"] = "+OK\r\nSASL PLAIN XOAUTH2 OAUTHBEARER\r\n.\r\n";
        server.Replies["AUTH"] = "+OK Logged in.\r\n";
    }

    // What the server heard in one session, then the failure's text, if any.
    Commands Session()
    {
        server.Commands.clear();
        try {
            client.Connect();
            client.Disconnect();
        } catch (const ETokenRefused& e) {
            server.Commands << "refused: " + e.Message.toUtf8();
        } catch (const Exception& e) {
            server.Commands << e.Message.toUtf8();
        }
        return server.Commands;
    }

    TScriptServer server;
    TPop3Client client;
};

// 255 octets with the line end is the longest AUTH command with its response.
TEST_F(tokenLogin, XOAuth2TokenGoesInTheCommandOrAfterTheChallenge)
{
    EXPECT_EQ(Session(), Commands({"CAPA", "AUTH XOAUTH2 dXNlcj1hbm4BYXV0aD1CZWFyZXIgeWEyOS50b2sBAQ==", "CAPA", "STAT", "QUIT"}));
    server.Script = [&](const QByteArray& command) { return command == "AUTH XOAUTH2" && (server.Send("+ \r\n"), true); };
    for (const auto& [length, inCommand] : {std::pair{157, true}, {158, false}, {2048, false}}) {
        client.AccessToken = QString(length, u'x');
        const QByteArray response = ("user=ann\x01" "auth=Bearer " + client.AccessToken.toLatin1() + "\x01\x01").toBase64();
        server.Replies[response] = "+OK Logged in.\r\n";
        const Commands expected = inCommand ? Commands{"CAPA", "AUTH XOAUTH2 " + response, "CAPA"}
                                            : Commands{"CAPA", "AUTH XOAUTH2", response, "CAPA"};
        EXPECT_EQ(Session().mid(0, expected.size()), expected) << length;
    }
}

TEST_F(tokenLogin, MechanismFollowsTheSaslLine)
{
    for (const auto& [capa, mechanism] : {std::pair{"+OK\r\nSASL PLAIN OAUTHBEARER\r\n.\r\n", "OAUTHBEARER"},
                                          {"+OK\r\nsasl oauthbearer\r\n.\r\n", "OAUTHBEARER"},
                                          {"+OK\r\nSASL OAUTHBEARER XOAUTH2\r\n.\r\n", "XOAUTH2"},
                                          {"+OK\r\nTOP\r\n.\r\n", "XOAUTH2"},
                                          {"-ERR\r\n", "XOAUTH2"}}) {
        server.Replies["CAPA"] = capa;
        EXPECT_TRUE(Session().value(1).startsWith(QByteArray("AUTH ") + mechanism + ' ')) << capa;
    }

    // RFC 7628's GS2 header escapes "=" and "," in the name.
    server.Replies["CAPA"] = "+OK\r\nSASL OAUTHBEARER\r\n.\r\n";
    for (const auto& [user, header] : {std::pair{"ann", "n,a=ann,"}, {"a=b,c@example.org", "n,a=a=3Db=2Cc@example.org,"}}) {
        client.UserID = user;
        EXPECT_EQ(QByteArray::fromBase64(Session().value(1).mid(17)),
                  header + QByteArray("\x01host=127.0.0.1\x01port=") + QByteArray::number(server.Port()) +
                      "\x01" "auth=Bearer ya29.tok\x01\x01");
    }

    server.Replies["CAPA"] = "+OK\r\nSASL PLAIN LOGIN\r\n.\r\n";
    EXPECT_EQ(Session(), Commands({"CAPA", "QUIT", "The server does not take a sign-in with a token (XOAUTH2 or OAUTHBEARER)"}));
}

// The error challenge gets each mechanism's answer, so the server ends with
// its -ERR; a server that goes on is cancelled.
TEST_F(tokenLogin, RefusedTokenAsksForANewSignIn)
{
    server.Replies["AUTH"] = ErrorChallenge;
    server.Replies[""] = server.Replies["AQ=="] = Refused;
    EXPECT_EQ(Session().mid(2), Commands({"", "QUIT", "refused: Sign in to Home again"}));
    server.Replies["CAPA"] = "+OK\r\nSASL OAUTHBEARER\r\n.\r\n";
    EXPECT_EQ(Session().mid(2), Commands({"AQ==", "QUIT", "refused: Sign in to Home again"}));
    server.Replies["AQ=="] = server.Replies["*"] = ErrorChallenge;
    EXPECT_EQ(Session().mid(2), Commands({"AQ==", "*", "QUIT", "refused: Sign in to Home again"}));

    server.Replies["AUTH"] = "-ERR [SYS/TEMP] The token check is down.\r\n";
    EXPECT_EQ(Session().last(), "-ERR [SYS/TEMP] The token check is down.\r\n");
    server.Replies["AUTH"] = Refused;
    client.AccountName.clear();
    EXPECT_EQ(Session().last(), "refused: Sign in again");
    EXPECT_FALSE(client.Connected);
}

TEST_F(tokenLogin, NothingGoesOutForATokenThatCannotWork)
{
    const auto failure = [this](const char* user, const QString& token, int auth = authOAuth2) {
        client.UserID = user, client.AccessToken = token, client.Auth = auth;
        return Session().value(0);
    };
    EXPECT_EQ(failure("ann", ""), "refused: Sign in to Home again");
    EXPECT_EQ(failure("ann", "ya29.tok", 3),
              "The sign-in setting 3 is not 0 (password), 1 (OAuth 2.0) or 2 (the desktop's online account)");
    EXPECT_EQ(failure("", "ya29.tok"), "The account has no user name to sign in with");
    EXPECT_EQ(failure("ann\x01" "auth=Bearer forged", "ya29.tok"),
              "The user name holds a control character, which cannot be sent to the server");
    EXPECT_EQ(failure("ann", "ya29\x01tok"), "The sign-in token holds a control character; sign in again");
    // Without TLS only a loopback address gets a token; a name may lead anywhere.
    client.Host = "localhost";
    EXPECT_EQ(failure("ann", "ya29.tok"),
              "Home signs in through its provider, which needs an encrypted connection: choose SSL/TLS or STARTTLS.");
    client.Host = "127.0.0.1";
    EXPECT_EQ(server.Connections, 0);
    // The desktop's token goes out exactly as the provider's.
    failure("ann", "ya29.tok", authDesktop);
    EXPECT_EQ(server.Commands.value(1), "AUTH XOAUTH2 dXNlcj1hbm4BYXV0aD1CZWFyZXIgeWEyOS50b2sBAQ==");

    client.AccessToken = QString(MaxCommandLength, u'x');
    EXPECT_EQ(Session(), Commands({"CAPA", "QUIT", "The sign-in token is too long to send to the server"}));
}

} // namespace
