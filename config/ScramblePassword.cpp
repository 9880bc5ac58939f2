#include "config/ScramblePassword.h"

namespace {
// Below 0x20, so printable ASCII stays printable ASCII (or DEL) when stored.
constexpr char16_t PasswordMask = 0x1F;

// Works on UTF-16 code units and changes only their low byte: a surrogate
// stays a surrogate of the same kind, so the stored text is valid Unicode and
// the UTF-8 file keeps every password exactly. Plain XOR would turn the mask's
// own character into a zero, which ends a stored text; that character and zero
// are left as they are instead. (A self-inverse map of the 255 non-zero low
// bytes must leave at least one of them unchanged in any case.)
char16_t scrambled(char16_t unit)
{
    if (unit == 0 || unit == PasswordMask)
        return unit;
    return unit ^ PasswordMask;
}
}

QString ScramblePassword(const QString& text)
{
    QString result = text;
    for (QChar& c : result)
        c = QChar(scrambled(c.unicode()));
    return result;
}
