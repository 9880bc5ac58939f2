#include "imap/ImapFetch.h"

namespace {

bool HoldsSeen(const TImapValue& flags)
{
    return std::any_of(flags.Items.begin(), flags.Items.end(), [](const TImapValue& flag) { return flag.IsAtom("\\Seen"); });
}

void TakeItem(TFetchItems& items, const TImapValue& name, const TImapValue& value)
{
    const QByteArray key = name.Text.toUpper();
    if (key == "UID" && value.Kind == TImapValue::TKind::Number)
        items.Uid = value.Number();
    else if (key == "RFC822.SIZE" && value.Kind == TImapValue::TKind::Number)
        items.Size = value.Text.toLongLong();
    else if (key == "FLAGS" && value.Kind == TImapValue::TKind::List)
        items.Seen = HoldsSeen(value);
    else if (key == "BODY[]" || key.startsWith("BODY[]<"))
        items.Message = value.Text;
    else if (key.startsWith("BODY[HEADER"))
        items.Header = value.Text;
}

} // namespace

TFetchItems FetchItemsOf(const TImapResponse& fetch)
{
    if (fetch.Data.size() != 1 || fetch.Data.first().Kind != TImapValue::TKind::List || fetch.Data.first().Items.size() % 2 != 0)
        throw EImapProtocol(QStringLiteral("sent a FETCH that is no list of items"));
    TFetchItems items;
    const QList<TImapValue>& pairs = fetch.Data.first().Items;
    for (qsizetype i = 0; i < pairs.size(); i += 2) {
        if (pairs[i].Kind != TImapValue::TKind::Atom)
            throw EImapProtocol(QStringLiteral("sent a FETCH item without a name"));
        TakeItem(items, pairs[i], pairs[i + 1]);
    }
    return items;
}
