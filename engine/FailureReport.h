#pragma once

#include "engine/FailureLog.h"
#include "engine/MailSource.h"

#include <QDateTime>
#include <functional>

class RegistryStore;
class TAccessTokens;
class TEngineTimers;
class TStatusDisplay;
class TUserQuestions;

// How the failures of checks and actions reach the user: the failure log
// and the tray's hint, the boxes, and the questions some failures raise.
// Questions wait until the work is over, so nothing that waits for the
// user holds the checks.
class TFailureReport
{
public:
    struct TParts
    {
        TUserQuestions& User;
        TStatusDisplay& Status;
        TEngineTimers& Timers;
        RegistryStore& Store;
        TAccessTokens* Tokens = nullptr;
        std::function<QDateTime()> Now;
        // True while news is kept back; absent: never.
        std::function<bool()> Quiet;
    };
    // What failed: a check, or an action that Again does once more.
    struct TWork
    {
        QString Account;
        bool Check = true;
        std::function<void()> Again;
    };

    explicit TFailureReport(const TParts& parts) : parts(parts) {}

    // Runs a check the user asks for: after a sign-in, or a Yes to connect.
    std::function<void()> CheckAgain;

    // An account's part of a check failed: noted, and told at once where
    // the user started it, else once, without a box.
    void CheckFailed(const TWork& work, const TSourceFailure& failure, bool userStarted);
    // A failure of work the user started, told or asked about.
    void Tell(const TWork& work, const TSourceFailure& failure);
    // A dial failed; the user is told at once where he asked for it.
    void DialFailed(const QString& connectoid, bool userStarted);
    // The account went through without failure.
    void Cleared(const QString& account);
    // The connection was dialled.
    void ForgetFailure(const QString& connectoid) { failures.Clear(connectoid); }
    // Forgets the failures of accounts no longer checked.
    void Keep(const QStringList& accounts) { failures.Keep(accounts); }
    void ShowStanding();
    // Quiet may be over: the failures it kept back that still stand are
    // told.
    void TellKeptBack();
    // The check is over: its held failures are told, in one box.
    void TellHeld();
    // Questions are asked from the event loop once the calls are over.
    void PostQuestions();
    // A check begins: the failures held for the last one are gone.
    void ForgetHeld() { held.clear(); }

    const TFailureLog& Log() const { return failures; }

private:
    struct THeldFailure
    {
        QString Account;
        QString Reason;
        TFailureBox Box;
    };
    struct TKeptBack
    {
        QString Key;
        QString Line;
        QString Detail;
    };
    struct TQuestion
    {
        QString Text;
        QString Caption;
        std::function<void()> Yes;
        std::function<void()> No;
    };

    static QString Reason(const TSourceFailure& failure);
    static TFailureBox Box(const TSourceFailure& failure);
    void ShowBox(const QString& account, const TFailureBox& box);
    void Announce(const QString& key, const QString& line, const QString& detail);
    void AskTrust(const TWork& work, const TSourceFailure& failure);
    void SignInAgain(const QString& account);
    void AskQuestions();

    TParts parts;
    TFailureLog failures;
    QList<THeldFailure> held;
    QList<TKeptBack> keptBack;
    QList<TQuestion> questions;
    bool questionsPosted = false;
};
