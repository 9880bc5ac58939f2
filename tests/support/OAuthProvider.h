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
        QNetworkAccessManager network;
        QNetworkRequest request(Url(QStringLiteral("/introspect")));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        QNetworkReply* reply = network.post(request, "token=" + QUrl::toPercentEncoding(accessToken));
        QEventLoop waiting;
        QObject::connect(reply, &QNetworkReply::finished, &waiting, &QEventLoop::quit);
        waiting.exec();
        return reply->readAll().contains("\"active\": true");
    }

    int Port = 0;

private:
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
