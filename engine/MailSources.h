#pragma once

#include "engine/ImapSource.h"
#include "engine/Pop3Source.h"
#include "engine/WatchedAccounts.h"

#include <functional>
#include <map>
#include <memory>

// One mail source for each account, of the account's protocol, made when
// it is first needed and made anew when the protocol changes.
class TMailSources
{
public:
    using TMake = std::function<std::unique_ptr<TMailSource>(const QString& account)>;

    // make: none makes each account's source by its protocol.
    TMailSources(const TPop3Source::TParts& pop3, const TImapSource::TParts& imap, TMake make)
        : pop3(pop3), imap(imap), make(std::move(make))
    {
    }

    // Each new source is handed to these, to hear what it tells.
    QList<std::function<void(TMailSource&)>> Watchers;

    TMailSource& For(const QString& account);
    // The account's source where one is made for its protocol; none is
    // made here.
    const TMailSource* Find(const QString& account) const;
    // The accounts whose sources watch live or reconnect, by name.
    TWatchedAccounts Watched() const;
    // Stops what the source asked last waits for.
    void Cancel();
    // The sources of other accounts end, their connections with them.
    void Keep(const QStringList& accounts);
    // Every source's kept connection may have died unnoticed.
    void Revive();

private:
    struct TMade
    {
        QString Protocol;
        std::unique_ptr<TMailSource> Source;
    };

    QString ProtocolOf(const QString& account) const;
    std::unique_ptr<TMailSource> Make(const QString& account, const QString& protocol);

    TPop3Source::TParts pop3;
    TImapSource::TParts imap;
    TMake make;
    std::map<QString, TMade> sources;
    TMailSource* last = nullptr;
};
