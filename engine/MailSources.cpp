#include "engine/MailSources.h"

#include "config/AccountRecord.h"
#include "config/StoreError.h"

namespace {

// An account of a protocol this program does not speak fails every
// request in words, instead of being spoken to in another protocol.
class TUnknownSource : public TMailSource
{
public:
    TUnknownSource(const QString& account, const QString& protocol) : TMailSource(account), protocol(protocol) {}

    void Open() override { Refuse(); }
    void Refresh() override { Refuse(); }
    void Delete(const TMessageKey&) override { Refuse(); }
    void Fetch(const TMessageKey&) override { Refuse(); }
    void Close() override {}
    void Cancel() override {}

private:
    void Refuse()
    {
        TSourceFailure failure;
        failure.Message = QStringLiteral("%1 is set to the protocol \"%2\", which Postwatch cannot check.")
                              .arg(Account(), protocol.left(40));
        emit Failed(failure);
    }

    QString protocol;
};

}

TMailSource& TMailSources::For(const QString& account)
{
    const QString protocol = ProtocolOf(account);
    TMade& made = sources[account];
    if (!made.Source || made.Protocol != protocol) {
        if (made.Source)
            made.Source.release()->deleteLater();
        made = {protocol, make ? make(account) : Make(account, protocol)};
        for (const auto& watch : std::as_const(Watchers))
            watch(*made.Source);
    }
    last = made.Source.get();
    return *made.Source;
}

const TMailSource* TMailSources::Find(const QString& account) const
{
    const auto made = sources.find(account);
    if (made == sources.end() || made->second.Protocol != ProtocolOf(account))
        return nullptr;
    return made->second.Source.get();
}

TWatchedAccounts TMailSources::Watched() const
{
    TWatchedAccounts watched;
    for (const auto& [account, made] : sources) {
        const TWatchedAccount state{account, made.Source->Watching()};
        if (state.State.Live || state.Retrying())
            watched << state;
    }
    return watched;
}

// A record that is gone or cannot be read leaves the source to find that
// out when it opens, and say it.
QString TMailSources::ProtocolOf(const QString& account) const
{
    try {
        const std::optional<TAccountRecord> record = TAccountRecord::Read(pop3.Store, account);
        return record ? record->Protocol.toUpper() : TAccountRecord::DefaultProtocol;
    } catch (const EStoreError&) {
        return TAccountRecord::DefaultProtocol;
    }
}

// Where a kind of mailbox is added: one line of its own.
std::unique_ptr<TMailSource> TMailSources::Make(const QString& account, const QString& protocol)
{
    if (protocol == TAccountRecord::DefaultProtocol)
        return std::make_unique<TPop3Source>(account, pop3);
    if (protocol == QLatin1String("IMAP"))
        return std::make_unique<TImapSource>(account, imap);
    return std::make_unique<TUnknownSource>(account, protocol);
}

// A source may be in the middle of telling something: it goes once that is
// over.
void TMailSources::Keep(const QStringList& accounts)
{
    for (auto made = sources.begin(); made != sources.end();) {
        if (accounts.contains(made->first)) {
            ++made;
            continue;
        }
        if (last == made->second.Source.get())
            last = nullptr;
        made->second.Source.release()->deleteLater();
        made = sources.erase(made);
    }
}

void TMailSources::Revive()
{
    for (auto& [account, made] : sources)
        made.Source->Revive();
}

void TMailSources::Cancel()
{
    if (last)
        last->Cancel();
}
