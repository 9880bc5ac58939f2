#include "imap/ImapResponse.h"

#include <QByteArrayView>
#include <algorithm>

namespace {

constexpr QByteArrayView Statuses[] = {"OK", "NO", "BAD", "BYE", "PREAUTH"};

bool IsDigits(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The literal's size a line announces at its end ("{12}", "{12+}", "~{12}"),
// or -1 where it announces none. Raises for a size beyond limit.
qint64 AnnouncedLiteral(QByteArrayView line, qint64 limit)
{
    if (!line.endsWith('}'))
        return -1;
    const qsizetype open = line.lastIndexOf('{');
    if (open < 0)
        return -1;
    QByteArrayView digits = line.sliced(open + 1, line.size() - open - 2);
    if (digits.endsWith('+'))
        digits.chop(1);
    if (!IsDigits(digits))
        return -1;
    bool ok = false;
    const qint64 size = digits.size() <= 18 ? digits.toLongLong(&ok) : -1;
    if (!ok || size > limit)
        throw EImapProtocol(QStringLiteral("announced %1 bytes of data at once, more than the %2 MiB a session may hold")
                                .arg(QString::fromLatin1(digits.first(qMin<qsizetype>(digits.size(), 20))), QString::number(limit / (1024 * 1024))));
    return size;
}

// Reads the values of one whole response from left to right.
class TReader
{
public:
    explicit TReader(const QByteArray& bytes) : bytes(bytes) {}

    TImapResponse Response();

private:
    bool AtEnd() const { return pos >= bytes.size() || bytes[pos] == '\r' || bytes[pos] == '\n'; }
    char Peek() const { return AtEnd() ? '\0' : bytes[pos]; }
    void SkipSpaces();
    QByteArray Word();
    QByteArray RestOfLine();
    QList<TImapValue> Values(char close);
    TImapValue Value(char close);
    TImapValue Quoted();
    TImapValue Literal();
    TImapValue Atom(char close);
    void StatusRest(TImapResponse& response);

    const QByteArray& bytes;
    qsizetype pos = 0;
};

void TReader::SkipSpaces()
{
    while (pos < bytes.size() && bytes[pos] == ' ')
        ++pos;
}

QByteArray TReader::Word()
{
    const qsizetype from = pos;
    while (!AtEnd() && bytes[pos] != ' ')
        ++pos;
    return bytes.mid(from, pos - from);
}

QByteArray TReader::RestOfLine()
{
    const qsizetype from = pos;
    while (!AtEnd())
        ++pos;
    return bytes.mid(from, pos - from);
}

TImapResponse TReader::Response()
{
    TImapResponse response;
    const QByteArray tag = Word();
    SkipSpaces();
    if (tag == "+") {
        response.Kind = TImapResponse::TKind::Continuation;
        response.Text = RestOfLine();
        return response;
    }
    if (tag.isEmpty())
        throw EImapProtocol(QStringLiteral("sent a reply without a tag"));
    response.Kind = tag == "*" ? TImapResponse::TKind::Untagged : TImapResponse::TKind::Tagged;
    response.Tag = tag == "*" ? QByteArray() : tag;
    QByteArray name = Word().toUpper();
    if (IsDigits(name)) {
        bool ok = false;
        response.Number = name.toUInt(&ok);
        if (!ok)
            throw EImapProtocol(QStringLiteral("sent a message number beyond 32 bits"));
        SkipSpaces();
        name = Word().toUpper();
    }
    response.Name = name;
    SkipSpaces();
    if (response.IsStatus())
        StatusRest(response);
    else
        response.Data = Values('\0');
    return response;
}

void TReader::StatusRest(TImapResponse& response)
{
    if (Peek() == '[') {
        ++pos;
        response.Code = Values(']');
        if (response.Code.isEmpty() || response.Code.first().Kind != TImapValue::TKind::Atom)
            throw EImapProtocol(QStringLiteral("sent an empty response code"));
        response.Code.first().Text = response.Code.first().Text.toUpper();
        SkipSpaces();
    }
    response.Text = RestOfLine();
}

// Values up to close (')' a list's, ']' a code's, '\0' the line's end).
QList<TImapValue> TReader::Values(char close)
{
    QList<TImapValue> values;
    for (;;) {
        SkipSpaces();
        if (AtEnd()) {
            if (close != '\0')
                throw EImapProtocol(QStringLiteral("sent a reply whose parentheses do not match"));
            return values;
        }
        if (close != '\0' && Peek() == close) {
            ++pos;
            return values;
        }
        values.append(Value(close));
    }
}

TImapValue TReader::Value(char close)
{
    const char c = Peek();
    if (c == '(') {
        ++pos;
        return {TImapValue::TKind::List, {}, Values(')')};
    }
    if (c == ')' || c == ']')
        throw EImapProtocol(QStringLiteral("sent a reply whose parentheses do not match"));
    if (c == '"')
        return Quoted();
    if (c == '{' || (c == '~' && pos + 1 < bytes.size() && bytes[pos + 1] == '{'))
        return Literal();
    return Atom(close);
}

// Any byte but CR and LF may stand in a quoted string, 8-bit ones included;
// a backslash takes the next byte as it is.
TImapValue TReader::Quoted()
{
    ++pos;
    QByteArray text;
    while (!AtEnd() && bytes[pos] != '"') {
        if (bytes[pos] == '\\' && pos + 1 < bytes.size() && bytes[pos + 1] != '\r' && bytes[pos + 1] != '\n')
            ++pos;
        text.append(bytes[pos++]);
    }
    if (AtEnd())
        throw EImapProtocol(QStringLiteral("sent a quoted string without its end"));
    ++pos;
    return {TImapValue::TKind::String, text, {}};
}

// The framing has checked that the announced bytes are all here.
TImapValue TReader::Literal()
{
    if (bytes[pos] == '~')
        ++pos;
    const qsizetype close = bytes.indexOf('}', pos);
    QByteArray digits = bytes.mid(pos + 1, close - pos - 1);
    if (digits.endsWith('+'))
        digits.chop(1);
    pos = close + 1;
    if (pos < bytes.size() && bytes[pos] == '\r')
        ++pos;
    if (close < 0 || !IsDigits(digits) || pos >= bytes.size() || bytes[pos] != '\n')
        throw EImapProtocol(QStringLiteral("sent a malformed literal"));
    ++pos;
    const qsizetype size = digits.toLongLong();
    if (size > bytes.size() - pos)
        throw EImapProtocol(QStringLiteral("sent a malformed literal"));
    TImapValue value{TImapValue::TKind::String, bytes.mid(pos, size), {}};
    pos += size;
    return value;
}

// An atom ends at a blank, a parenthesis or the closing bracket of a code;
// a bracket it opens itself (BODY[HEADER.FIELDS (FROM)]) runs to its end.
TImapValue TReader::Atom(char close)
{
    const qsizetype from = pos;
    while (!AtEnd()) {
        const char c = bytes[pos];
        if (c == ' ' || c == '(' || c == ')' || c == '"' || (c == ']' && close == ']'))
            break;
        if (c == '[') {
            const qsizetype end = bytes.indexOf(']', pos);
            const qsizetype lineEnd = bytes.indexOf('\n', pos);
            if (end < 0 || (lineEnd >= 0 && end > lineEnd))
                throw EImapProtocol(QStringLiteral("sent a reply whose brackets do not match"));
            pos = end;
        }
        ++pos;
    }
    const QByteArray text = bytes.mid(from, pos - from);
    if (text.compare("NIL", Qt::CaseInsensitive) == 0)
        return {};
    return {IsDigits(text) ? TImapValue::TKind::Number : TImapValue::TKind::Atom, text, {}};
}

} // namespace

bool TImapValue::IsAtom(const char* word) const
{
    return Kind == TKind::Atom && Text.compare(word, Qt::CaseInsensitive) == 0;
}

quint32 TImapValue::Number() const
{
    bool ok = false;
    const quint32 value = Kind == TKind::Number ? Text.toUInt(&ok) : 0;
    return ok ? value : 0;
}

bool TImapResponse::IsStatus() const
{
    return Kind != TKind::Continuation && std::find(std::begin(Statuses), std::end(Statuses), Name) != std::end(Statuses);
}

bool TImapResponse::HasCode(const char* name) const
{
    return !Code.isEmpty() && Code.first().Text == name;
}

void TImapParser::Feed(const QByteArray& bytes)
{
    if (start > 0 && start == buffer.size()) {
        buffer.clear();
        scanned -= start;
        start = 0;
    }
    if (buffer.size() - start + bytes.size() > limit)
        throw EImapProtocol(QStringLiteral("sent more than the %1 MiB a session may hold at once")
                                .arg(limit / (1024 * 1024)));
    buffer.append(bytes);
}

std::optional<TImapResponse> TImapParser::Next()
{
    if (!FrameResponse())
        return std::nullopt;
    const QByteArray whole = buffer.mid(start, responseEnd - start);
    start = scanned = responseEnd;
    responseEnd = -1;
    // Most of the buffer is taken: keep only what follows.
    if (start > buffer.size() / 2) {
        buffer.remove(0, start);
        scanned -= start;
        start = 0;
    }
    return TReader(whole).Response();
}

// Moves scanned over whole lines and the literals they announce; true once
// the response's last line is here.
bool TImapParser::FrameResponse()
{
    while (responseEnd < 0) {
        if (literalLeft > 0) {
            const qint64 here = qMin<qint64>(literalLeft, buffer.size() - scanned);
            scanned += here;
            literalLeft -= here;
            if (literalLeft > 0)
                return false;
        }
        const qsizetype lineEnd = buffer.indexOf('\n', scanned);
        if (lineEnd < 0)
            return false;
        const qsizetype lineStart = scanned;
        scanned = lineEnd + 1;
        TakeLiteralSize(lineStart, lineEnd);
        if (literalLeft < 0) {
            literalLeft = 0;
            responseEnd = scanned;
        }
    }
    return true;
}

void TImapParser::TakeLiteralSize(qsizetype lineStart, qsizetype lineEnd)
{
    QByteArrayView line(buffer.constData() + lineStart, lineEnd - lineStart);
    if (line.endsWith('\r'))
        line.chop(1);
    literalLeft = AnnouncedLiteral(line, limit);
}

void TImapParser::Clear()
{
    buffer.clear();
    start = scanned = 0;
    literalLeft = 0;
    responseEnd = -1;
}
