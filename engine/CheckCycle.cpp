#include "engine/CheckCycle.h"

#include "engine/Connectivity.h"
#include "engine/EngineState.h"
#include "engine/EngineHost.h"
#include "engine/FailureReport.h"
#include "engine/MailSources.h"
#include "engine/MessageList.h"
#include "engine/QuietGate.h"
#include "engine/SeenMessages.h"
#include "engine/SummaryCache.h"
#include "config/AccountRecord.h"
#include "config/StoreError.h"
#include "config/Settings.h"

#include <QLocale>
#include <QRegularExpression>
#include <QScopeGuard>
#include <algorithm>

namespace {

// The locale's long time format, seconds included, without the time zone
// that Qt's long format adds on Linux.
QString LongTimeText(const QTime& time)
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+")));
    return QLocale::system().toString(time, format.trimmed());
}

}

TCheckCycle::TCheckCycle(const TParts& parts) : parts(parts)
{
    if (parts.Desktop)
        notifier.emplace(parts.Options, *parts.Desktop);
}

void TCheckCycle::TimerMainTimer()
{
    ++MinutesElapsed;
    if (parts.Options.Interval() > MinutesElapsed)
        return;
    MinutesElapsed = 0;
    DueTimedCheck();
}

// A due check waits for a request that is still waiting.
void TCheckCycle::DueTimedCheck()
{
    if (parts.Options.CheckingEnabled() && parts.State.MayRun(TEngineState::TRequest::TimedCheck))
        StartTimedCheck();
}

void TCheckCycle::StartTimedCheck()
{
    if (!parts.State.InFlight() && parts.Net.ReadyForTimedCheck())
        Start(false);
}

// A step still waiting on Timer1 belongs to the cycle being started over.
// A timed check that would leave out every account changes nothing.
void TCheckCycle::Start(bool userStarted)
{
    const QStringList leftOut = userStarted ? QStringList() : AccountsToSkip();
    const QStringList names = parts.Options.SelectedAccounts();
    if (!names.isEmpty() && leftOut.size() == names.size()) {
        if (skippedOffline)
            parts.Status.SetStatusText(0, QStringLiteral("Offline"));
        return;
    }
    TEngineState& state = parts.State;
    state.CheckStarted();
    state.DropStep();
    skipped = leftOut;
    parts.Sources.Keep(names);
    parts.List.SetAsideExcept(skipped);
    parts.Report.ForgetHeld();
    checkedAccounts.clear();
    AccountIndex = 0;
    CancelRequested = false;
    state.Operation = TEngineState::opCheck;
    state.UserStarted = userStarted;
    checking = true;
    if (userStarted) {
        state.EngineBusy = true;
        if (parts.Desktop)
            parts.Desktop->StopFlashing();
    }
    CheckNextAccount();
}

void TCheckCycle::Cancel()
{
    CancelRequested = true;
}

// Without a network a timed check leaves out the servers elsewhere; a
// server that asks for a pause between logins gets it from timed checks.
QStringList TCheckCycle::AccountsToSkip()
{
    const bool offline = parts.Options.ConnType() == LanConn && parts.Net.SystemOffline();
    skippedOffline = false;
    QStringList leftOut;
    for (const QString& name : parts.Options.SelectedAccounts()) {
        if (offline && !IsLocalAccount(name)) {
            leftOut << name;
            skippedOffline = true;
        } else if (LoginTooSoon(name)) {
            leftOut << name;
        }
    }
    return leftOut;
}

// An account the store cannot read is checked, and its failure told, as
// any other.
bool TCheckCycle::IsLocalAccount(const QString& name)
{
    try {
        const std::optional<TAccountRecord> account = TAccountRecord::Read(parts.Store, name);
        return account && account->IsLocal();
    } catch (const EStoreError&) {
        return false;
    }
}

bool TCheckCycle::LoginTooSoon(const QString& name) const
{
    const TLogin login = logins.value(name);
    if (login.Delay <= 0 || !login.At.isValid())
        return false;
    const qint64 since = login.At.secsTo(parts.Now());
    return since >= 0 && since < login.Delay;
}

// A timed check tells nobody in a box: the status bar says it.
void TCheckCycle::TellNoAccounts()
{
    const QString text = QStringLiteral("There are no accounts to check");
    if (!parts.State.UserStarted) {
        parts.Status.SetStatusText(0, text);
        return;
    }
    if (noAccountsShown)
        return;
    noAccountsShown = true;
    const auto closed = qScopeGuard([this] { noAccountsShown = false; });
    parts.User.ShowMessage(text);
}

void TCheckCycle::CheckNextAccount()
{
    const QStringList names = parts.Options.SelectedAccounts();
    if (names.isEmpty()) {
        parts.State.EngineBusy = false;
        TellNoAccounts();
        return;
    }
    while (AccountIndex < names.size() && skipped.contains(names.at(AccountIndex)))
        ++AccountIndex;
    if (AccountIndex >= names.size())
        return FinishCheck();
    const QString name = names.value(AccountIndex);
    parts.Status.SetStatusText(0, QStringLiteral("Checking ") + name + QStringLiteral(" for mail"));
    current = &parts.Sources.For(name);
    current->Refresh();
}

bool TCheckCycle::Mine(const TMailSource& source) const
{
    return checking && parts.State.Operation == TEngineState::opCheck && &source == current;
}

void TCheckCycle::Watch(TMailSource& source)
{
    TMailSource* const from = &source;
    QObject::connect(from, &TMailSource::Opened, from, [this, from](int loginDelay) {
        logins[from->Account()] = {parts.Now(), loginDelay};
    });
    QObject::connect(from, &TMailSource::Listing, from, [this, from](int count) {
        if (Mine(*from)) {
            parts.List.StartListing(from->Account(), parts.Now());
            parts.List.Reserve(count);
        }
    });
    QObject::connect(from, &TMailSource::Listed, from, [this, from](const TSourceRow& row) {
        if (Mine(*from))
            Listed(*from, row);
    });
    QObject::connect(from, &TMailSource::Progress, from, [this, from](int number, int count) {
        if (Mine(*from))
            parts.Status.SetStatusText(
                0, QStringLiteral("Checking %1: %2 of %3").arg(from->Account()).arg(number).arg(count));
    });
    QObject::connect(from, &TMailSource::Refreshed, from, [this, from](const QList<int>& deleted) {
        if (Mine(*from))
            Refreshed(deleted);
    });
    QObject::connect(from, &TMailSource::Failed, from, [this, from](const TSourceFailure& failure) {
        if (Mine(*from))
            Failed(failure);
        else if (from->Pushes() && failure.Kind != TFailureKind::Canceled)
            FailedBetweenChecks(*from, failure);
    });
    QObject::connect(from, &TMailSource::Arrived, from,
                     [this, from](const QList<TSourceRow>& rows) { Arrived(*from, rows); });
    QObject::connect(from, &TMailSource::Removed, from, [this](const QList<TMessageKey>& keys) { Removed(keys); });
    // Connected again after a drop: its failure is over.
    QObject::connect(from, &TMailSource::WatchChanged, from, [this, from] {
        if (from->Watching().Live) {
            parts.Report.Cleared(from->Account());
            parts.Report.ShowStanding();
        }
        WatchChanged();
    });
}

// What a source is told between checks is news as a check's would be; in
// the middle of its own listing it is part of that.
void TCheckCycle::Arrived(TMailSource& source, const QList<TSourceRow>& rows)
{
    for (const TSourceRow& row : rows)
        Listed(source, row);
    if (Mine(source))
        return;
    parts.List.AnnounceHeldRows();
    parts.Status.SetStatusText(2, ResultText());
    AnnounceRows({source.Account()});
}

void TCheckCycle::Removed(const QList<TMessageKey>& keys)
{
    for (const TMessageKey& key : keys)
        parts.List.RemoveGone(key.Account, key.UniqueId);
    parts.Status.SetStatusText(2, ResultText());
    if (parts.List.Count() == 0 && parts.Desktop)
        parts.Desktop->WithdrawNotice();
}

// A source that keeps its connection may lose it between checks: told
// once, as a timed check's failure is.
void TCheckCycle::FailedBetweenChecks(const TMailSource& source, const TSourceFailure& failure)
{
    parts.List.Restore(source.Account());
    parts.Report.CheckFailed({source.Account(), true, [this] { CheckNow(); }}, failure, false);
    parts.Report.ShowStanding();
    parts.Status.SetStatusText(2, ResultText());
    ShowIdleActivity();
}

void TCheckCycle::WatchChanged()
{
    parts.Status.ShowWatching(WatchSummary(parts.Sources.Watched()));
    ShowIdleActivity();
}

// A check or an action under way says what it does in panel 0 itself.
void TCheckCycle::ShowIdleActivity()
{
    if (!checking && !parts.State.EngineBusy && !parts.State.InFlight())
        parts.Status.SetStatusText(0, ActivityText());
}

void TCheckCycle::Listed(TMailSource& source, const TSourceRow& row)
{
    const TSummaryResult result =
        parts.List.AddFields(row.Fields, row.Bytes, row.Key.UniqueId, source.Account(), row.Key.Number);
    if (result == TSummaryResult::Delete)
        source.Delete(row.Key);
}

// Checked to its end: its failure, if it had one, is over.
void TCheckCycle::Refreshed(const QList<int>& deleted)
{
    const QString account = AccountName();
    if (!deleted.isEmpty())
        parts.List.Renumber(account, deleted);
    checkedAccounts << account;
    parts.Report.Cleared(account);
    NextAccount();
}

// The user's cancel reaches a waiting request as the source's cancel; it
// ends the check. Any other failure ends the account's part only.
void TCheckCycle::Failed(const TSourceFailure& failure)
{
    if (CancelRequested && failure.Kind == TFailureKind::Canceled)
        return EndCanceled();
    const QString account = AccountName();
    current->Close();
    parts.List.Restore(account);
    parts.Report.CheckFailed({account, true, [this] { CheckNow(); }}, failure, parts.State.UserStarted);
    NextAccount();
}

void TCheckCycle::NextAccount()
{
    ++AccountIndex;
    if (AccountIndex < parts.Options.SelectedAccounts().size())
        CheckNextAccount();
    else
        FinishCheck();
}

void TCheckCycle::EndCanceled()
{
    if (current)
        current->Close();
    FinishCheck();
}

// Questions wait for the event loop: this may run inside the last
// account's calls. The failure box comes after the notification, which
// may bring the main window to the front over it.
void TCheckCycle::FinishCheck()
{
    checking = false;
    parts.List.AnnounceHeldRows();
    parts.Net.ApplyHangUpRule(parts.List.Count() > 0);
    parts.Report.Keep(parts.Options.SelectedAccounts());
    parts.Status.SetStatusText(0, ActivityText());
    parts.State.EngineBusy = false;
    parts.Status.SetStatusText(1, QStringLiteral("Checked at: ") + LongTimeText(QTime::currentTime()));
    parts.Report.ShowStanding();
    if (parts.Cache)
        parts.Cache->Save();
    parts.Status.SetStatusText(2, ResultText());
    AnnounceRows(checkedAccounts);
    parts.Report.TellHeld();
    parts.Report.PostQuestions();
}

void TCheckCycle::AnnounceRows(const QStringList& accounts)
{
    if (!notifier)
        return;
    const TMessageList& list = parts.List;
    const TNoticeRows rows =
        parts.Seen && parts.Options.NotifyNewOnly() ? parts.Seen->Announce(list, accounts) : AllRows(list);
    if (list.Count() == 0)
        parts.Desktop->WithdrawNotice();
    else if (const TNoticeRows told = parts.Gate ? parts.Gate->Pass(rows, list) : rows; !told.isEmpty())
        notifier->NotifyByPriority(told);
    KeepUntoldUnseen();
}

void TCheckCycle::TellKeptNews()
{
    if (!notifier || !parts.Gate || checking)
        return;
    if (const TNoticeRows rows = parts.Gate->Release(parts.List); !rows.isEmpty())
        notifier->NotifyByPriority(rows);
    KeepUntoldUnseen();
}

void TCheckCycle::KeepUntoldUnseen()
{
    if (parts.Seen && parts.Gate && parts.Options.NotifyNewOnly())
        parts.Seen->KeepUntold(parts.Gate->Held());
}

// What panel 0 says when a check ends: a failure that stands names its
// account, its reason and since when, then come the accounts watched; the
// tray's hint has all of them.
QString TCheckCycle::ActivityText() const
{
    if (CancelRequested)
        return QStringLiteral("Canceled");
    if (skippedOffline)
        return QStringLiteral("Offline");
    if (const QStringList lines = StandingLines(); !lines.isEmpty())
        return lines.size() == 1 ? lines.first() : lines.first() + QStringLiteral(" (+%1 more)").arg(lines.size() - 1);
    return QStringLiteral("Done");
}

// A dropped connection's failure is said as its reconnecting.
QStringList TCheckCycle::StandingLines() const
{
    const TWatchedAccounts watched = parts.Sources.Watched();
    const TFailureLog& log = parts.Report.Log();
    QStringList lines;
    for (const TFailureLog::TFailure& failure : log.All()) {
        const bool reconnecting = std::ranges::any_of(watched, [&](const TWatchedAccount& account) {
            return account.Account == failure.Account && account.Retrying();
        });
        if (!reconnecting)
            lines << log.Line(failure.Account);
    }
    return lines + WatchSummary(watched);
}

// What panel 2 says when a check ends: how many rows the list holds, and
// which accounts may have more than it shows.
QString TCheckCycle::ResultText() const
{
    QStringList failed;
    for (const TFailureLog::TFailure& failure : parts.Report.Log().All())
        failed << failure.Account;
    const int count = parts.List.Count();
    const QString rows = QString::number(count) + QStringLiteral(" new messages");
    if (failed.isEmpty())
        return count == 0 ? QStringLiteral("No new messages") : rows;
    // The failure first: a narrow panel cuts the end.
    const QString failure = QStringLiteral("Check failed for ") + failed.join(QStringLiteral(", "));
    return count == 0 ? failure : failure + QStringLiteral("; ") + rows;
}

QString TCheckCycle::AccountName() const
{
    return parts.Options.SelectedAccounts().value(AccountIndex);
}
