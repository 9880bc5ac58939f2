#pragma once

#include "engine/MailSource.h"
#include "imap/ImapClient.h"

#include <QDateTime>
#include <QMap>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>

class RegistryStore;
class TAccessTokens;
class TEngineState;
class TSummaryCache;

// An IMAP folder's unread mail. The account keeps one connection: after a
// request it waits in IDLE, and what the server tells of there comes as
// Arrived and Removed. A connection that drops is opened again, with
// growing pauses, and its failure is told once.
class TImapSource : public TMailSource
{
    Q_OBJECT

public:
    struct TParts
    {
        RegistryStore& Store;
        TEngineState& State;
        TSummaryCache* Cache = nullptr;
        TAccessTokens* Tokens = nullptr;
        // Milliseconds a server may take to answer.
        std::function<int()> TimeOut = [] { return 60000; };
        // Where the quick view puts a message's files.
        std::function<QString()> AttachFolder = [] { return QString(); };
        std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };
        // Stays connected after a request to be told of changes; a run
        // without a window lists and logs out.
        bool Watch = true;
        int IdleRenewal = 9 * 60 * 1000;
        // The pauses before opening a dropped connection again, in ms.
        int FirstRetry = 2000;
        int LastRetry = 5 * 60 * 1000;
    };

    TImapSource(const QString& account, const TParts& parts, QObject* parent = nullptr);

    bool Pushes() const override { return parts.Watch; }
    TWatchState Watching() const override;
    bool MarksRead() const override { return true; }

    void Open() override;
    void Refresh() override;
    void Delete(const TMessageKey& key) override;
    void Fetch(const TMessageKey& key) override;
    void MarkRead(const TMessageKey& key) override;
    void Close() override;
    void Cancel() override;
    void Revive() override;

private:
    enum class TJob { Open, Refresh, Update, Delete, Fetch, MarkRead };
    struct TRequest
    {
        TJob Job = TJob::Open;
        TMessageKey Key = {};
    };

    void Ask(const TRequest& request);
    void Next();
    void Run();
    void Done();
    void Rest();
    void OpenSession();
    std::optional<TImapLogin> ReadLogin();
    void SessionOpened();
    quint32 UidOf(const TMessageKey& key) const;
    QString IdOf(quint32 uid) const;

    // The listing (ImapListing.cpp).
    void Searched(const QList<quint32>& uids);
    void HeadersFetched(const QList<TImapMessage>& messages);
    void FetchNext();
    void ListingDone();
    void ListAll();
    void TellChanges();
    bool FromCache(quint32 uid);
    QString CacheBox() const;
    TSourceRow RowOf(const TImapMessage& message) const;
    void FetchedMessage(quint32 uid, const QByteArray& bytes);

    void Gone(quint32 uid);
    void ClientFailed(const TImapError& error);
    void FailWith(const TSourceFailure& failure);
    void Dropped(const TSourceFailure& failure);
    void Retry();
    void SetLive(bool live);

    TParts parts;
    TImapClient client;
    std::deque<TRequest> queue;
    std::optional<TRequest> current;
    QString server;
    QString user;
    QString folder;
    quint32 validity = 0;
    // The folder's unread messages as last listed, by UID.
    QMap<quint32, TSourceRow> known;
    QList<quint32> arrived;
    QList<quint32> toFetch;
    QList<TMessageKey> removed;
    bool live = false;
    QDateTime retryingSince;
    int retryPause = 0;
    QTimer retryTimer;
};
