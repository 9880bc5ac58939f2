#pragma once

#include <QString>
#include <QStringList>
#include <limits>

// Keeps a server's lines of text while the memory they take stays within a
// limit, so a reply without end cannot grow without end. Once a line does
// not fit, no later one is kept either: what is kept has no gaps.
class TTextLimit
{
public:
    explicit TTextLimit(qsizetype maxBytes, qsizetype maxLines = std::numeric_limits<qsizetype>::max());

    // Appends the line if it fits; false if it did not.
    bool Keep(QStringList& lines, const QString& line);
    bool Reached() const { return reached; }
    void Reset();

private:
    qsizetype maxBytes;
    qsizetype maxLines;
    qsizetype bytes = 0;
    qsizetype lines = 0;
    bool reached = false;
};
