#include "engine/Pop3Source.h"

#include "engine/EngineState.h"
#include "engine/SummaryCache.h"
#include "base/Exception.h"
#include "base/Guard.h"
#include "pop3/Pop3client.h"

#include <QCoreApplication>
#include <QScopeGuard>

// One UIDL and one LIST tell which messages an earlier check read already.
// A listing that cannot be trusted leaves this session to the full
// listing, and says so; a server without UIDL just has the full listing.
bool TPop3Source::ListQuickly()
{
    if (!parts.Cache || !quickCheck)
        return false;
    bool listed = false;
    CallClient([&] { listed = client.ListMailbox(); });
    if (!listed && client.ListingProblem != QLatin1String("the server offers no UIDL"))
        WriteErrorLine(Account() + QStringLiteral(": ") + client.ListingProblem
                       + QStringLiteral("; every message is read in full"));
    return listed;
}

// Every message in number order: one read before is its row at once, a new
// one is read with TOP (many at a time where the server pipelines). The
// blocked ones are deleted once all are read: their replies would otherwise
// wait behind the TOPs in flight, and their numbers hold until QUIT.
void TPop3Source::QuickListing()
{
    mailbox = TSummaryCache::Mailbox(Account(), client.Host, client.UserID);
    quick = true;
    const auto done = qScopeGuard([this] { quick = false; });
    client.SummariesAhead.clear();
    for (int message = 1; message <= client.MessageCount; ++message)
        if (!Cached(message))
            client.SummariesAhead << message;
    blocked.clear();
    for (MessageNumber = 1; MessageNumber <= client.MessageCount; ++MessageNumber) {
        const QString& id = client.UniqueIds.at(MessageNumber - 1);
        deleteListed = false;
        emit Listed({{Account(), id, MessageNumber}, QuickFields(MessageNumber), client.Sizes.at(MessageNumber - 1)});
        if (deleteListed)
            blocked << MessageNumber;
        ShowProgress();
        if (canceled)
            return Fail({TFailureKind::Canceled});
    }
    for (const int message : std::as_const(blocked)) {
        CallClient([&] { client.DeleteMessage(message); });
        deletedInSession << message;
    }
    CallClient([this] { client.Disconnect(); });
    parts.Cache->Keep(mailbox, client.UniqueIds);
    EndListing();
}

// A cached row stands for its message where the listing gives the size it
// had; one kept before sizes were, only where it would not delete the
// message. A server may give a new message an old one's unique id, and
// nobody chose to delete that one.
const TSummaryFields* TPop3Source::Cached(int message)
{
    const TSummaryCache::TEntry* known = parts.Cache->Find(mailbox, client.UniqueIds.at(message - 1));
    if (!known)
        return nullptr;
    const qint64 bytes = client.Sizes.at(message - 1);
    const bool trusted = known->Bytes < 0 ? !parts.Deletes(known->Fields, bytes) : known->Bytes == bytes;
    return trusted ? &known->Fields : nullptr;
}

TSummaryFields TPop3Source::QuickFields(int message)
{
    if (const TSummaryFields* known = Cached(message))
        return *known;
    CallClient([&] { client.RetrieveSummary(message); });
    const TSummaryFields fields = FieldsOf(client.Summary);
    parts.Cache->Remember(mailbox, client.UniqueIds.at(message - 1), fields, client.Sizes.at(message - 1));
    return fields;
}

// A long first listing is visibly alive; rows known already come without a
// wait, so the window gets its turn now and then.
void TPop3Source::ShowProgress()
{
    constexpr int Every = 10;
    if (MessageNumber % Every != 0 && MessageNumber != client.MessageCount && MessageNumber != 1)
        return;
    emit Progress(MessageNumber, client.MessageCount);
    if (quick)
        QCoreApplication::processEvents();
}

// The full listing: the row of each summary, then Timer1's pause before
// the next request.
void TPop3Source::SummaryRead()
{
    if (task != TTask::Refresh || quick)
        return;
    deleteListed = false;
    emit Listed({{Account(), QString(), MessageNumber, HeaderDigest(client.Summary.Header)}, FieldsOf(client.Summary),
                 client.Summary.Bytes});
    if (canceled)
        return Fail({TFailureKind::Canceled});
    parts.State.ArmStep([this, deleteFirst = deleteListed] { NextStep(deleteFirst); });
}

// After Cancel no request may follow: the client would refuse it with an
// abort instead of ending the listing.
void TPop3Source::NextStep(bool deleteFirst)
{
    if (canceled)
        return Fail({TFailureKind::Canceled});
    Run([this, deleteFirst] {
        if (deleteFirst) {
            CallClient([this] { client.DeleteMessage(MessageNumber); });
            deletedInSession << MessageNumber;
        }
        NextMessage();
    });
}

// Kept and blocked messages advance alike, so every number is summarised
// once and a row's number is the server's.
void TPop3Source::NextMessage()
{
    ++MessageNumber;
    if (MessageNumber <= client.MessageCount) {
        ShowProgress();
        CallClient([this] { client.RetrieveSummary(MessageNumber); });
        return;
    }
    if (client.Connected) {
        CallClient([this] { client.Disconnect(); });
        return EndListing();
    }
    deletedInSession.clear();
    EndListing();
}

void TPop3Source::EndListing()
{
    task = TTask::None;
    MessageNumber = 1;
    emit Refreshed(std::exchange(deletedInSession, {}));
}
