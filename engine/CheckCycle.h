#pragma once

#include "engine/MailSource.h"
#include "engine/Notifier.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <functional>
#include <optional>

class RegistryStore;
class Settings;
class TConnectivity;
class TDesktopActions;
class TEngineState;
class TFailureReport;
class TMailSources;
class TMessageList;
class TQuietGate;
class TSeenMessages;
class TStatusDisplay;
class TSummaryCache;
class TUserQuestions;

// The check cycle: from Check Now or the minute timer, visit every enabled
// account's mail source in the order of the accounts, hand each listed
// message to the list, and close with the result and the news.
//
// A source's failure ends that account's part of the check; the cycle goes
// on with the next account, and the failure is told when the check ends:
// in boxes that do not wait to be read when the user asked, once and
// without a box when the timer did.
class TCheckCycle
{
public:
    struct TParts
    {
        Settings& Options;
        RegistryStore& Store;
        TMessageList& List;
        TMailSources& Sources;
        TEngineState& State;
        TFailureReport& Report;
        TConnectivity& Net;
        TStatusDisplay& Status;
        TUserQuestions& User;
        // None: nothing is told of new mail (--check prints it instead).
        TDesktopActions* Desktop = nullptr;
        // What earlier checks read of each message, and announced.
        TSummaryCache* Cache = nullptr;
        TSeenMessages* Seen = nullptr;
        // The clock of failures and of the servers' login delays.
        std::function<QDateTime()> Now;
        // None: news is never kept back.
        TQuietGate* Gate = nullptr;
    };

    explicit TCheckCycle(const TParts& parts);

    int MinutesElapsed = 0;
    // The account in SelectedAccounts() being checked.
    int AccountIndex = 0;
    bool CancelRequested = false;
    // Runs the user's Check Now: the answer to a question.
    std::function<void()> CheckNow;

    void TimerMainTimer();
    void DueTimedCheck();
    // A check still under way is the one the timer asked for: starting it
    // over would never let a long one finish.
    void StartTimedCheck();
    void Start(bool userStarted);
    void Cancel();
    void Watch(TMailSource& source);
    // Quiet is over: the news it kept back is told, once. A check under way
    // tells it at its end.
    void TellKeptNews();

private:
    struct TLogin
    {
        QDateTime At;
        int Delay = 0; // seconds the server wants between logins
    };

    bool Mine(const TMailSource& source) const;
    QStringList AccountsToSkip();
    bool IsLocalAccount(const QString& name);
    bool LoginTooSoon(const QString& name) const;
    void CheckNextAccount();
    void TellNoAccounts();
    void Listed(TMailSource& source, const TSourceRow& row);
    void Refreshed(const QList<int>& deleted);
    void Failed(const TSourceFailure& failure);
    void Arrived(TMailSource& source, const QList<TSourceRow>& rows);
    void Removed(const QList<TMessageKey>& keys);
    void FailedBetweenChecks(const TMailSource& source, const TSourceFailure& failure);
    void WatchChanged();
    void ShowIdleActivity();
    void NextAccount();
    void EndCanceled();
    void FinishCheck();
    void AnnounceRows(const QStringList& accounts);
    // What quiet keeps back is left out of the seen messages' file.
    void KeepUntoldUnseen();
    QString ActivityText() const;
    QStringList StandingLines() const;
    QString ResultText() const;
    QString AccountName() const;

    TParts parts;
    std::optional<TNotifier> notifier;
    TMailSource* current = nullptr;
    bool checking = false;
    // The accounts this check has gone through to their last message.
    QStringList checkedAccounts;
    // Accounts this timed check leaves out, their rows kept: no network, or
    // the server's login delay not over.
    QStringList skipped;
    bool skippedOffline = false;
    QHash<QString, TLogin> logins;
    bool noAccountsShown = false;
};
