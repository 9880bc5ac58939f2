#include "platform/TokenEndpoint.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace {
// Token replies are a few kilobytes; a provider sending more is not one.
constexpr qint64 MaxReply = 256 * 1024;

// A provider's words may be long or hold line breaks; a message stays one line.
QString said(const QJsonObject& reply, const QString& name)
{
    return reply.value(name).toString().simplified().left(300);
}

// RFC 6749 tokens are printable ASCII; anything else would travel into a
// login line or the settings file.
bool isToken(const QString& text)
{
    return std::ranges::all_of(text, [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}
}

TTokens TTokenEndpoint::Post(const FormFields& form) const
{
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setRawHeader("Accept", "application/json");
    // The form holds the code or refresh token: it goes where it was sent or nowhere.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = network.post(request, FormEncoded(form));

    QEventLoop waiting;
    bool timedOut = false, tooLong = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, reply, [&] { timedOut = true; reply->abort(); });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [&](qint64 received) {
        if (received > MaxReply) {
            tooLong = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &waiting, &QEventLoop::quit);
    timer.start(TimeOut);
    waiting.exec();

    const QByteArray body = reply->readAll();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    reply->deleteLater();
    if (timedOut)
        throw failure(QStringLiteral("did not answer within %1 seconds").arg(TimeOut / 1000));
    if (tooLong)
        throw failure(QStringLiteral("answered with far more than a token reply"));
    if (!status.isValid())
        throw failure(QStringLiteral("could not be reached: ") + reply->errorString());
    return tokensOf(status.toInt(), body);
}

TTokens TTokenEndpoint::tokensOf(int status, const QByteArray& body) const
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonObject reply = document.object();
    if (reply.contains(QStringLiteral("error"))) {
        const QString error = said(reply, QStringLiteral("error"));
        const QString description = said(reply, QStringLiteral("error_description"));
        throw EProviderRefusal(QStringLiteral("The provider refused the sign-in to ") + account +
                                   QStringLiteral(": ") + error +
                                   (description.isEmpty() ? QString() : QStringLiteral(" (") + description + u')'),
                               error);
    }
    if (status != 200)
        throw failure(QStringLiteral("answered with an error page (HTTP %1)").arg(status));
    if (!document.isObject())
        throw failure(QStringLiteral("answered with something other than a token reply"));
    TTokens tokens;
    tokens.AccessToken = reply.value(QStringLiteral("access_token")).toString();
    tokens.RefreshToken = reply.value(QStringLiteral("refresh_token")).toString();
    const QJsonValue expires = reply.value(QStringLiteral("expires_in"));
    tokens.ExpiresIn = expires.isString() ? expires.toString().toInt() : expires.toInt(3600);
    if (tokens.AccessToken.isEmpty())
        throw failure(QStringLiteral("answered without an access token"));
    if (!isToken(tokens.AccessToken) || !isToken(tokens.RefreshToken))
        throw failure(QStringLiteral("answered with a token that holds characters no token has"));
    return tokens;
}

Exception TTokenEndpoint::failure(const QString& what) const
{
    return Exception(QStringLiteral("The token address of ") + account + u' ' + what + u'.');
}
