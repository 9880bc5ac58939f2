#include "imap/ImapWords.h"

#include <algorithm>
#include <utility>

namespace {

bool QuotedFits(const QByteArray& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c > 0 && c != '\r' && c != '\n'; });
}

QByteArray Quoted(QByteArray text)
{
    return '"' + text.replace('\\', "\\\\").replace('"', "\\\"") + '"';
}

// The UTF-16 units of a run of other characters, in base64 with ',' for '/'
// and no padding, between '&' and '-'.
QByteArray ShiftedRun(const QString& run)
{
    QByteArray units;
    for (QChar c : run) {
        units.append(static_cast<char>(c.unicode() >> 8));
        units.append(static_cast<char>(c.unicode() & 0xff));
    }
    return '&' + units.toBase64(QByteArray::OmitTrailingEquals).replace('/', ',') + '-';
}

} // namespace

QByteArray FolderName(const QString& name)
{
    QByteArray encoded;
    QString run;
    for (QChar c : name) {
        const bool printable = c.unicode() >= 0x20 && c.unicode() < 0x7f;
        if (!printable) {
            run.append(c);
            continue;
        }
        if (!run.isEmpty())
            encoded.append(ShiftedRun(std::exchange(run, QString())));
        encoded.append(c == u'&' ? QByteArray("&-") : QByteArray(1, static_cast<char>(c.unicode())));
    }
    if (!run.isEmpty())
        encoded.append(ShiftedRun(run));
    return Quoted(encoded);
}

QByteArray UidSet(QList<quint32> uids)
{
    std::sort(uids.begin(), uids.end());
    uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
    QByteArrayList ranges;
    for (qsizetype i = 0; i < uids.size();) {
        qsizetype last = i;
        while (last + 1 < uids.size() && uids[last + 1] == uids[last] + 1)
            ++last;
        QByteArray range = QByteArray::number(uids[i]);
        if (last > i)
            range += ':' + QByteArray::number(uids[last]);
        ranges.append(range);
        i = last + 1;
    }
    return ranges.join(',');
}

TCommandParts& TCommandParts::operator<<(const QByteArray& bytes)
{
    Parts.last().append(bytes);
    return *this;
}

TCommandParts& TCommandParts::String(const QByteArray& text, bool literalPlus)
{
    if (QuotedFits(text))
        return *this << Quoted(text);
    *this << '{' + QByteArray::number(text.size()) + (literalPlus ? "+}\r\n" : "}\r\n");
    if (!literalPlus)
        Parts.append(QByteArray());
    return *this << text;
}

bool HoldsLineBreak(const QString& text)
{
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0));
}
