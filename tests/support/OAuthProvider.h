#pragma once

#include "platform/OAuthSignIn.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpSocket>

// The stand-in provider (tests/support/oauth-provider) as a process of the
// test, told by its options what to answer.
class TestProvider
{
public:
    explicit TestProvider(const QStringList& options = {})
    {
        process.start(QStringLiteral(POSTWATCH_SOURCE_DIR "/tests/support/oauth-provider"), options);
        if (process.waitForReadyRead(10000))
            Port = process.readLine().trimmed().toInt();
    }
    ~TestProvider()
    {
        process.kill();
        process.waitForFinished();
    }

    QUrl Url(const QString& path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(Port).arg(path)); }

    TOAuthProvider Provider(const QString& secret = {}) const
    {
        return {Url(QStringLiteral("/authorize")), Url(QStringLiteral("/token")), QStringLiteral("postwatch-test"),
                secret, QStringLiteral("mail offline")};
    }

    // Whether the provider takes the access token as one it gave.
    bool IsActive(const QString& accessToken) const
    {
        return PostToken(QStringLiteral("/introspect"), accessToken).contains("\"active\": true");
    }

    // Ends the grant the token belongs to, as a user does on the provider's
    // page; false when the provider knows no such token.
    bool Revoke(const QString& token) const { return PostToken(QStringLiteral("/revoke"), token) == "{}"; }

    int Port = 0;

private:
    QByteArray PostToken(const QString& path, const QString& token) const
    {
        QNetworkAccessManager network;
        QNetworkRequest request(Url(path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        QNetworkReply* reply = network.post(request, "token=" + QUrl::toPercentEncoding(token));
        QEventLoop waiting;
        QObject::connect(reply, &QNetworkReply::finished, &waiting, &QEventLoop::quit);
        waiting.exec();
        reply->deleteLater();
        return reply->readAll();
    }

    QProcess process;
};

// The tests' browser: fetches the address and follows its redirects.
inline const QString FakeBrowserFolder = QStringLiteral(POSTWATCH_SOURCE_DIR "/tests/support/browser");

inline void OpenInFakeBrowser(const QUrl& url)
{
    QProcess::startDetached(FakeBrowserFolder + QStringLiteral("/xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

// Whether anything still listens on the port of 127.0.0.1.
inline bool Listens(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(2000);
}
