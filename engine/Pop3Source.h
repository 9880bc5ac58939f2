#pragma once

#include "engine/MailSource.h"

#include <functional>

class RegistryStore;
class TAccessTokens;
class TEngineState;
class TMailClient;
class TSummaryCache;

// A POP3 mailbox. Every request is one session of the mail client, which
// all POP3 accounts share: log in, do the work, QUIT. The client's events
// run inside its calls, and every request that follows a summary of a full
// listing waits for Timer1, after that call has returned.
class TPop3Source : public TMailSource
{
    Q_OBJECT

public:
    struct TParts
    {
        TMailClient& Client;
        RegistryStore& Store;
        TEngineState& State;
        // None: every listing reads every header.
        TSummaryCache* Cache = nullptr;
        // None: an account that signs in with OAuth 2.0 cannot log in.
        TAccessTokens* Tokens = nullptr;
        // Whether the list would have a message deleted: a cached row kept
        // before sizes were stands only where it would not.
        std::function<bool(const TSummaryFields&, qint64)> Deletes;
    };

    TPop3Source(const QString& account, const TParts& parts, QObject* parent = nullptr);

    void Open() override;
    void Refresh() override;
    void Delete(const TMessageKey& key) override;
    void Fetch(const TMessageKey& key) override;
    void Close() override;
    void Cancel() override;

private:
    enum class TTask { None, Open, Refresh, Delete, Fetch };

    void Start(TTask task, const std::function<void()>& work);
    void Run(const std::function<void()>& work);
    void BindEvents();
    void ConnectAccount();
    bool ReadAccount();
    void ReadCredentials(int auth);
    void Connected();
    void ListAll();
    bool ListQuickly();
    void QuickListing();
    const TSummaryFields* Cached(int message);
    TSummaryFields QuickFields(int message);
    void SummaryRead();
    void NextStep(bool deleteFirst);
    void NextMessage();
    void EndListing();
    void ShowProgress();
    bool NumberOnServer() const;
    bool StillListed();
    void Refuse();
    void FinishDelete();
    void FinishFetch();
    void Fail(const TSourceFailure& failure);
    void NoteFailure(const QString& reason, const TFailureBox& box);
    void CallClient(const std::function<void()>& call);

    TParts parts;
    TMailClient& client;
    TTask task = TTask::None;
    // The message a delete or fetch acts on, as a listing gave it.
    TMessageKey target;
    int MessageNumber = 0;
    bool quick = false;
    bool quickCheck = true;
    bool deleteListed = false;
    bool canceled = false;
    int depth = 0;
    QString mailbox;
    // Blocked messages deleted in this session: the numbers of the later
    // rows move up when its QUIT makes that final.
    QList<int> deletedInSession;
    QList<int> blocked;
    // What the client's failure events said of this session.
    TSourceFailure noted;
};
