#include "platform/DesktopAccounts.h"

#include "base/CleanText.h"
#include "base/Security.h"
#include "platform/OAuthSignIn.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString Service = u"org.gnome.OnlineAccounts"_s;
const QString ManagerPath = u"/org/gnome/OnlineAccounts"_s;
const QString AccountInterface = u"org.gnome.OnlineAccounts.Account"_s;
const QString MailInterface = u"org.gnome.OnlineAccounts.Mail"_s;
const QString OAuth2Interface = u"org.gnome.OnlineAccounts.OAuth2Based"_s;
const QString NotAuthorized = u"org.gnome.OnlineAccounts.Error.NotAuthorized"_s;

using TInterfaces = QMap<QString, QVariantMap>;
using TManagedObjects = QMap<QDBusObjectPath, TInterfaces>;

// Blocks without an event loop, so nothing else runs meanwhile.
QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments, int timeOut)
{
    QDBusMessage request = QDBusMessage::createMethodCall(service, path, interface, method);
    request.setArguments(arguments);
    return QDBusConnection::sessionBus().call(request, QDBus::Block, timeOut);
}

QDBusMessage serviceCall(const QString& path, const QString& interface, const QString& method, int timeOut)
{
    return call(Service, path, interface, method, {}, timeOut);
}

bool busSays(const QString& method, const QVariantList& arguments, int timeOut)
{
    const QDBusMessage reply = call(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s, u"org.freedesktop.DBus"_s,
                                    method, arguments, timeOut);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && (method == u"NameHasOwner"_s ? reply.arguments().first().toBool()
                                         : reply.arguments().first().toStringList().contains(Service));
}

[[noreturn]] void fail(const QDBusMessage& reply, int timeOut)
{
    switch (QDBusError(reply).type()) {
    case QDBusError::NoReply:
    case QDBusError::Timeout:
        throw Exception(u"The desktop's Online Accounts did not answer within %1 seconds."_s.arg(timeOut / 1000.0));
    case QDBusError::ServiceUnknown:
    case QDBusError::Disconnected:
        throw Exception(u"This desktop has no Online Accounts service running."_s);
    default:
        throw Exception(u"The desktop's Online Accounts failed: %1"_s.arg(CleanedText(reply.errorMessage())));
    }
}

TManagedObjects managedObjects(int timeOut)
{
    const QDBusMessage reply =
        serviceCall(ManagerPath, u"org.freedesktop.DBus.ObjectManager"_s, u"GetManagedObjects"_s, timeOut);
    if (reply.type() != QDBusMessage::ReplyMessage)
        fail(reply, timeOut);
    if (reply.signature() != u"a{oa{sa{sv}}}"_s)
        throw Exception(u"The desktop's Online Accounts answered with something other than its accounts."_s);
    return qdbus_cast<TManagedObjects>(reply.arguments().first());
}

// "host" or "host:port", an IPv6 address in brackets; a port that is no
// port leaves the usual one.
void readHost(TDesktopAccount& account, const QString& host)
{
    account.Server = host;
    QString rest;
    if (const qsizetype end = host.indexOf(u']'); host.startsWith(u'[') && end > 0) {
        account.Server = host.mid(1, end - 1);
        rest = host.mid(end + 1);
    } else if (host.count(u':') == 1) {
        account.Server = host.section(u':', 0, 0);
        rest = host.mid(account.Server.size());
    }
    bool number = false;
    const int port = rest.mid(1).toInt(&number);
    if (rest.startsWith(u':') && number && port > 0 && port <= 65535)
        account.Port = port;
}

// Accounts whose mail is off, or that cannot hand out a token, are none of ours.
std::optional<TDesktopAccount> mailAccount(const TInterfaces& interfaces)
{
    const QVariantMap account = interfaces.value(AccountInterface);
    const QVariantMap mail = interfaces.value(MailInterface);
    if (!interfaces.contains(OAuth2Interface) || account.value(u"Id"_s).toString().isEmpty()
        || !mail.value(u"ImapSupported"_s).toBool() || account.value(u"MailDisabled"_s).toBool())
        return std::nullopt;
    TDesktopAccount found;
    found.Id = account.value(u"Id"_s).toString();
    found.Provider = account.value(u"ProviderName"_s).toString();
    found.Address = mail.value(u"EmailAddress"_s).toString();
    if (found.Address.isEmpty())
        found.Address = account.value(u"PresentationIdentity"_s).toString();
    found.User = mail.value(u"ImapUserName"_s).toString();
    if (found.User.isEmpty())
        found.User = mail.value(u"EmailAddress"_s).toString();
    found.Security = mail.value(u"ImapUseSsl"_s).toBool()   ? secTls
                   : mail.value(u"ImapUseTls"_s).toBool() ? secStartTls
                                                          : secNone;
    found.Port = found.Security == secTls ? 993 : 143;
    readHost(found, mail.value(u"ImapHost"_s).toString().trimmed());
    found.NeedsSignIn = account.value(u"AttentionNeeded"_s).toBool();
    return found;
}

}

bool DesktopAccounts::Offered() const
{
    return busSays(u"NameHasOwner"_s, {Service}, TimeOut) || busSays(u"ListActivatableNames"_s, {}, TimeOut);
}

QList<TDesktopAccount> DesktopAccounts::MailAccounts() const
{
    QList<TDesktopAccount> accounts;
    for (const TInterfaces& interfaces : managedObjects(TimeOut)) {
        if (std::optional<TDesktopAccount> found = mailAccount(interfaces))
            accounts << *found;
    }
    return accounts;
}

TDesktopToken DesktopAccounts::Token(const QString& id, const QString& account) const
{
    const ESignInAgain signedOut(u"Sign in to %1 again in the desktop's Online Accounts."_s.arg(account));
    const TManagedObjects objects = managedObjects(TimeOut);
    const auto found = std::find_if(objects.cbegin(), objects.cend(), [&id](const TInterfaces& interfaces) {
        const std::optional<TDesktopAccount> mail = mailAccount(interfaces);
        return mail && mail->Id == id;
    });
    if (found == objects.cend() || mailAccount(*found)->NeedsSignIn)
        throw signedOut;
    const QDBusMessage reply = serviceCall(found.key().path(), OAuth2Interface, u"GetAccessToken"_s, TimeOut);
    if (reply.errorName() == NotAuthorized)
        throw signedOut;
    if (reply.type() != QDBusMessage::ReplyMessage)
        fail(reply, TimeOut);
    const QString token = reply.signature() == u"si"_s ? reply.arguments().first().toString() : QString();
    if (token.isEmpty())
        throw Exception(u"The desktop's Online Accounts gave no access token for %1."_s.arg(account));
    return {token, reply.arguments().at(1).toInt()};
}
