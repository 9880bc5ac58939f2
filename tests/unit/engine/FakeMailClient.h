#pragma once

#include "pop3/Pop3client.h"

#include <QSet>
#include <functional>
#include <map>
#include <optional>

// A mail client that plays scripted mailboxes with no network. It fires the
// real client's events in the real order, synchronously inside its calls,
// and fails the way the real one does; Log holds the commands "sent".
class TFakeMailClient : public TMailClient
{
public:
    struct Message
    {
        QStringList Header; // header lines, without the terminating "."
        qint64 Bytes = 100;
        QStringList Body = {QStringLiteral("Hello.")};
        QString Uid; // empty: made from the header
    };
    struct Mailbox
    {
        QString User;
        QString Password;
        QList<Message> Messages;
        bool RefuseStat = false;
        QSet<int> RefuseDelete = {};
        QSet<int> RefuseTop = {};
        int LoginDelay = 0; // what CAPA's LOGIN-DELAY says
        bool Uidl = true;
        // An OAuth account's token is refused at the login.
        bool RefuseToken = false;
        // What UIDL lists instead of the messages' ids: a broken server.
        std::optional<QStringList> ListedIds = {};
    };

    // Mailboxes by host name; a host not listed has no address.
    std::map<QString, Mailbox> Servers;
    // Hosts that refuse the connection.
    QStringList Refusing;
    // Hosts whose certificate no authority vouches for, with its fingerprint:
    // only a client that trusts exactly that one gets through.
    std::map<QString, QString> SelfSigned;
    // The command after which the server goes silent until the time-out.
    QString SilentAfter;

    // Every command, as sent, and "connect HOST" for each connection made.
    QStringList Log;
    // Runs while a command waits for its reply, where the real client lets
    // the event loop run timers and commands.
    std::function<void(const QString& command)> Waiting;

    bool Aborted = false;

    void Connect() override;
    void Disconnect() override;
    void RetrieveSummary(int index) override;
    void RetrieveMessage(int index) override;
    void DeleteMessage(int index) override;
    bool ListMailbox() override;
    QString UniqueId(int index) override;
    void Cancel() override { Aborted = true; }

    // Drops the connection without QUIT, as a server going away does: the
    // session's deletions are undone.
    void Drop();

private:
    void AskCredentials();
    bool HasAddress() const { return Servers.count(Host) > 0 || Refusing.contains(Host); }
    void Open();
    void CountMessages();
    void EndConnect(bool wasBusy, bool loggedIn);
    void LogIn();
    bool TryLogIn();
    void Exchange(const QString& command);
    void RequireConnection();
    Mailbox& Box();
    const Message& Stored(int index);
    QString IdOf(const Message& message) const;
    void QuitQuietly();

    QSet<int> deleted;
};

// Header lines with From, To, Subject, Date and an X-Priority digit; from
// and subject are the texts after the colon, a leading blank included.
TFakeMailClient::Message FakeMessage(const QString& from, const QString& subject, int priority = 3,
                                     qint64 bytes = 100);
