#include "config/RegFile.h"

#include "config/StoreError.h"

#include <QDir>
#include <QStringConverter>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <optional>

namespace {

constexpr QLatin1String Header("Windows Registry Editor Version 5.00");

// hex(N) type numbers that stand for the types the program reads.
constexpr quint32 StringTypeNumber = 1;
constexpr quint32 BinaryTypeNumber = 3;
constexpr quint32 DWordTypeNumber = 4;

// regedit folds long hex values to lines of at most 80 characters.
constexpr int MaxLineLength = 80;

[[noreturn]] void failAt(const QString& fileName, int line, const QString& reason)
{
    throw EStoreError(QStringLiteral("The settings file \"%1\" cannot be read. Line %2: %3. The file was left as it is.")
                          .arg(QDir::toNativeSeparators(fileName), QString::number(line), reason));
}

bool isHexNumber(const QString& text, int maxDigits)
{
    return !text.isEmpty() && text.size() <= maxDigits && std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    });
}

std::optional<RootKey> rootNamed(const QString& name)
{
    for (RootKey root : {RootKey::HKEY_CURRENT_USER, RootKey::HKEY_LOCAL_MACHINE}) {
        if (name.compare(RootKeyName(root), Qt::CaseInsensitive) == 0)
            return root;
    }
    return std::nullopt;
}

QString displayName(const QString& valueName)
{
    return valueName.isEmpty() ? QStringLiteral("@ (the default value)") : u'"' + valueName + u'"';
}

// Only the error path needs the position, so it feeds the decoder byte by byte.
int lineOfFirstDecodingError(const QByteArray& content, QStringConverter::Encoding encoding)
{
    QStringDecoder decoder(encoding);
    int line = 1;
    for (const char byte : content) {
        const QString text = decoder.decode(QByteArrayView(&byte, 1));
        if (decoder.hasError())
            return line;
        line += text.count(u'\n');
    }
    return line;
}

QStringList decodeLines(const QByteArray& content, const QString& fileName)
{
    const auto encoding = QStringConverter::encodingForData(content, u'W').value_or(QStringConverter::Utf8);
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(content);
    if (decoder.hasError())
        failAt(fileName, lineOfFirstDecodingError(content, encoding),
               QStringLiteral("this line is not valid %1 text").arg(QLatin1String(QStringConverter::nameForEncoding(encoding))));
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return lines;
}

QString utf16Text(const QByteArray& bytes)
{
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text += QChar(qFromLittleEndian<quint16>(bytes.constData() + i));
    return text;
}

QByteArray utf16Bytes(const QString& text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        bytes += char(c.unicode() & 0xff);
        bytes += char(c.unicode() >> 8);
    }
    return bytes + QByteArray(2, '\0');
}

// A hex(N) value becomes the type the program reads where its bytes allow,
// and otherwise stays as it is, bytes and type number.
RegValue typedHexValue(quint32 type, const QByteArray& bytes)
{
    if (type == StringTypeNumber && bytes.size() % 2 == 0) {
        RegValue value({}, RegType::String);
        value.Text = utf16Text(bytes.endsWith(QByteArray(2, '\0')) ? bytes.chopped(2) : bytes);
        return value;
    }
    if (type == BinaryTypeNumber) {
        RegValue value({}, RegType::Binary);
        value.Bytes = bytes;
        return value;
    }
    if (type == DWordTypeNumber && bytes.size() == 4) {
        RegValue value({}, RegType::DWord);
        value.Number = qFromLittleEndian<quint32>(bytes.constData());
        return value;
    }
    RegValue value({}, RegType::Other);
    value.OtherType = static_cast<int>(type);
    value.Bytes = bytes;
    return value;
}

class Reader
{
public:
    Reader(const QString& fileName, QStringList lines) : fileName(fileName), lines(std::move(lines)) {}
    RegistryTree Read();

private:
    [[noreturn]] void fail(const QString& reason) const { failAt(fileName, index + 1, reason); }
    void readKeyLine(const QString& line);
    void readValueLine(const QString& line);
    QString readQuoted(const QString& line, qsizetype& pos) const;
    RegValue readData(const QString& data);
    RegValue readDWord(const QString& digits) const;
    RegValue readTypedHex(const QString& data);
    QByteArray readHexBytes(QString piece);
    QByteArray hexBytes(QString piece) const;

    QString fileName;
    QStringList lines;
    int index = 0;
    RegKey* key = nullptr;
    RegistryTree tree;
};

RegistryTree Reader::Read()
{
    if (std::all_of(lines.begin(), lines.end(), [](const QString& line) { return line.trimmed().isEmpty(); }))
        return tree;
    if (lines.first().trimmed() != Header)
        fail(QStringLiteral("the first line must be \"%1\"").arg(Header));
    for (index = 1; index < lines.size(); ++index) {
        const QString line = lines[index].trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'['))
            readKeyLine(line);
        else if (line.startsWith(u'"') || line.startsWith(u'@'))
            readValueLine(line);
        else
            fail(QStringLiteral("this line is neither a key in brackets, a value (\"Name\"=...) nor a comment (;)"));
    }
    return tree;
}

void Reader::readKeyLine(const QString& line)
{
    if (!line.endsWith(u']'))
        fail(QStringLiteral("a key line must end with \"]\""));
    const QString path = line.mid(1, line.size() - 2);
    if (path.startsWith(u'-'))
        fail(QStringLiteral("\"[-...]\" would delete a key, but this file holds the settings themselves: "
                            "remove that key's lines instead"));
    const QString rootName = path.section(u'\\', 0, 0);
    const std::optional<RootKey> root = rootNamed(rootName);
    if (!root)
        fail(QStringLiteral("the key must be under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE, not \"%1\"").arg(rootName));
    key = &tree.Create(*root, path.mid(rootName.size() + 1));
}

void Reader::readValueLine(const QString& line)
{
    if (!key)
        fail(QStringLiteral("a value must come after a key line such as [HKEY_CURRENT_USER\\Software]"));
    QString name;
    qsizetype pos = 0;
    if (line.startsWith(u'@'))
        pos = 1;
    else
        name = readQuoted(line, pos);
    while (pos < line.size() && line[pos].isSpace())
        ++pos;
    if (pos >= line.size() || line[pos] != u'=')
        fail(QStringLiteral("the value name must be followed by \"=\""));
    RegValue value = readData(line.mid(pos + 1).trimmed());
    if (key->Value(name))
        fail(QStringLiteral("the value %1 appears twice in this key").arg(displayName(name)));
    value.Name = name;
    key->SetValue(value);
}

// Reads "..." starting at pos, leaving pos after the closing quote.
QString Reader::readQuoted(const QString& line, qsizetype& pos) const
{
    QString text;
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == u'"') {
            ++pos;
            return text;
        }
        if (c != u'\\') {
            text += c;
            continue;
        }
        if (++pos >= line.size())
            break;
        switch (line[pos].unicode()) {
        case u'\\': text += u'\\'; break;
        case u'"': text += u'"'; break;
        case u'n': text += u'\n'; break;
        case u'r': text += u'\r'; break;
        case u'0': text += QChar(0); break;
        default:
            fail(QStringLiteral("\"\\%1\" inside quotes is not understood; a backslash is written as \"\\\\\"").arg(line[pos]));
        }
    }
    fail(QStringLiteral("the text in quotes has no closing quote"));
}

RegValue Reader::readData(const QString& data)
{
    if (data.startsWith(u'"')) {
        qsizetype pos = 0;
        RegValue value({}, RegType::String);
        value.Text = readQuoted(data, pos);
        if (pos < data.size())
            fail(QStringLiteral("there is more text after the closing quote"));
        return value;
    }
    if (data == u"-")
        fail(QStringLiteral("\"=-\" would delete a value, but this file holds the settings themselves: remove the line instead"));
    if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive))
        return readDWord(data.mid(6).trimmed());
    if (data.startsWith(QLatin1String("hex:"), Qt::CaseInsensitive)) {
        RegValue value({}, RegType::Binary);
        value.Bytes = readHexBytes(data.mid(4));
        return value;
    }
    if (data.startsWith(QLatin1String("hex("), Qt::CaseInsensitive))
        return readTypedHex(data);
    fail(QStringLiteral("a value must be \"text\", dword:, hex: or hex(N):"));
}

RegValue Reader::readDWord(const QString& digits) const
{
    if (!isHexNumber(digits, 8))
        fail(QStringLiteral("dword: must be followed by 1 to 8 hexadecimal digits, such as dword:0000000a"));
    RegValue value({}, RegType::DWord);
    value.Number = digits.toUInt(nullptr, 16);
    return value;
}

RegValue Reader::readTypedHex(const QString& data)
{
    const qsizetype close = data.indexOf(u"):");
    const QString number = close < 0 ? QString() : data.mid(4, close - 4);
    if (!isHexNumber(number, 8))
        fail(QStringLiteral("hex( must be followed by a hexadecimal type number and \"):\", such as hex(2):"));
    return typedHexValue(number.toUInt(nullptr, 16), readHexBytes(data.mid(close + 2)));
}

// A trailing backslash continues the bytes on the next line, as regedit folds them.
QByteArray Reader::readHexBytes(QString piece)
{
    QByteArray bytes;
    for (;;) {
        piece = piece.trimmed();
        const bool continues = piece.endsWith(u'\\');
        if (continues)
            piece.chop(1);
        bytes += hexBytes(piece);
        if (!continues)
            return bytes;
        if (index + 1 >= lines.size())
            fail(QStringLiteral("the value goes on with \"\\\" but the file ends"));
        piece = lines[++index];
    }
}

QByteArray Reader::hexBytes(QString piece) const
{
    piece.remove(u' ').remove(u'\t');
    if (piece.endsWith(u','))
        piece.chop(1);
    QByteArray bytes;
    if (piece.isEmpty())
        return bytes;
    for (const QString& part : piece.split(u',')) {
        if (!isHexNumber(part, 2))
            fail(QStringLiteral("\"%1\" is not a byte written as two hexadecimal digits (such as 0a)").arg(part));
        bytes += char(part.toUInt(nullptr, 16));
    }
    return bytes;
}

// Names may hold any character, so line breaks and the zero character get
// escapes of their own (\n, \r, \0) beside regedit's \\ and \". Text values
// holding them are written as hex(1) instead, which every registry tool reads.
QString escaped(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u'"': out += QStringLiteral("\\\""); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case u'\r': out += QStringLiteral("\\r"); break;
        case 0: out += QStringLiteral("\\0"); break;
        default: out += c;
        }
    }
    return out;
}

// Text that survives the quoted form unchanged and is pleasant to read there.
bool isPlainText(const QString& text)
{
    const auto isControl = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; };
    return std::none_of(text.begin(), text.end(), isControl) && QString::fromUtf8(text.toUtf8()) == text;
}

QString hexLines(QString line, const QByteArray& bytes)
{
    QString out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        QString byte = QStringLiteral("%1").arg(quint8(bytes[i]), 2, 16, QLatin1Char('0'));
        if (i + 1 < bytes.size())
            byte += u',';
        if (line.size() + byte.size() > MaxLineLength - 1) {
            out += line + QStringLiteral("\\\n");
            line = QStringLiteral("  ");
        }
        line += byte;
    }
    return out + line + u'\n';
}

QString valueLines(const RegValue& value)
{
    const QString head = (value.Name.isEmpty() ? QStringLiteral("@") : u'"' + escaped(value.Name) + u'"') + u'=';
    switch (value.Type) {
    case RegType::String:
        if (isPlainText(value.Text))
            return head + u'"' + escaped(value.Text) + QStringLiteral("\"\n");
        return hexLines(head + QStringLiteral("hex(1):"), utf16Bytes(value.Text));
    case RegType::DWord:
        return head + QStringLiteral("dword:%1\n").arg(value.Number, 8, 16, QLatin1Char('0'));
    case RegType::Binary:
        return hexLines(head + QStringLiteral("hex:"), value.Bytes);
    case RegType::Other:
        break;
    }
    return hexLines(head + QStringLiteral("hex(%1):").arg(static_cast<quint32>(value.OtherType), 0, 16), value.Bytes);
}

// A key gets a section when it has values or when nothing below it would
// bring it back; its parents come back with it on reading.
void writeKey(QString& out, const RegKey& key, const QString& path, bool isRoot)
{
    const bool hasSection = !key.Values().empty() || (!isRoot && key.Subkeys().empty());
    if (hasSection) {
        if (path.contains(u'\n') || path.contains(u'\r'))
            throw EStoreError(QStringLiteral("The key \"%1\" cannot be saved: its name holds a line break, "
                                             "which the settings file cannot store.").arg(path));
        out += u'[' + path + QStringLiteral("]\n");
        for (const RegValue& value : key.Values())
            out += valueLines(value);
        out += u'\n';
    }
    for (const auto& subkey : key.Subkeys())
        writeKey(out, *subkey, path + u'\\' + subkey->Name, false);
}

}

namespace RegFile {

RegistryTree Read(const QByteArray& content, const QString& fileName)
{
    return Reader(fileName, decodeLines(content, fileName)).Read();
}

QByteArray Write(const RegistryTree& tree)
{
    QString out = Header + QStringLiteral("\n\n");
    for (RootKey root : {RootKey::HKEY_CURRENT_USER, RootKey::HKEY_LOCAL_MACHINE})
        writeKey(out, tree.Root(root), RootKeyName(root), true);
    return out.toUtf8();
}

}
