#include "pop3/Uudecoder.h"

#include "pop3/FileStreamError.h"

#include <QFileDevice>
#include <QIODevice>
#include <utility>

namespace {

bool InAlphabet(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

// A uuencoded character's value.
int UUValue(char c)
{
    return (static_cast<unsigned char>(c) - 32) & 63;
}

bool IsEndLine(const QByteArray& line)
{
    return line.trimmed() == "end";
}

bool IsBeginLine(const QByteArray& line)
{
    return line.startsWith("begin ");
}

} // namespace

void TUUProcessor::Decode()
{
    if (OnBeginDecode)
        OnBeginDecode(this);
    if (Method == uuCode)
        DecodeUU();
    else
        DecodeMime();
    if (OnEndDecode)
        OnEndDecode(this);
}

void TUUProcessor::TellEndLineMissing()
{
    if (std::exchange(EndLineMissing, false) && ShowMessage)
        ShowMessage(QStringLiteral(" No end line."));
}

// The next line without its line end. Lines are read whole, however long.
bool TUUProcessor::NextLine(QByteArray& line)
{
    if (InputStream->atEnd())
        return false;
    line = InputStream->readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return true;
}

void TUUProcessor::Emit(const QByteArray& bytes)
{
    if (!bytes.isEmpty() && OutputStream->write(bytes) != bytes.size()) {
        if (auto* file = qobject_cast<QFileDevice*>(OutputStream))
            EFileStreamError::CannotWrite(*file);
        throw Exception(QStringLiteral("Cannot write the decoded data. %1").arg(OutputStream->errorString()));
    }
}

// --- base64 ---------------------------------------------------------------

// Alphabet characters left over at a line's end wait for the next line, so
// lines of any length decode.
void TUUProcessor::DecodeMime()
{
    QByteArray pending;
    QByteArray line;
    while (NextLine(line)) {
        // A short line is skipped only where it cannot finish a group.
        if ((line.size() <= 2 && pending.isEmpty()) || line.startsWith("===="))
            continue;
        if (!DecodeMimeLine(line, pending))
            return;
    }
}

// Returns false when the decoding ends with this line.
bool TUUProcessor::DecodeMimeLine(const QByteArray& line, QByteArray& pending)
{
    qsizetype pos = 0;
    if (pending.isEmpty()) {
        for (; pos < line.size() && !InAlphabet(line[pos]); ++pos)
            if (line[pos] == '\r' || line[pos] == '\n' || line[pos] == '=')
                return false;
    }
    bool padded = false;
    for (; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (InAlphabet(c)) {
            pending += c;
        } else if (c == '=') {
            // A group cut short by padding: two characters give one byte,
            // three give two.
            padded = true;
            const qsizetype rest = pending.size() % 4;
            if (rest >= 2)
                pending += QByteArray(4 - rest, '=');
            else
                pending.chop(rest);
            Emit(QByteArray::fromBase64(pending));
            pending.clear();
        }
    }
    const qsizetype whole = pending.size() - pending.size() % 4;
    Emit(QByteArray::fromBase64(pending.left(whole)));
    pending.remove(0, whole);
    return !padded;
}

// --- uuencode -------------------------------------------------------------

// Only data lines are decoded: the begin line and the end line are known
// for what they are. Data left without their end line are noted.
void TUUProcessor::DecodeUU()
{
    bool open = false;
    bool held = false;
    QByteArray line;
    while (held || NextLine(line)) {
        held = false;
        if (line.isEmpty() || IsBeginLine(line))
            continue;
        if (IsEndLine(line)) {
            open = false;
            continue;
        }
        if (UUValue(line[0]) != 0) {
            DecodeUULine(line);
            open = true;
            continue;
        }
        // A zero count closes the data, and the end line must follow it.
        open = false;
        if (!NextLine(line)) {
            EndLineMissing = true;
            return;
        }
        if (!IsEndLine(line)) {
            EndLineMissing = true;
            held = true;
        }
    }
    EndLineMissing = EndLineMissing || open;
}

// The count in the first character says how many bytes the line holds;
// characters missing at its end count as zero.
void TUUProcessor::DecodeUULine(const QByteArray& line)
{
    const int count = UUValue(line[0]);
    QByteArray bytes;
    bytes.reserve(count);
    for (qsizetype group = 1; group < line.size() && bytes.size() < count; group += 4) {
        int value[4] = {};
        for (int i = 0; i < 4 && group + i < line.size(); ++i)
            value[i] = UUValue(line[group + i]);
        const char decoded[3] = {static_cast<char>(value[0] << 2 | value[1] >> 4),
                                 static_cast<char>(value[1] << 4 | value[2] >> 2),
                                 static_cast<char>(value[2] << 6 | value[3])};
        bytes.append(decoded, qMin<qsizetype>(3, count - bytes.size()));
    }
    Emit(bytes);
}
