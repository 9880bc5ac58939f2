#include "imap/ImapSignIn.h"

#include "pop3/TokenLogin.h"

namespace {

// The mechanisms AUTH= names, as the POP3 side's SASL line gives them.
QStringList SaslLine(const QStringList& capabilities)
{
    QStringList mechanisms;
    for (const QString& capability : capabilities)
        if (capability.startsWith(QLatin1String("AUTH=")))
            mechanisms.append(capability.mid(5));
    return mechanisms.isEmpty() ? QStringList() : QStringList{QStringLiteral("SASL ") + mechanisms.join(u' ')};
}

// Without SASL-IR the first response waits for the server's empty challenge.
TSignIn Authenticate(const QByteArray& mechanism, const QByteArray& response, const QStringList& capabilities)
{
    TSignIn signIn;
    if (capabilities.contains(QLatin1String("SASL-IR")))
        signIn.Command << "AUTHENTICATE " + mechanism + ' ' + (response.isEmpty() ? QByteArray("=") : response);
    else {
        signIn.Command << "AUTHENTICATE " + mechanism;
        signIn.Answers.append(response);
    }
    return signIn;
}

TSignIn TokenSignIn(const TImapLogin& login, const QStringList& capabilities)
{
    if (!TokenMayGoTo(login.Security, login.Host))
        throw EImapSignIn(TImapErrorKind::TokenRefused,
                          QStringLiteral("Signing in to %1 through its provider needs an encrypted connection: choose SSL/TLS or STARTTLS.").arg(login.Host));
    if (const QString problem = TokenCredentialsProblem(login.User, login.Token); !problem.isEmpty())
        throw EImapSignIn(TImapErrorKind::TokenRefused, problem);
    TTokenMechanism mechanism;
    try {
        mechanism = TokenMechanismOf(SaslLine(capabilities));
    } catch (const Exception& error) {
        throw EImapSignIn(TImapErrorKind::Protocol, QStringLiteral("%1: %2").arg(login.Host, error.Message));
    }
    const TTokenCredentials credentials{login.User, login.Token, login.Host, login.Port};
    TSignIn signIn = Authenticate(MechanismName(mechanism), TokenResponse(mechanism, credentials), capabilities);
    // A refusal may come as an error challenge first, answered so that the
    // server ends the exchange with its NO.
    signIn.Answers.append(ErrorChallengeAnswer(mechanism));
    signIn.ByToken = true;
    return signIn;
}

TSignIn PasswordSignIn(const TImapLogin& login, const QStringList& capabilities)
{
    if (HoldsLineBreak(login.User) || HoldsLineBreak(login.Password))
        throw EImapSignIn(TImapErrorKind::WrongPassword,
                          QStringLiteral("The user name or password for %1 holds a line break, which cannot be sent").arg(login.Host));
    const QByteArray user = login.User.toUtf8();
    const QByteArray password = login.Password.toUtf8();
    if (capabilities.contains(QLatin1String("AUTH=PLAIN")))
        return Authenticate("PLAIN", ('\0' + user + '\0' + password).toBase64(), capabilities);
    if (capabilities.contains(QLatin1String("LOGINDISABLED")))
        throw EImapSignIn(TImapErrorKind::Protocol,
                          QStringLiteral("%1 takes no password on this connection: choose SSL/TLS or STARTTLS.").arg(login.Host));
    const bool literalPlus = capabilities.contains(QLatin1String("LITERAL+"));
    TSignIn signIn;
    signIn.Command << "LOGIN ";
    signIn.Command.String(user, literalPlus) << " ";
    signIn.Command.String(password, literalPlus);
    return signIn;
}

} // namespace

TSignIn SignInFor(const TImapLogin& login, const QStringList& capabilities)
{
    return login.Token.isEmpty() ? PasswordSignIn(login, capabilities) : TokenSignIn(login, capabilities);
}
