#pragma once

#include "pop3/Pop3client.h"

#include <QString>

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

// Header lookups over a summary's header lines. A header's line is the first
// line that contains its name anywhere (case-sensitive) or whose field name
// is its name in any case ("to: Bob"); the value starts after the name, its
// colon and one blank, counted from the start of that line, so
// 'Reply-To: Carol' answers for "To" with 'y-To: Carol'.
// The Date's value comes cleaned as CleanedText cleans it, since it is shown.
QString HeaderDate(const TExStringList& header);
QString HeaderTo(const TExStringList& header);
// "High" below 3, "Normal" at 3, "Low" above 3, by the value's first digit;
// "Normal" without such a line or without a digit there.
QString HeaderPriority(const TExStringList& header);
