#include "engine/MailSources.h"

TMailSource& TMailSources::For(const QString& account)
{
    std::unique_ptr<TMailSource>& source = sources[account];
    if (!source) {
        source = make ? make(account) : Make(account);
        for (const auto& watch : std::as_const(Watchers))
            watch(*source);
    }
    last = source.get();
    return *source;
}

// Where a kind of mailbox is added: one line of its own.
std::unique_ptr<TMailSource> TMailSources::Make(const QString& account)
{
    return std::make_unique<TPop3Source>(account, pop3);
}

void TMailSources::Cancel()
{
    if (last)
        last->Cancel();
}
