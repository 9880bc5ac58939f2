#include "config/QuietHours.h"

#include <QRegularExpression>

std::optional<TQuietHours> TQuietHours::Parse(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*([0-9]{1,2}):([0-9]{2})\\s*-\\s*([0-9]{1,2}):([0-9]{2})\\s*$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QTime from(match.captured(1).toInt(), match.captured(2).toInt());
    const QTime to(match.captured(3).toInt(), match.captured(4).toInt());
    if (!from.isValid() || !to.isValid() || from == to)
        return std::nullopt;
    return TQuietHours{from, to};
}

QString TQuietHours::Text() const
{
    return From.toString(QStringLiteral("HH:mm")) + u'-' + To.toString(QStringLiteral("HH:mm"));
}

bool TQuietHours::Contains(const QTime& time) const
{
    if (OverMidnight())
        return time >= From || time < To;
    return time >= From && time < To;
}
