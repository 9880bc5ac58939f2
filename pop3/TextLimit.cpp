#include "pop3/TextLimit.h"

namespace {

// A line's list entry and its string's allocation, beside its characters:
// many short lines must count for what they really take.
constexpr qsizetype LineCost = 64;

qsizetype Cost(const QString& line)
{
    return LineCost + line.size() * qsizetype(sizeof(QChar));
}

} // namespace

TTextLimit::TTextLimit(qsizetype maxBytes, qsizetype maxLines) : maxBytes(maxBytes), maxLines(maxLines) {}

bool TTextLimit::Keep(QStringList& kept, const QString& line)
{
    reached = reached || lines >= maxLines || Cost(line) > maxBytes - bytes;
    if (reached)
        return false;
    kept.append(line);
    bytes += Cost(line);
    ++lines;
    return true;
}

void TTextLimit::Reset()
{
    bytes = 0;
    lines = 0;
    reached = false;
}
