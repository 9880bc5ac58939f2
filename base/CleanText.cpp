#include "base/CleanText.h"

#include <QStringList>

namespace {

// The invisible marks that reorder the characters around them: "Invoice
// \u202efdp.exe" would read "Invoice exe.pdf"; and those that show nothing
// at all (zero-width space, word joiner, soft hyphen, byte order mark, tag
// characters), which can split a word that looks whole.
bool IsInvisibleFormat(char32_t c)
{
    return c == 0x00AD || c == 0x061C || c == 0x180E || c == 0x200B || c == 0x200E || c == 0x200F
           || (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) || (c >= 0x2066 && c <= 0x206F)
           || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB) || (c >= 0xE0000 && c <= 0xE007F);
}

bool BreaksOrSteers(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Separator_Line
           || category == QChar::Separator_Paragraph;
}

// Never between the two halves of a character outside the BMP.
QString Cut(const QString& text, qsizetype max)
{
    if (text.size() <= max)
        return text;
    qsizetype end = max - 1;
    if (text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end) + QChar(0x2026);
}

}

QString CleanedText(const QString& text)
{
    QString cleaned;
    cleaned.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text.at(i).unicode();
        qsizetype width = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            width = 2;
        }
        if (BreaksOrSteers(c))
            cleaned += QChar(u' ');
        else if (!IsInvisibleFormat(c))
            cleaned.append(text.constData() + i, width);
        i += width - 1;
    }
    return cleaned;
}

QString CleanedLine(const QString& text)
{
    return Cut(CleanedText(text).simplified(), MaxShownLine);
}

QString CleanedLines(const QString& text)
{
    QStringList lines = text.split(u'\n').mid(0, MaxShownLines);
    for (QString& line : lines)
        line = Cut(CleanedText(line), MaxShownLine);
    return lines.join(u'\n');
}
