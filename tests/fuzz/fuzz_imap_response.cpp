// Feeds arbitrary bytes, in pieces of varying size, to the IMAP response
// parser and reads each FETCH it makes as the client does.
#include "imap/ImapFetch.h"
#include "imap/ImapResponse.h"

#include <cstdlib>

namespace {

constexpr qint64 Limit = 64 * 1024;

// The bytes a response's values hold cannot outgrow what came in.
qsizetype ValueBytes(const QList<TImapValue>& values)
{
    qsizetype total = 0;
    for (const TImapValue& value : values)
        total += value.Text.size() + ValueBytes(value.Items);
    return total;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype piece = 1 + data[0] % 64;
    const QByteArray input(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size) - 1);
    TImapParser parser(Limit);
    try {
        for (qsizetype at = 0; at < input.size(); at += piece) {
            parser.Feed(input.mid(at, piece));
            while (std::optional<TImapResponse> response = parser.Next()) {
                if (ValueBytes(response->Data) + ValueBytes(response->Code) > input.size())
                    std::abort();
                if (response->Name == "FETCH")
                    FetchItemsOf(*response);
            }
        }
    } catch (const EImapProtocol&) {
    }
    return 0;
}
