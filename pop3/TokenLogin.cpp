#include "pop3/TokenLogin.h"

#include "base/Exception.h"
#include "pop3/Linesock.h"

#include <QHostAddress>

#include <algorithm>
#include <optional>

namespace {

constexpr char Separator = '\x01';

// The mechanisms CAPA's SASL line names; nothing where there is no such line.
std::optional<QStringList> SaslMechanisms(const QStringList& capabilities)
{
    for (const QString& line : capabilities) {
        QStringList words = line.toUpper().split(u' ', Qt::SkipEmptyParts);
        if (!words.isEmpty() && words.takeFirst() == QLatin1String("SASL"))
            return words;
    }
    return std::nullopt;
}

// The user name as RFC 5801 writes it in the GS2 header, where "," ends it.
QByteArray SaslName(const QString& user)
{
    return user.toUtf8().replace('=', "=3D").replace(',', "=2C");
}

// A control character would end a key/value pair early, or make one up.
bool HoldsControl(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

} // namespace

TTokenMechanism TokenMechanismOf(const QStringList& capabilities)
{
    const std::optional<QStringList> offered = SaslMechanisms(capabilities);
    if (!offered || offered->contains(QLatin1String("XOAUTH2")))
        return TTokenMechanism::XOAuth2;
    if (offered->contains(QLatin1String("OAUTHBEARER")))
        return TTokenMechanism::OAuthBearer;
    throw Exception(QStringLiteral("The server does not take a sign-in with a token (XOAUTH2 or OAUTHBEARER)"));
}

QByteArray MechanismName(TTokenMechanism mechanism)
{
    return mechanism == TTokenMechanism::XOAuth2 ? "XOAUTH2" : "OAUTHBEARER";
}

QByteArray TokenResponse(TTokenMechanism mechanism, const TTokenCredentials& credentials)
{
    const QByteArray bearer = "auth=Bearer " + credentials.Token.toUtf8() + Separator + Separator;
    if (mechanism == TTokenMechanism::XOAuth2)
        return ("user=" + credentials.User.toUtf8() + Separator + bearer).toBase64();
    return ("n,a=" + SaslName(credentials.User) + ',' + Separator + "host=" + credentials.Host.toUtf8() + Separator +
            "port=" + QByteArray::number(credentials.Port) + Separator + bearer)
        .toBase64();
}

// RFC 7628 asks for a lone %x01; Google's XOAUTH2 for an empty response.
QByteArray ErrorChallengeAnswer(TTokenMechanism mechanism)
{
    return mechanism == TTokenMechanism::XOAuth2 ? QByteArray() : QByteArray(1, Separator).toBase64();
}

bool TokenMayGoTo(int security, const QString& host)
{
    return security != secNone || QHostAddress(host).isLoopback();
}

QString TokenCredentialsProblem(const QString& user, const QString& token)
{
    if (user.isEmpty())
        return QStringLiteral("The account has no user name to sign in with");
    if (HoldsControl(user))
        return QStringLiteral("The user name holds a control character, which cannot be sent to the server");
    if (HoldsControl(token))
        return QStringLiteral("The sign-in token holds a control character; sign in again");
    return {};
}
