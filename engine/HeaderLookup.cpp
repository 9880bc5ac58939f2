#include "engine/HeaderLookup.h"

#include "pop3/HeaderText.h"

#include <optional>

namespace {

// A line that starts with a blank continues the field before it.
bool IsLineOf(const QString& line, const QString& name)
{
    if (line.contains(name))
        return true;
    const QStringView field = QStringView(line).first(qMax<qsizetype>(0, line.indexOf(u':')));
    return !field.isEmpty() && !field.front().isSpace() && field.trimmed().compare(name, Qt::CaseInsensitive) == 0;
}

std::optional<QString> HeaderValue(const TExStringList& header, const QString& name)
{
    for (const QString& line : header) {
        if (IsLineOf(line, name))
            return line.mid(name.size() + 2);
    }
    return std::nullopt;
}

} // namespace

QString HeaderDate(const TExStringList& header)
{
    return CleanedText(HeaderValue(header, QStringLiteral("Date")).value_or(QString()));
}

QString HeaderTo(const TExStringList& header)
{
    return HeaderValue(header, QStringLiteral("To")).value_or(QString());
}

// Mailers also write words here ("X-Priority: High"), and a line may end
// before its value: neither may cost the message its row, so both count as
// normal.
QString HeaderPriority(const TExStringList& header)
{
    const QString value = HeaderValue(header, QStringLiteral("X-Priority")).value_or(QString());
    if (value.isEmpty() || value[0] < u'0' || value[0] > u'9')
        return Priority::Normal;
    const int level = value[0].digitValue();
    if (level < 3)
        return Priority::High;
    return level == 3 ? Priority::Normal : Priority::Low;
}
