#pragma once

#include "pop3/Pop3client.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <limits>

// The three priority classes as the list shows them.
namespace Priority {
inline const QString High = QStringLiteral("High");
inline const QString Normal = QStringLiteral("Normal");
inline const QString Low = QStringLiteral("Low");

// Low < Normal < High; 0 for any other text.
inline int Rank(const QString& priority)
{
    if (priority == High)
        return 3;
    if (priority == Normal)
        return 2;
    return priority == Low ? 1 : 0;
}
}

// A SHA-256 of a message's header lines. A row keeps its bytes, in place:
// as hex text in a string of its own it would cost three times as much for
// each of hundreds of thousands of rows. Files hold it as hex.
using THeaderDigest = std::array<char, 32>;
QByteArray DigestHex(const THeaderDigest& digest);
// A text that is no digest's hex gives one that no header has.
THeaderDigest DigestFromHex(const QByteArray& hex);

// A digest of the header up to its end (a blank line or the closing "."),
// by which a later check knows the message again.
THeaderDigest HeaderDigest(const TExStringList& header);

// What a row, the filters and the notice take from a message's header, and
// by what it is known again: small enough to keep for every message of a
// mailbox.
struct TSummaryFields
{
    // As received, the leading blank kept, for the filters and the blocked
    // senders; the list shows the readable forms.
    QString From;
    QString Subject;
    QString To;
    QString Date;
    QString Priority;
    // Unfolded and decoded, the leading blank kept.
    QString ReadableFrom;
    QString ReadableSubject;
    // Of the header lines, to know the message again in a later session,
    // where the numbers may have moved.
    THeaderDigest Digest{};
    // The Date's time, to order the rows by (DateOrder).
    qint64 ReceivedOrder = std::numeric_limits<qint64>::min();
};

// The fields of a header, read in one pass over its lines, the texts whole.
//
// To, Date and X-Priority: a field's line is the first line that contains
// its name anywhere (case-sensitive) or whose field name is its name in any
// case ("to: Bob"); the value starts after the name, its colon and one
// blank, counted from the start of that line, so 'Reply-To: Carol' answers
// for "To" with 'y-To: Carol'. The Date comes cleaned as CleanedText cleans
// it, since it is shown. The priority is "High" below 3, "Normal" at 3,
// "Low" above 3, by the value's first digit; "Normal" without such a line
// or without a digit there.
//
// From and Subject are those the client took (the last line of each, as it
// came); their readable forms are unfolded and decoded from the header's
// lines, or from them where no line kept starts with the field's name.
TSummaryFields HeaderFields(const TExStringList& header, const QString& from = {}, const QString& subject = {});

// What a row keeps of a summary: its header's fields, each text cut to what
// a row shows at most.
TSummaryFields FieldsOf(const TSummary& summary);
