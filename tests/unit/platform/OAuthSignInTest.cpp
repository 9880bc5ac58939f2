#include "platform/OAuthSignIn.h"
#include "tests/support/OAuthProvider.h"

#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <gtest/gtest.h>

#include <memory>

namespace {
quint16 redirectPortOf(const QUrl& url)
{
    return QUrl(QUrlQuery(url).queryItemValue("redirect_uri", QUrl::FullyDecoded)).port();
}

QString failureOf(const TOAuthSignIn& flow)
{
    try {
        flow.SignIn();
    } catch (const Exception& e) {
        return e.Message;
    }
    return "no failure";
}
}

// A secret with form characters reaches the provider intact, or it refuses.
TEST(OAuthSignIn, SignsInWithPkceAndRefreshesAndTheBrowserHearsItMayClose)
{
    TestProvider provider({"--client-secret", "s+cr&t=1 x"});
    QTemporaryDir folder;
    qputenv("FAKE_BROWSER_LOG", folder.filePath("browser").toUtf8());
    TOAuthSignIn flow("Home", provider.Provider("s+cr&t=1 x"));
    quint16 port = 0;
    flow.OpenBrowser = [&](const QUrl& url) {
        port = redirectPortOf(url);
        OpenInFakeBrowser(url);
    };

    const TTokens tokens = flow.SignIn();
    EXPECT_TRUE(provider.IsActive(tokens.AccessToken));
    EXPECT_EQ(tokens.ExpiresIn, 3600);
    EXPECT_FALSE(Listens(port));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(folder.filePath("browser")); }));
    QFile log(folder.filePath("browser"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray seen = log.readAll();
    EXPECT_TRUE(seen.startsWith("200 ")) << seen.constData();
    EXPECT_TRUE(seen.contains("You may close this page."));

    const TTokens fresh = flow.Refresh(tokens.RefreshToken);
    EXPECT_TRUE(provider.IsActive(fresh.AccessToken));
    EXPECT_NE(fresh.AccessToken, tokens.AccessToken);
    qunsetenv("FAKE_BROWSER_LOG");
}

// Other local programs may reach the port; only the browser's redirect with
// this sign-in's state ends the wait, and nothing else holds it up, not even
// more idle connections than the listener keeps.
TEST(OAuthSignIn, OtherRequestsGetA400AndTheWaitGoesOn)
{
    TestProvider provider;
    TOAuthSignIn flow("Home", provider.Provider());
    flow.TimeOut = 10000;
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    auto connectTo = [&](const QUrl& url) {
        QTcpSocket* socket = sockets.emplace_back(std::make_unique<QTcpSocket>()).get();
        socket->connectToHost(QHostAddress::LocalHost, redirectPortOf(url));
        return socket;
    };
    QMap<int, QByteArray> answers;
    const int tooLong = 4;
    flow.OpenBrowser = [&](const QUrl& url) {
        for (int i = 0; i < 20; ++i)
            connectTo(url);
        const QByteArray state = QUrlQuery(url).queryItemValue("state").toLatin1();
        const QList<QByteArray> requests{
            "POST /?code=x&state=" + state + " HTTP/1.1\r\n\r\n",
            "GET /other?code=x&state=" + state + " HTTP/1.1\r\n\r\n",
            "GET /?code=x&state=wrong HTTP/1.1\r\n\r\n",
            "GET /?code=x&state=" + state + "&state=" + state + " HTTP/1.1\r\n\r\n",
            "GET /?code=x&state=" + state + " HTTP/1.1\r\nX: " + QByteArray(20000, 'a')};
        for (int i = 0; i < requests.size(); ++i) {
            QTcpSocket* socket = connectTo(url);
            socket->write(requests[i]);
            // Refused while it still sends, the long one may see its connection reset instead.
            auto done = [&, i, url, socket, count = requests.size()] {
                if (answers.contains(i))
                    return;
                answers[i] = socket->readAll();
                if (answers.size() == count)
                    OpenInFakeBrowser(url);
            };
            QObject::connect(socket, &QTcpSocket::readyRead, done);
            QObject::connect(socket, &QTcpSocket::errorOccurred, done);
        }
    };

    EXPECT_TRUE(provider.IsActive(flow.SignIn().AccessToken));
    for (const auto& [i, answer] : answers.asKeyValueRange()) {
        if (i != tooLong || !answer.isEmpty()) {
            EXPECT_TRUE(answer.startsWith("HTTP/1.1 400 ")) << i << ": " << answer.left(40).constData();
        }
    }
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return std::ranges::all_of(sockets, [](const auto& socket) { return socket->state() == QAbstractSocket::UnconnectedState; });
    })) << "the silent ones are closed at the end";
}

TEST(OAuthSignIn, EachFailureNamesTheAccountAndClosesTheListener)
{
    const QList<std::pair<QStringList, QString>> cases{
        {{"--authorize", "error-redirect"}, "The provider refused the sign-in to Home: access_denied (The user said no"},
        {{"--authorize", "no-code"}, "without a sign-in code for Home."},
        {{"--authorize", "wrong-state"}, "did not come back with the sign-in to Home within 1.5 seconds; Postwatch "
                                         "turned away a redirect that did not carry this sign-in's state."},
        {{"--authorize", "error-page"}, "did not come back with the sign-in to Home within 1.5 seconds."},
        {{"--token", "error"}, "The provider refused the sign-in to Home: invalid_grant (Bad code)"},
        {{"--token", "error-page"}, "The token address of Home answered with an error page (HTTP 502)."},
        {{"--token", "not-json"}, "The token address of Home answered with something other than a token reply."},
        {{"--token", "no-access-token"}, "The token address of Home answered without an access token."},
    };
    for (const auto& [options, expected] : cases) {
        TestProvider provider(options);
        TOAuthSignIn flow("Home", provider.Provider());
        flow.TimeOut = 1500;
        quint16 port = 0;
        flow.OpenBrowser = [&](const QUrl& url) {
            port = redirectPortOf(url);
            OpenInFakeBrowser(url);
        };
        const QString failure = failureOf(flow);
        EXPECT_TRUE(failure.contains(expected)) << options.join(' ').toStdString() << ": " << failure.toStdString();
        EXPECT_FALSE(Listens(port)) << options.join(' ').toStdString();
    }
}

TEST(OAuthSignIn, AnExpiredRefreshTokenAsksToSignInAgain)
{
    TestProvider provider({"--refresh-token", "rt-old", "--expired-refresh"});
    EXPECT_THROW(
        {
            try {
                TOAuthSignIn("Home", provider.Provider()).Refresh("rt-old");
            } catch (const ESignInAgain& e) {
                EXPECT_TRUE(e.Message.startsWith("Sign in to Home again")) << e.Message.toStdString();
                throw;
            }
        },
        ESignInAgain);
}

TEST(OAuthSignIn, RefusesAddressesThatWouldSendTheCodeInTheClear)
{
    TOAuthProvider provider{QUrl("https://example.org/auth"), QUrl("http://example.org/token"), "id", {}, {}};
    EXPECT_TRUE(TOAuthSignIn::ProblemOf("Home", provider).contains("token address of Home"));
    provider.TokenUrl = QUrl("http://127.0.0.1:8080/token");
    EXPECT_EQ(TOAuthSignIn::ProblemOf("Home", provider), "");
    provider.ClientId.clear();
    EXPECT_TRUE(TOAuthSignIn::ProblemOf("Home", provider).contains("OAuthClientId"));
}
