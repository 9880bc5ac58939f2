#include "engine/MessageFields.h"

#include "engine/RowFormat.h"
#include "pop3/HeaderText.h"

#include <QCryptographicHash>
#include <algorithm>
#include <optional>

namespace {

// More than a column or a notification shows: a row keeps no more of a
// text, however long the header that brought it.
constexpr qsizetype MaxRowText = 1000;
constexpr qsizetype WholeText = std::numeric_limits<qsizetype>::max();

// The header's lines up to its end, as its digest takes them.
class THeaderPart
{
public:
    void Add(const QString& line)
    {
        ended = ended || line.isEmpty() || line == u'.';
        if (ended)
            return;
        if (lines++ > 0)
            text += u'\n';
        text += line;
    }

    THeaderDigest Digest() const
    {
        const QByteArray hash = QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256);
        THeaderDigest digest;
        std::copy_n(hash.cbegin(), digest.size(), digest.begin());
        return digest;
    }

private:
    QString text;
    qsizetype lines = 0;
    bool ended = false;
};

// What comes before a line's first colon, unless the line continues the
// field before it.
QStringView FieldName(const QString& line)
{
    const QStringView field = QStringView(line).first(qMax<qsizetype>(0, line.indexOf(u':')));
    return field.isEmpty() || field.front().isSpace() ? QStringView() : field.trimmed();
}

// The value of the first line that names a field by the lookup rules.
class TFirstLine
{
public:
    explicit TFirstLine(QLatin1StringView name) : name(name) {}

    void Add(const QString& line, QStringView fieldName)
    {
        if (!value && (line.contains(name) || fieldName.compare(name, Qt::CaseInsensitive) == 0))
            value = line.mid(name.size() + 2);
    }
    QString Value() const { return value.value_or(QString()); }

private:
    QLatin1StringView name;
    std::optional<QString> value;
};

// Every field a row needs, each line visited once.
struct THeaderScan
{
    explicit THeaderScan(const TExStringList& header)
    {
        for (const QString& line : header) {
            const QStringView field = FieldName(line);
            to.Add(line, field);
            date.Add(line, field);
            priority.Add(line, field);
            from.Add(line);
            subject.Add(line);
            part.Add(line);
        }
    }

    TFirstLine to{QLatin1StringView("To")};
    TFirstLine date{QLatin1StringView("Date")};
    TFirstLine priority{QLatin1StringView("X-Priority")};
    TUnfoldedField from{QStringLiteral("From:")};
    TUnfoldedField subject{QStringLiteral("Subject:")};
    THeaderPart part;
};

// Mailers also write words here ("X-Priority: High"), and a line may end
// before its value: neither may cost the message its row, so both count as
// normal.
QString PriorityOf(const QString& value)
{
    if (value.isEmpty() || value[0] < u'0' || value[0] > u'9')
        return Priority::Normal;
    const int level = value[0].digitValue();
    if (level < 3)
        return Priority::High;
    return level == 3 ? Priority::Normal : Priority::Low;
}

// Most texts read as they were received: the row then keeps one copy.
QString SharedWith(const QString& received, const QString& readable)
{
    return readable == received ? received : readable;
}

TSummaryFields Fields(const TExStringList& header, const QString& from, const QString& subject, qsizetype longest)
{
    const auto cut = [longest](const QString& text) { return text.size() > longest ? text.left(longest) : text; };
    const THeaderScan scan(header);
    const QString receivedFrom = cut(from);
    const QString receivedSubject = cut(subject);
    const QString date = cut(CleanedText(scan.date.Value()));
    return {receivedFrom,
            receivedSubject,
            cut(scan.to.Value()),
            date,
            PriorityOf(scan.priority.Value()),
            SharedWith(receivedFrom, cut(DecodeHeaderText(scan.from.Value(from)))),
            SharedWith(receivedSubject, cut(DecodeHeaderText(scan.subject.Value(subject)))),
            scan.part.Digest(),
            DateOrder(date)};
}

}

TSummaryFields HeaderFields(const TExStringList& header, const QString& from, const QString& subject)
{
    return Fields(header, from, subject, WholeText);
}

// A summary cut for its length says so in its subject.
TSummaryFields FieldsOf(const TSummary& summary)
{
    TSummaryFields fields = Fields(summary.Header, summary.From, summary.Subject, MaxRowText);
    if (summary.Cut)
        fields.ReadableSubject += QStringLiteral(" [header too long: cut]");
    return fields;
}

THeaderDigest HeaderDigest(const TExStringList& header)
{
    THeaderPart part;
    for (const QString& line : header)
        part.Add(line);
    return part.Digest();
}

QByteArray DigestHex(const THeaderDigest& digest)
{
    return QByteArray::fromRawData(digest.data(), digest.size()).toHex();
}

THeaderDigest DigestFromHex(const QByteArray& hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    THeaderDigest digest{};
    if (bytes.size() == qsizetype(digest.size()))
        std::ranges::copy(bytes, digest.begin());
    return digest;
}
