#include "engine/FailureReport.h"

#include "engine/AccessTokens.h"
#include "engine/EngineHost.h"
#include "base/Exception.h"
#include "config/OAuthAccount.h"
#include "config/AccountRecord.h"

#include <utility>

namespace {
// Only the desktop signs such an account in again: asking would lead nowhere.
bool signsInHere(RegistryStore& store, const QString& account)
{
    const std::optional<TAccountRecord> record = TAccountRecord::Read(store, account);
    return !record || record->Auth != authDesktop;
}
}

void TFailureReport::CheckFailed(const TWork& work, const TSourceFailure& failure, bool userStarted)
{
    if (parts.Tokens && failure.Kind == TFailureKind::SignInRefused)
        parts.Tokens->Forget(work.Account);
    const bool news = failures.Note(work.Account, Reason(failure), parts.Now());
    if (userStarted)
        Tell(work, failure);
    else if (news)
        Announce(work.Account, failures.Line(work.Account), failure.Message.simplified());
}

// The box the failure events would have shown, with the failure's own
// words; a refused certificate, a lost connection or a refused sign-in
// becomes a question.
void TFailureReport::Tell(const TWork& work, const TSourceFailure& failure)
{
    const bool canAsk = parts.User.CanAsk();
    if (failure.Kind == TFailureKind::Certificate && canAsk && !failure.Fingerprint.isEmpty())
        return AskTrust(work, failure);
    if (failure.Kind == TFailureKind::SignInRefused && canAsk && signsInHere(parts.Store, work.Account))
        return questions.append({QStringLiteral("%1 no longer accepts the sign-in of %2.\n\nSign in to %2 again now?")
                                     .arg(failure.Server, work.Account),
                                 QStringLiteral("Sign In"), [this, account = work.Account] { SignInAgain(account); },
                                 {}});
    if (failure.ConnectionLost && canAsk && work.Check)
        return questions.append({QStringLiteral("Connection required for this operation. Connect now?"),
                                 QStringLiteral("Connection Required"), [this] { CheckAgain(); }, {}});
    if (work.Check)
        held.append({work.Account, Reason(failure), Box(failure)});
    else
        ShowBox(work.Account, Box(failure));
}

void TFailureReport::DialFailed(const QString& connectoid, bool userStarted)
{
    const QString reason = QStringLiteral("Failed to connect");
    if (userStarted)
        parts.User.Tell(reason, QStringLiteral("Error"), TBoxOwner::MainWindow);
    else if (failures.Note(connectoid, reason, parts.Now()))
        Announce(connectoid, connectoid + QStringLiteral(": ") + reason, QString());
    parts.Status.ShowStandingFailures(failures.Lines());
}

// Its failure, if it had one, is over, and so are the boxes that still
// tell of it.
void TFailureReport::Cleared(const QString& account)
{
    if (failures.Clear(account))
        parts.Status.ShowStandingFailures(failures.Lines());
    parts.User.WithdrawFailures(account);
}

void TFailureReport::ShowStanding()
{
    parts.Status.ShowStandingFailures(failures.Lines());
}

// A bubble is news like any other: while it is quiet only the tray's hint
// tells of the failure.
void TFailureReport::Announce(const QString& key, const QString& line, const QString& detail)
{
    if (!parts.Quiet || !parts.Quiet())
        return parts.Status.AnnounceFailure(line, detail);
    keptBack.removeIf([&](const TKeptBack& kept) { return kept.Key == key; });
    keptBack.append({key, line, detail});
}

void TFailureReport::TellKeptBack()
{
    if (keptBack.isEmpty() || (parts.Quiet && parts.Quiet()))
        return;
    for (const TKeptBack& kept : std::exchange(keptBack, {}))
        if (!failures.Line(kept.Key).isEmpty())
            parts.Status.AnnounceFailure(kept.Line, kept.Detail);
}

QString TFailureReport::Reason(const TSourceFailure& failure)
{
    if (!failure.Reason.isEmpty())
        return failure.Reason;
    if (failure.Kind == TFailureKind::Certificate)
        return QStringLiteral("Certificate not trusted");
    if (failure.Kind == TFailureKind::SignInRefused)
        return QStringLiteral("Sign in again");
    if (failure.Message.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
        return QStringLiteral("No answer in time");
    return failure.Message.simplified();
}

// One box a failure: boxes that do not wait would pile up otherwise.
TFailureBox TFailureReport::Box(const TSourceFailure& failure)
{
    if (failure.Boxes.isEmpty())
        return {failure.Message, QString(), TBoxOwner::MainWindow, true};
    TFailureBox box = failure.Boxes.last();
    box.Text += QStringLiteral("\n\n") + failure.Message.trimmed();
    return box;
}

void TFailureReport::ShowBox(const QString& account, const TFailureBox& box)
{
    if (box.Plain)
        parts.User.ShowFailure(account, box.Text);
    else
        parts.User.TellFailure(account, box.Text, box.Caption, box.Owner);
}

// Yes stores the fingerprint and does again what met the certificate; No
// leaves a check as cancelled, an action as if never asked for.
void TFailureReport::AskTrust(const TWork& work, const TSourceFailure& failure)
{
    auto again = [this, work, fingerprint = failure.Fingerprint] {
        TAccountRecord::TrustCertificate(parts.Store, work.Account, fingerprint);
        work.Again();
    };
    auto declined = [this, check = work.Check] {
        if (check)
            parts.Status.SetStatusText(0, QStringLiteral("Canceled"));
    };
    questions.append({failure.Message + QStringLiteral("\n\nTrust this certificate for ") + work.Account + u'?',
                      QStringLiteral("Certificate"), again, declined});
}

// The browser's sign-in waits for the user; then the check runs again.
void TFailureReport::SignInAgain(const QString& account)
{
    try {
        SignInAccount(parts.Store, account, [this](const QUrl& url) { parts.User.OpenUrl(url); });
    } catch (const Exception& error) {
        parts.User.TellFailure(account, error.Message, QStringLiteral("Sign In"), TBoxOwner::MainWindow);
        return;
    }
    if (parts.Tokens)
        parts.Tokens->Forget(account);
    CheckAgain();
}

// The failures of one check are one box, a line each: boxes of their own
// would open on top of each other.
void TFailureReport::TellHeld()
{
    const QList<THeldFailure> told = std::exchange(held, {});
    if (told.size() == 1)
        return ShowBox(told.first().Account, told.first().Box);
    if (told.isEmpty())
        return;
    QStringList accounts;
    QStringList lines;
    for (const THeldFailure& failure : told) {
        accounts << failure.Account;
        lines << failure.Account + QStringLiteral(": ") + failure.Reason;
    }
    parts.User.TellFailures(accounts, QStringLiteral("Postwatch could not check %1 accounts:\n\n").arg(told.size())
                                          + lines.join(u'\n'));
}

// Asked from the event loop once the calls are over, each after the last
// one's answer; what a Yes starts is a check or action of its own.
void TFailureReport::PostQuestions()
{
    if (!questions.isEmpty() && !std::exchange(questionsPosted, true))
        parts.Timers.Post([this] { AskQuestions(); });
}

void TFailureReport::AskQuestions()
{
    questionsPosted = false;
    while (!questions.isEmpty()) {
        const TQuestion question = questions.takeFirst();
        if (parts.User.AskYesNo(question.Text, question.Caption, TBoxOwner::MainWindow)) {
            if (question.Yes)
                question.Yes();
        } else if (question.No) {
            question.No();
        }
    }
}
