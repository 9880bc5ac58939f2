#include "StoreFileTest.h"

#include "config/RegFile.h"

#include <QStringList>

using testing::AllOf;
using testing::ElementsAreArray;
using testing::HasSubstr;

using StoreFileSyntax = StoreFileTest;

namespace {

// A hand-written file as a person or regedit might leave it: a byte-order
// mark, CRLF line ends, comments, types the program never writes, a value
// folded over two lines, keys of other programs and of the machine.
const QString HandWritten = QStringLiteral(
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; Postwatch settings, edited by hand\r\n"
    "[HKEY_CURRENT_USER\\Software\\Tallowfen\\Postwatch\\2.0]\r\n"
    "\"Interval\"=dword:0000000A\r\n"
    "@=\"default text\"\r\n"
    "\"NormSoundfile\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,00,00\r\n"
    "\"Servers\"=hex(7):61,00,00,00,62,00,00,00,\\\r\n"
    "  00,00\r\n"
    "\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    "\"Quoted\"=\"say \\\"hi\\\" from C:\\\\mail\"\r\n"
    "\"Greeting\"=\"Grüße, Привет\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Other Vendor\\Tool]\r\n"
    "   \"Colour\" = \"blue\"   \r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Clients\\Mail\\Thunder]\r\n"
    "@=\"Thunder\"\r\n");

const RegValue* valueAt(FileStore& store, RootKey root, const QString& key, const QString& name)
{
    const RegKey* found = store.Tree().Find(root, key);
    return found ? found->Value(name) : nullptr;
}

// Everything a tree holds, in its order, as text a test can compare.
QStringList describe(const RegKey& key, const QString& path = {})
{
    QStringList lines{"[" + path + "]"};
    for (const RegValue& value : key.Values())
        lines << QStringLiteral("%1 %2 %3 %4 %5 %6")
                     .arg(value.Name, RegTypeName(value), value.Text, QString::number(value.Number),
                          QString::fromLatin1(value.Bytes.toHex()), QString::number(value.OtherType));
    for (const auto& subkey : key.Subkeys())
        lines << describe(*subkey, path + "\\" + subkey->Name);
    return lines;
}

QStringList describe(const RegistryTree& tree)
{
    return describe(tree.Root(RootKey::HKEY_CURRENT_USER), "HKCU") + describe(tree.Root(RootKey::HKEY_LOCAL_MACHINE), "HKLM");
}

std::vector<std::string> lines(const QStringList& list)
{
    std::vector<std::string> result;
    for (const QString& line : list)
        result.push_back(line.toStdString());
    return result;
}

}

TEST_F(StoreFileSyntax, WritesTheRegistryExportSyntax)
{
    {
        FileStore store(FilePath());
        TRegistry reg(store);
        ASSERT_TRUE(reg.OpenKey(ProgramKey, true));
        reg.WriteString("Server", "pop.example.org");
        reg.WriteInteger("Interval", 10);
        reg.WriteBinaryData("WndRect", QByteArray::fromHex("10000000200000004002000058010000"));
        reg.WriteString("Quote", "say \"hi\" from C:\\mail");
        reg.WriteString("", "default");
        reg.WriteString("Lines", "a\nb");
        reg.WriteInteger("Minus", -1);
        ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts", true));
    }
    EXPECT_EQ(ReadFile().toStdString(),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Tallowfen\\Postwatch\\2.0]\n"
              "\"Server\"=\"pop.example.org\"\n"
              "\"Interval\"=dword:0000000a\n"
              "\"WndRect\"=hex:10,00,00,00,20,00,00,00,40,02,00,00,58,01,00,00\n"
              "\"Quote\"=\"say \\\"hi\\\" from C:\\\\mail\"\n"
              "@=\"default\"\n"
              "\"Lines\"=hex(1):61,00,0a,00,62,00,00,00\n"
              "\"Minus\"=dword:ffffffff\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Tallowfen\\Postwatch\\2.0\\Accounts]\n"
              "\n");
}

TEST_F(StoreFileSyntax, LongBinaryValuesFoldIntoLinesOfAtMost80Characters)
{
    QByteArray bytes;
    for (int i = 0; i < 200; ++i)
        bytes += char(i * 7);
    const QString longName = QString(90, u'N');
    {
        FileStore store(FilePath());
        TRegistry reg(store);
        ASSERT_TRUE(reg.OpenKey(ProgramKey, true));
        reg.WriteBinaryData("Blob", bytes);
        reg.WriteBinaryData(longName, bytes);
    }
    const QList<QByteArray> fileLines = ReadFile().split('\n');
    int continued = 0;
    for (const QByteArray& line : fileLines) {
        if (!line.contains(longName.toLatin1())) {
            EXPECT_LE(line.size(), 80) << line.constData();
        }
        if (line.endsWith('\\'))
            ++continued;
    }
    EXPECT_GE(continued, 8);

    FileStore reloaded(FilePath());
    TRegistry reg(reloaded);
    ASSERT_TRUE(reg.OpenKey(ProgramKey, false));
    EXPECT_EQ(reg.ReadBinaryData("Blob"), bytes);
    EXPECT_EQ(reg.ReadBinaryData(longName), bytes);
}

TEST_F(StoreFileSyntax, AnyTextSurvivesAsValueAndAsName)
{
    QString everyCode;
    for (char16_t c = 1; c < 256; ++c)
        everyCode += QChar(c);
    const QStringList names{
        "plain", "quote \" and back\\slash", "C:\\", "\\", "\"", "line\nbreak", "crlf\r\n", "\ttab", "trailing  ",
        "  leading", "; not a comment", "[not a key]", "=", "@", "", "hex:00", "dword:1", "\\n is not a line break",
        QStringLiteral("Grüße Привет 日本語 😀"), QString(QChar(0)) + "zero inside", everyCode, QStringLiteral("\x7f"),
        QString(QChar(0xFEFF)) + "mark", QStringLiteral("ends with a zero") + QChar(0)};
    const QStringList texts = names + QStringList{QString(QChar(0xD800)) + "lone surrogate"};
    {
        FileStore store(FilePath());
        TRegistry reg(store);
        ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Texts", true));
        for (int i = 0; i < texts.size(); ++i)
            reg.WriteString(QString::number(i), texts[i]);
        ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Names", true));
        for (const QString& name : names)
            reg.WriteBool(name, true);
    }

    FileStore reloaded(FilePath());
    TRegistry reg(reloaded);
    ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Texts", false));
    for (int i = 0; i < texts.size(); ++i)
        EXPECT_EQ(reg.ReadString(QString::number(i)), texts[i]) << "text " << i;
    ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Names", false));
    EXPECT_THAT(lines(reg.GetValueNames()), ElementsAreArray(lines(names)));
}

TEST_F(StoreFileSyntax, AnyKeyNameWithoutALineBreakSurvives)
{
    const QStringList names{" spaced ", "[bracket", "a]b", "Ann Lee <ann@example.org>", "semi;colon", "quote\"", QStringLiteral("Ünïcödé")};
    {
        FileStore store(FilePath());
        TRegistry reg(store);
        for (const QString& name : names) {
            ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts\\" + name, true));
            reg.WriteInteger("Port", 110);
        }
    }
    FileStore reloaded(FilePath());
    TRegistry reg(reloaded);
    ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts", false));
    EXPECT_THAT(lines(reg.GetKeyNames()),
                ElementsAreArray({" spaced ", "[bracket", "a]b", "Ann Lee <ann@example.org>", "quote\"", "semi;colon", "Ünïcödé"}));
    for (const QString& name : names) {
        ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts\\" + name, false)) << name.toStdString();
        EXPECT_EQ(reg.ReadInteger("Port"), 110);
    }
}

TEST_F(StoreFileSyntax, AKeyNameWithALineBreakIsRefusedAndTheFileKept)
{
    WriteFile(FileHeader + "[HKEY_CURRENT_USER\\Software\\Tallowfen\\Postwatch\\2.0]\n\"Interval\"=dword:0000000a\n");
    const QByteArray before = ReadFile();
    FileStore store(FilePath());
    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts\\two\nlines", true));
    EXPECT_THAT(ErrorOf([&] { reg.CloseKey(); }), AllOf(HasSubstr("cannot be saved"), HasSubstr("line break")));
    EXPECT_EQ(ReadFile(), before);
}

TEST_F(StoreFileSyntax, AHandWrittenFileKeepsAllItsKeysAndValuesThroughASave)
{
    WriteFile("\xEF\xBB\xBF" + HandWritten.toUtf8());
    {
        FileStore store(FilePath());
        TRegistry reg(store);
        ASSERT_TRUE(reg.OpenKey(ProgramKey, true));
        reg.WriteString("Server", "pop.example.org");
    }
    const QByteArray saved = ReadFile();
    EXPECT_FALSE(saved.startsWith("\xEF\xBB\xBF"));
    EXPECT_FALSE(saved.contains('\r'));

    FileStore store(FilePath());
    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(ProgramKey, false));
    EXPECT_THAT(lines(reg.GetValueNames()),
                ElementsAreArray({"Interval", "", "NormSoundfile", "Servers", "Big", "Quoted", "Greeting", "Server"}));
    EXPECT_EQ(reg.ReadInteger("Interval"), 10);
    EXPECT_EQ(reg.ReadString(""), "default text");
    EXPECT_EQ(reg.ReadString("Quoted"), "say \"hi\" from C:\\mail");
    EXPECT_EQ(reg.ReadString("Greeting"), QStringLiteral("Grüße, Привет"));
    EXPECT_EQ(reg.ReadString("Server"), "pop.example.org");

    const struct {
        const char* name;
        int type;
        const char* hex;
    } kept[] = {{"NormSoundfile", 2, "250048004f004d00450025000000"}, {"Servers", 7, "61000000620000000000"}, {"Big", 0xb, "0100000000000000"}};
    for (const auto& expected : kept) {
        const RegValue* value = valueAt(store, RootKey::HKEY_CURRENT_USER, ProgramKey, expected.name);
        ASSERT_NE(value, nullptr) << expected.name;
        EXPECT_EQ(value->Type, RegType::Other);
        EXPECT_EQ(value->OtherType, expected.type);
        EXPECT_EQ(value->Bytes.toHex(), QByteArray(expected.hex));
    }
    ASSERT_TRUE(reg.OpenKey("Software\\Other Vendor\\Tool", false));
    EXPECT_EQ(reg.ReadString("Colour"), "blue");
    TRegistry machine(store, RootKey::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(machine.OpenKey("Software\\Clients\\Mail\\Thunder", false));
    EXPECT_EQ(machine.ReadString(""), "Thunder");
}

TEST_F(StoreFileSyntax, ReadsUtf16FilesAsRegeditExportsThem)
{
    WriteFile(HandWritten.toUtf8());
    FileStore fromUtf8(FilePath());
    fromUtf8.Refresh();

    const QByteArray utf16 = QByteArray("\xFF\xFE") +
                             QByteArray(reinterpret_cast<const char*>(HandWritten.utf16()), HandWritten.size() * 2);
    WriteFile(utf16);
    FileStore fromUtf16(FilePath());
    fromUtf16.Refresh();
    EXPECT_THAT(lines(describe(fromUtf16.Tree())), ElementsAreArray(lines(describe(fromUtf8.Tree()))));

    TRegistry reg(fromUtf16);
    ASSERT_TRUE(reg.OpenKey(ProgramKey, false));
    reg.WriteInteger("Timeout", 30);
    reg.CloseKey();
    EXPECT_TRUE(ReadFile().startsWith(FileHeader)) << "saved as UTF-8";
}

TEST_F(StoreFileSyntax, HexFormsOfTheProgramsOwnTypesReadAsThoseTypes)
{
    WriteFile(FileHeader + "[HKEY_CURRENT_USER\\Software\\Tallowfen\\Postwatch\\2.0]\n"
                           "\"Text\"=hex(1):48,00,69,00,00,00\n"
                           "\"NoZero\"=hex(1):48,00,69,00\n"
                           "\"Bytes\"=hex(3):01,02\n"
                           "\"Number\"=hex(4):0a,00,00,00\n"
                           "\"OddText\"=hex(1):48,00,69\n"
                           "\"Spaced\"=hex: 0a , 0B,\n"
                           "\"Upper\"=DWORD:FFFFFFFE\n"
                           "\"Short\"=dword:a\n");
    FileStore store(FilePath());
    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(ProgramKey, false));
    EXPECT_EQ(reg.ReadString("Text"), "Hi");
    EXPECT_EQ(reg.ReadString("NoZero"), "Hi");
    EXPECT_EQ(reg.ReadBinaryData("Bytes"), QByteArray::fromHex("0102"));
    EXPECT_EQ(reg.ReadInteger("Number"), 10);
    EXPECT_EQ(reg.GetDataType("OddText"), RegType::Other);
    EXPECT_EQ(reg.ReadBinaryData("Spaced"), QByteArray::fromHex("0a0b"));
    EXPECT_EQ(reg.ReadInteger("Upper"), -2);
    EXPECT_EQ(reg.ReadInteger("Short"), 10);
}

TEST_F(StoreFileSyntax, AFileThatCannotBeReadNamesFileAndLineAndIsNeverOverwritten)
{
    const QByteArray key = "[HKEY_CURRENT_USER\\Software\\Tallowfen\\Postwatch\\2.0]\n";
    const struct {
        QByteArray content;
        int line;
        const char* words;
    } broken[] = {
        {"REGEDIT4\n\n" + key, 1, "the first line must be"},
        {FileHeader + "\"Interval\"=dword:0000000a\n", 3, "must come after a key line"},
        {FileHeader + "[HKEY_CLASSES_ROOT\\.reg]\n", 3, "not \"HKEY_CLASSES_ROOT\""},
        {FileHeader + "[HKEY_CURRENT_USER\\Software\n", 3, "must end with \"]\""},
        {FileHeader + "[-HKEY_CURRENT_USER\\Software\\Old]\n", 3, "would delete a key"},
        {FileHeader + key + "\"Interval\"=-\n", 4, "would delete a value"},
        {FileHeader + key + "\"Interval\"=dword:0000000aa\n", 4, "1 to 8 hexadecimal digits"},
        {FileHeader + key + "\"Interval\"=dword:\n", 4, "1 to 8 hexadecimal digits"},
        {FileHeader + key + "\"WndRect\"=hex:10,0g\n", 4, "\"0g\" is not a byte"},
        {FileHeader + key + "\"WndRect\"=hex:10,,00\n", 4, "is not a byte"},
        {FileHeader + key + "\"WndRect\"=hex:10,\\\n  20,\\\n  zz,00\n", 6, "\"zz\" is not a byte"},
        {FileHeader + key + "\"WndRect\"=hex:10,\\", 4, "the file ends"},
        {FileHeader + key + "\"Sound\"=hex(2:00\n", 4, "hex( must be followed"},
        {FileHeader + key + "\"Server\"=\"pop.example.org\n", 4, "no closing quote"},
        {FileHeader + key + "\"Sound\"=\"C:\\temp\"\n", 4, "\"\\t\" inside quotes is not understood"},
        {FileHeader + key + "\"Server\"=\"a\" \"b\"\n", 4, "more text after the closing quote"},
        {FileHeader + key + "\"Server\" \"a\"\n", 4, "followed by \"=\""},
        {FileHeader + key + "\"Server\"=word:1\n", 4, "must be \"text\", dword:, hex: or hex(N):"},
        {FileHeader + key + "\"Server\"=\"a\"\n\"SERVER\"=\"b\"\n", 5, "\"SERVER\" appears twice"},
        {FileHeader + key + "@=\"a\"\n@=\"b\"\n", 5, "appears twice"},
        {FileHeader + key + "Server=a\n", 4, "neither a key in brackets"},
        {"Windows Registry Editor Version 5.00\r\n\r\n" + key + "\"Server\"=\"\xff\"\r\n", 4, "not valid UTF-8"},
    };
    for (const auto& file : broken) {
        SCOPED_TRACE(file.content.toStdString());
        WriteFile(file.content);
        FileStore store(FilePath());
        TRegistry reg(store);
        EXPECT_THAT(ErrorOf([&] { reg.OpenKey(ProgramKey, true); }),
                    AllOf(HasSubstr(QDir::toNativeSeparators(FilePath()).toStdString()), HasSubstr("Line " + std::to_string(file.line) + ":"),
                          HasSubstr(file.words), HasSubstr("left as it is")));

        // Whatever the program does next, the file stays as the person left it.
        store.Change([](RegistryTree& tree) { tree.Create(RootKey::HKEY_CURRENT_USER, ProgramKey).SetValue(RegValue("Interval", RegType::DWord)); });
        EXPECT_THAT(ErrorOf([&] { store.Commit(); }), HasSubstr("Line " + std::to_string(file.line) + ":"));
        EXPECT_EQ(ReadFile(), file.content);
    }
}

TEST_F(StoreFileSyntax, AnEmptyFileIsAnEmptyStore)
{
    WriteFile("");
    FileStore store(FilePath());
    TRegistry reg(store);
    EXPECT_FALSE(reg.OpenKey(ProgramKey, false));
    ASSERT_TRUE(reg.OpenKey(ProgramKey, true));
    reg.CloseKey();
    EXPECT_TRUE(ReadFile().startsWith(FileHeader));
}
