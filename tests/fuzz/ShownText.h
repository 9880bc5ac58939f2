#pragma once

#include <QString>

// Whether a text may be shown as it is: nothing in it can break its line,
// add a column, steer a terminal or reorder what is read.
inline bool FitToShow(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool bidi = u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E)
                          || (u >= 0x2066 && u <= 0x2069);
        if (bidi || c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph)
            return false;
    }
    return true;
}
