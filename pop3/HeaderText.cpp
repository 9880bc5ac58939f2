#include "pop3/HeaderText.h"

#include "base/Words.h"
#include "pop3/Charset.h"

#include <QRegularExpression>
#include <optional>

namespace {

// One piece of a header text: plain text, or an encoded word with the bytes
// its encoding gave (none where the encoding did not decode).
struct Piece
{
    QString raw;
    bool word = false;
    QByteArray charset;
    std::optional<QByteArray> bytes;
    std::optional<QString> decoded;
};

std::optional<QByteArray> QDecoded(const QByteArray& text)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            bytes += ' ';
        } else if (text[i] != '=') {
            bytes += text[i];
        } else {
            const int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
            const int low = high < 0 ? -1 : HexDigit(text[i + 2]);
            if (low < 0)
                return std::nullopt;
            bytes += char(high * 16 + low);
            i += 2;
        }
    }
    return bytes;
}

std::optional<QByteArray> BDecoded(const QByteArray& text)
{
    const auto result = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    return result ? std::optional(result.decoded) : std::nullopt;
}

QList<Piece> Pieces(const QString& text)
{
    // The language suffix of RFC 2231 ("utf-8*en") is not part of the charset.
    static const QRegularExpression encodedWord(QStringLiteral(R"(=\?([^?*\s]+)(?:\*[^?\s]*)?\?([BbQq])\?([^?\s]*)\?=)"));
    QList<Piece> pieces;
    qsizetype position = 0;
    for (const QRegularExpressionMatch& match : encodedWord.globalMatch(text)) {
        if (match.capturedStart() > position)
            pieces.append({text.mid(position, match.capturedStart() - position), false, {}, {}, {}});
        const QByteArray encoded = match.captured(3).toLatin1();
        const bool q = match.captured(2).compare(QLatin1String("q"), Qt::CaseInsensitive) == 0;
        pieces.append({match.captured(), true, match.captured(1).toLatin1().toLower(),
                       q ? QDecoded(encoded) : BDecoded(encoded), {}});
        position = match.capturedEnd();
    }
    if (position < text.size())
        pieces.append({text.mid(position), false, {}, {}, {}});
    return pieces;
}

bool IsBlank(const Piece& piece)
{
    return !piece.word && piece.raw.trimmed().isEmpty();
}

bool Decodable(const Piece& piece)
{
    return piece.word && piece.bytes;
}

// Adjacent words of one charset are decoded together: senders split a
// character's bytes across two words more often than the rules allow.
QList<Piece> Joined(const QList<Piece>& pieces)
{
    QList<Piece> joined;
    for (const Piece& piece : pieces) {
        const qsizetype n = joined.size();
        const bool afterBlank = n >= 2 && IsBlank(joined[n - 1]) && Decodable(joined[n - 2]);
        Piece* previous = afterBlank ? &joined[n - 2] : n >= 1 && Decodable(joined[n - 1]) ? &joined[n - 1] : nullptr;
        if (Decodable(piece) && previous && previous->charset == piece.charset) {
            previous->raw += (afterBlank ? joined[n - 1].raw : QString()) + piece.raw;
            *previous->bytes += *piece.bytes;
            if (afterBlank)
                joined.removeLast();
        } else {
            joined.append(piece);
        }
    }
    for (Piece& piece : joined)
        if (Decodable(piece))
            piece.decoded = CharsetDecoded(piece.charset, *piece.bytes);
    return joined;
}

bool Shown(const QList<Piece>& pieces, qsizetype i)
{
    const auto decoded = [&](qsizetype j) { return j >= 0 && j < pieces.size() && pieces[j].decoded; };
    return !(IsBlank(pieces[i]) && decoded(i - 1) && decoded(i + 1));
}

}

QString DecodeHeaderText(const QString& text)
{
    const QList<Piece> pieces = Joined(Pieces(text));
    QString result;
    for (qsizetype i = 0; i < pieces.size(); ++i)
        if (Shown(pieces, i))
            result += pieces[i].decoded.value_or(pieces[i].raw);
    return CleanedText(result);
}

void TUnfoldedField::Add(const QString& line)
{
    if (line.startsWith(name, Qt::CaseInsensitive)) {
        value = line.mid(name.size());
        inField = true;
    } else if (inField && (line.startsWith(u' ') || line.startsWith(u'\t'))) {
        *value += line;
    } else {
        inField = false;
    }
}

QString UnfoldedField(const TExStringList& header, const QString& name, const QString& fallback)
{
    TUnfoldedField field(name);
    for (const QString& line : header)
        field.Add(line);
    return field.Value(fallback);
}

QString ReadableField(const TExStringList& header, const QString& name, const QString& fallback)
{
    return DecodeHeaderText(UnfoldedField(header, name, fallback));
}
