#include "base/Words.h"

#include <QStringDecoder>

QByteArray Word(const QByteArray& line, int n, char delimiter)
{
    qsizetype start = 0;
    for (int i = 1; i < n; ++i) {
        const qsizetype next = line.indexOf(delimiter, start);
        if (next < 0)
            return {};
        start = next + 1;
    }
    const qsizetype end = line.indexOf(delimiter, start);
    return line.mid(start, end < 0 ? -1 : end - start);
}

QString WireText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}
