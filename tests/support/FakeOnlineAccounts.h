#pragma once

#include <QAtomicInt>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QMap>
#include <QMutex>
#include <QThread>

#include <algorithm>
#include <QTimer>

// One account of the stand-in desktop, as GNOME Online Accounts describes it.
struct TFakeDesktopAccount
{
    QString Id;
    QString ProviderType = QStringLiteral("google");
    QString ProviderName = QStringLiteral("Google");
    QString Email;
    QString ImapHost = QStringLiteral("imap.gmail.com");
    QString ImapUserName;
    bool ImapUseSsl = true;
    bool ImapUseTls = false;
    bool OAuth2 = true; // a password account (imap_smtp) hands out no token
    bool AttentionNeeded = false;
    bool MailDisabled = false;
    bool NotAuthorized = false; // GetAccessToken refuses
    QString Token = QStringLiteral("goa-token");
    int ExpiresIn = 3600;
};

// The desktop's online accounts on the test's session bus: the object
// manager's GetManagedObjects and each account's GetAccessToken. It answers
// from a thread of its own, so the test's thread may block on a call, and
// can be made slow. Accounts may be changed while it runs.
class TFakeOnlineAccounts
{
public:
    TFakeOnlineAccounts() : connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName()))
    {
        qDBusRegisterMetaType<QMap<QString, QVariantMap>>();
        qDBusRegisterMetaType<QMap<QDBusObjectPath, QMap<QString, QVariantMap>>>();
        connection.registerVirtualObject(Root, &object, QDBusConnection::SubPath);
        thread.start();
        object.moveToThread(&thread);
        connection.registerService(QStringLiteral("org.gnome.OnlineAccounts"));
    }

    ~TFakeOnlineAccounts()
    {
        connection.unregisterService(QStringLiteral("org.gnome.OnlineAccounts"));
        connection.unregisterObject(Root, QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(connection.name());
        thread.quit();
        thread.wait();
    }

    void Add(const TFakeDesktopAccount& account)
    {
        const QMutexLocker lock(&object.Mutex);
        object.Accounts.insert(account.Id, account);
    }
    void Remove(const QString& id)
    {
        const QMutexLocker lock(&object.Mutex);
        object.Accounts.remove(id);
    }
    template <typename Edit> void Change(const QString& id, Edit edit)
    {
        const QMutexLocker lock(&object.Mutex);
        edit(object.Accounts[id]);
    }
    // Every answer comes this late.
    void SetDelay(int milliseconds) { object.Delay.storeRelaxed(milliseconds); }
    int TokensGiven() const { return object.TokensGiven.loadRelaxed(); }

private:
    inline static const QString Root = QStringLiteral("/org/gnome/OnlineAccounts");

    static QString connectionName()
    {
        static QAtomicInt count;
        return QStringLiteral("fake-online-accounts-%1").arg(count.fetchAndAddRelaxed(1));
    }

    class Service : public QDBusVirtualObject
    {
    public:
        QMutex Mutex;
        QMap<QString, TFakeDesktopAccount> Accounts;
        QAtomicInt Delay = 0;
        QAtomicInt TokensGiven = 0;

        QString introspect(const QString&) const override { return {}; }

        bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
        {
            const QMutexLocker lock(&Mutex);
            if (message.member() == QLatin1String("GetManagedObjects") && message.path() == Root)
                return Answer(connection, message.createReply(QVariant::fromValue(ManagedObjects())));
            if (message.member() != QLatin1String("GetAccessToken"))
                return false;
            const auto found = std::find_if(Accounts.cbegin(), Accounts.cend(),
                                            [&](const TFakeDesktopAccount& a) { return PathOf(a) == message.path(); });
            if (found == Accounts.cend() || !found->OAuth2)
                return Answer(connection, message.createErrorReply(QDBusError::UnknownObject, QStringLiteral("No such account")));
            if (found->NotAuthorized)
                return Answer(connection, message.createErrorReply(QStringLiteral("org.gnome.OnlineAccounts.Error.NotAuthorized"),
                                                                   QStringLiteral("Credentials not found")));
            ++TokensGiven;
            return Answer(connection, message.createReply(QVariantList{found->Token, found->ExpiresIn}));
        }

    private:
        static QString PathOf(const TFakeDesktopAccount& account)
        {
            return Root + QStringLiteral("/Accounts/") + account.Id;
        }

        bool Answer(const QDBusConnection& connection, const QDBusMessage& reply) const
        {
            if (const int delay = Delay.loadRelaxed(); delay == 0)
                connection.send(reply);
            else
                QTimer::singleShot(delay, [connection, reply] { connection.send(reply); });
            return true;
        }

        QMap<QDBusObjectPath, QMap<QString, QVariantMap>> ManagedObjects() const
        {
            QMap<QDBusObjectPath, QMap<QString, QVariantMap>> objects;
            // The manager itself is listed too, with no account interface.
            objects[QDBusObjectPath(Root + QStringLiteral("/Manager"))][QStringLiteral("org.gnome.OnlineAccounts.Manager")] = {};
            for (const TFakeDesktopAccount& a : Accounts) {
                QMap<QString, QVariantMap>& interfaces = objects[QDBusObjectPath(PathOf(a))];
                interfaces[QStringLiteral("org.gnome.OnlineAccounts.Account")] = {
                    {"Id", a.Id}, {"ProviderType", a.ProviderType}, {"ProviderName", a.ProviderName},
                    {"PresentationIdentity", a.Email}, {"Identity", a.Email}, {"AttentionNeeded", a.AttentionNeeded},
                    {"MailDisabled", a.MailDisabled}};
                interfaces[QStringLiteral("org.gnome.OnlineAccounts.Mail")] = {
                    {"EmailAddress", a.Email}, {"Name", a.Email}, {"ImapSupported", true}, {"ImapHost", a.ImapHost},
                    {"ImapUserName", a.ImapUserName}, {"ImapUseSsl", a.ImapUseSsl}, {"ImapUseTls", a.ImapUseTls},
                    {"ImapAcceptSslErrors", false}};
                if (a.OAuth2)
                    interfaces[QStringLiteral("org.gnome.OnlineAccounts.OAuth2Based")] = {};
            }
            return objects;
        }
    };

    QDBusConnection connection;
    QThread thread;
    Service object;
};
