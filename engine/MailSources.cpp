#include "engine/MailSources.h"

TMailSource& TMailSources::For(const QString& account)
{
    std::unique_ptr<TMailSource>& source = sources[account];
    if (!source) {
        source = make ? make(account) : Make(account);
        for (const auto& watch : std::as_const(Watchers))
            watch(*source);
    }
    return *source;
}

// Where a kind of mailbox is added: one line of its own.
std::unique_ptr<TMailSource> TMailSources::Make(const QString& account)
{
    return std::make_unique<TPop3Source>(account, pop3);
}

void TMailSources::Cancel()
{
    for (auto& [account, source] : sources)
        source->Cancel();
}
