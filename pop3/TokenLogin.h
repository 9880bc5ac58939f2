#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The SASL mechanisms that carry an OAuth 2.0 bearer token: XOAUTH2, what
// Google and Microsoft take, and OAUTHBEARER (RFC 7628).
enum class TTokenMechanism { XOAuth2, OAuthBearer };

// XOAUTH2 unless CAPA's SASL line names OAUTHBEARER and not XOAUTH2; a server
// without a SASL line is tried with XOAUTH2. Raises where SASL names neither.
TTokenMechanism TokenMechanismOf(const QStringList& capabilities);

QByteArray MechanismName(TTokenMechanism mechanism);

struct TTokenCredentials
{
    QString User;
    QString Token;
    QString Host;
    int Port = 0;
};

// The client's first response, base64-encoded.
QByteArray TokenResponse(TTokenMechanism mechanism, const TTokenCredentials& credentials);

// What the client sends after the server's error challenge, so the server
// ends the exchange with its -ERR.
QByteArray ErrorChallengeAnswer(TTokenMechanism mechanism);

// A token crosses the network only encrypted; in the clear it may go to a
// loopback address, where it never leaves this machine.
bool TokenMayGoTo(int security, const QString& host);

// Why the user name or token cannot go into a response, empty where they
// can. The text never quotes the token.
QString TokenCredentialsProblem(const QString& user, const QString& token);
