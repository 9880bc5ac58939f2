// A message's fields as a row, the filters, the notice and the quick view
// take them, read from its header lines in one pass.

#include "engine/MessageFields.h"
#include "engine/RowFormat.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

namespace {

// Each field keeps its own rule while the lines go by once: a folded From
// ends at the next field, the last Subject wins, "Reply-To" answers for To,
// and the lookups go on past the header's end, where the digest stops.
TEST(HeaderFields, EachFieldByItsOwnRuleInOnePass)
{
    const TExStringList header{"Subject: first", "From: Ann", "\t<ann@example.org>", "Reply-To: Carol",
                               "\tnot the sender", "SUBJECT: second", "\tline", "x-priority: 4", "",
                               "Date: Mon, 1 Dec 2025 08:30:00 +0000", "."};
    const TSummaryFields fields = HeaderFields(header, " Ann", " second");
    EXPECT_EQ(fields.From, " Ann");
    EXPECT_EQ(fields.Subject, " second");
    EXPECT_EQ(fields.ReadableFrom, " Ann <ann@example.org>");
    EXPECT_EQ(fields.ReadableSubject, " second line");
    EXPECT_EQ(fields.To, "y-To: Carol");
    EXPECT_EQ(fields.Priority, "Low");
    EXPECT_EQ(fields.Date, "Mon, 1 Dec 2025 08:30:00 +0000");
    EXPECT_EQ(fields.ReceivedOrder, DateOrder(fields.Date));
    EXPECT_NE(fields.ReceivedOrder, DateOrder(QString()));
    const QByteArray part = header.mid(0, 8).join(u'\n').toUtf8();
    EXPECT_EQ(DigestHex(fields.Digest), QCryptographicHash::hash(part, QCryptographicHash::Sha256).toHex());
}

// The quick view shows a header whole; a row keeps a thousand characters of
// each text, and its subject says when the summary itself was cut. Without
// a line of its own, the sender reads as the client took it.
TEST(HeaderFields, WholeForTheQuickViewCutForARow)
{
    const QString subject = u' ' + QString(1500, u'x');
    const TExStringList header{"Subject:" + subject, "To: " + QString(1500, u't'), "."};
    EXPECT_EQ(HeaderFields(header, " Ann", subject).ReadableSubject, subject);
    EXPECT_EQ(HeaderFields(header, " Ann", subject).ReadableFrom, " Ann");

    const TSummaryFields row = FieldsOf({subject, " Ann", QString(), 10, header, true});
    EXPECT_EQ(row.Subject, subject.left(1000));
    EXPECT_EQ(row.ReadableSubject, subject.left(1000) + " [header too long: cut]");
    EXPECT_EQ(row.To.size(), 1000);
}

}
