#include "StoreFileTest.h"

#include <climits>
#include <sys/stat.h>

using testing::AllOf;
using testing::ElementsAre;
using testing::HasSubstr;

namespace {

mode_t modeOf(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// The modes the store gives must not depend on the umask the user happens to have.
class OpenUmask
{
public:
    OpenUmask() : saved(::umask(0)) {}
    ~OpenUmask() { ::umask(saved); }

private:
    mode_t saved;
};

const QByteArray WindowRect = QByteArray::fromHex("10000000200000004002000058010000");

}

TEST_F(StoreFileTest, ValuesComeBackFromTheFileWithTheirTypes)
{
    QByteArray everyByte;
    for (int i = 0; i < 256; ++i)
        everyByte += char(i);
    {
        FileStore store(FilePath());
        TRegistry reg(store);
        ASSERT_TRUE(reg.OpenKey(ProgramKey, true));
        reg.WriteString("Server", "pop.example.org");
        reg.WriteString("Empty", "");
        reg.WriteInteger("Interval", 10);
        reg.WriteInteger("Lowest", INT_MIN);
        reg.WriteInteger("Minus", -1);
        reg.WriteBool("StartVisible", true);
        reg.WriteBool("LoadOnStartup", false);
        reg.WriteBinaryData("WndRect", WindowRect);
        reg.WriteBinaryData("EveryByte", everyByte);
        reg.WriteBinaryData("NoBytes", {});
    }

    FileStore reloaded(FilePath());
    TRegistry reg(reloaded);
    ASSERT_TRUE(reg.OpenKey(ProgramKey, false));
    EXPECT_EQ(reg.ReadString("Server"), "pop.example.org");
    EXPECT_EQ(reg.ReadString("Empty"), "");
    EXPECT_EQ(reg.ReadInteger("Interval"), 10);
    EXPECT_EQ(reg.ReadInteger("Lowest"), INT_MIN);
    EXPECT_EQ(reg.ReadInteger("Minus"), -1);
    EXPECT_TRUE(reg.ReadBool("StartVisible"));
    EXPECT_FALSE(reg.ReadBool("LoadOnStartup"));
    EXPECT_EQ(reg.GetDataType("StartVisible"), RegType::DWord);
    EXPECT_EQ(reg.ReadBinaryData("WndRect"), WindowRect);
    EXPECT_EQ(reg.ReadBinaryData("EveryByte"), everyByte);
    EXPECT_EQ(reg.ReadBinaryData("NoBytes"), QByteArray());
    EXPECT_EQ(reg.GetDataType("NoBytes"), RegType::Binary);
}

TEST_F(StoreFileTest, ReadingWithAnotherTypeNamesKeyValueAndBothTypes)
{
    WriteFile(FileHeader + "[HKEY_CURRENT_USER\\Software\\Tallowfen\\Postwatch\\2.0]\n"
                           "\"Interval\"=\"ten\"\n"
                           "\"Port\"=dword:0000006e\n"
                           "\"Sound\"=hex(2):25,00,00,00\n"
                           "\"Bits\"=dword:00000002\n");
    FileStore store(FilePath());
    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(ProgramKey, false));
    const std::string key = "HKEY_CURRENT_USER\\Software\\Tallowfen\\Postwatch\\2.0";

    EXPECT_THAT(ErrorOf([&] { reg.ReadInteger("Interval"); }),
                AllOf(HasSubstr(key), HasSubstr("\"Interval\""), HasSubstr("REG_SZ"), HasSubstr("REG_DWORD")));
    EXPECT_THAT(ErrorOf([&] { reg.ReadBool("Interval"); }), AllOf(HasSubstr("REG_SZ"), HasSubstr("REG_DWORD")));
    EXPECT_THAT(ErrorOf([&] { reg.ReadString("Port"); }),
                AllOf(HasSubstr(key), HasSubstr("\"Port\""), HasSubstr("stored with another type: REG_DWORD"), HasSubstr("REG_SZ was expected")));
    EXPECT_THAT(ErrorOf([&] { reg.ReadBinaryData("Port"); }), HasSubstr("REG_BINARY was expected"));
    EXPECT_THAT(ErrorOf([&] { reg.ReadString("Sound"); }), AllOf(HasSubstr("\"Sound\""), HasSubstr("REG_EXPAND_SZ"), HasSubstr("REG_SZ")));
    EXPECT_THAT(ErrorOf([&] { reg.ReadString("Missing"); }), AllOf(HasSubstr("\"Missing\""), HasSubstr("missing")));
    EXPECT_TRUE(reg.ReadBool("Bits")) << "any non-zero DWORD is true";
}

TEST_F(StoreFileTest, NamesMatchIgnoringCaseAndKeepTheCaseTheyWereCreatedWith)
{
    {
        FileStore store(FilePath());
        TRegistry reg(store);
        ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts\\Work Mail", true));
        reg.WriteString("Server", "first");
        ASSERT_TRUE(reg.OpenKey("SOFTWARE\\tallowfen\\POSTWATCH\\2.0\\accounts\\WORK MAIL", false));
        reg.WriteString("SERVER", "second");
        reg.CloseKey();
    }
    EXPECT_TRUE(ReadFile().contains("[HKEY_CURRENT_USER\\Software\\Tallowfen\\Postwatch\\2.0\\Accounts\\Work Mail]\n"
                                    "\"Server\"=\"second\"\n"));

    FileStore reloaded(FilePath());
    TRegistry reg(reloaded);
    ASSERT_TRUE(reg.OpenKey("software\\tallowfen\\postwatch\\2.0\\ACCOUNTS", false));
    EXPECT_THAT(reg.GetKeyNames(), ElementsAre("Work Mail"));
    ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts\\work mail", false));
    EXPECT_THAT(reg.GetValueNames(), ElementsAre("Server"));
    EXPECT_EQ(reg.ReadString("sErVeR"), "second");
}

TEST_F(StoreFileTest, SubkeysListAlphabeticallyIgnoringCaseAndValuesInCreationOrder)
{
    {
        FileStore store(FilePath());
        TRegistry reg(store);
        for (const char* name : {"delta", "Alpha", "charlie", "Bravo", "alpha2"}) {
            ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts\\" + name, true));
            reg.CloseKey();
        }
        ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\BlockedSenders", true));
        for (const char* name : {"zed@example.org", "Ann Lee", "mike", "ann lee jr"})
            reg.WriteBool(name, true);
        reg.WriteBool("ANN LEE", false); // same value: keeps its place and its first spelling
    }

    FileStore reloaded(FilePath());
    TRegistry reg(reloaded);
    ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts", false));
    EXPECT_THAT(reg.GetKeyNames(), ElementsAre("Alpha", "alpha2", "Bravo", "charlie", "delta"));
    ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\BlockedSenders", false));
    EXPECT_THAT(reg.GetValueNames(), ElementsAre("zed@example.org", "Ann Lee", "mike", "ann lee jr"));
    EXPECT_FALSE(reg.ReadBool("Ann Lee"));
}

TEST_F(StoreFileTest, MissingFileIsAnEmptyStoreAndTheFirstCommitCreatesIt)
{
    FileStore store(FilePath());
    TRegistry reg(store);
    EXPECT_FALSE(reg.OpenKey(ProgramKey, false));
    EXPECT_FALSE(reg.KeyExists(ProgramKey));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(FilePath()).absolutePath())) << "reading must not create anything";

    ASSERT_TRUE(reg.OpenKey(ProgramKey, true));
    reg.WriteInteger("Interval", 10);
    EXPECT_FALSE(QFileInfo::exists(FilePath())) << "changes are written when the key is closed";
    reg.CloseKey();
    ASSERT_TRUE(QFileInfo::exists(FilePath()));

    FileStore reloaded(FilePath());
    TRegistry check(reloaded);
    ASSERT_TRUE(check.OpenKey(ProgramKey, false));
    EXPECT_EQ(check.ReadInteger("Interval"), 10);
}

TEST_F(StoreFileTest, EveryChangeReachesTheFileWhenItsKeyIsClosed)
{
    FileStore store(FilePath());
    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts\\Home", true));
    reg.WriteString("Server", "pop.home.example");
    ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts\\Work", true)); // opening another key closes the first
    EXPECT_TRUE(ReadFile().contains("pop.home.example"));
    reg.WriteString("Server", "pop.work.example");
    reg.CloseKey();
    EXPECT_TRUE(ReadFile().contains("pop.work.example"));

    ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts\\Home", false));
    ASSERT_TRUE(reg.DeleteValue("Server"));
    reg.CloseKey();
    EXPECT_FALSE(ReadFile().contains("pop.home.example"));

    ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts", false));
    ASSERT_TRUE(reg.DeleteKey("Work"));
    {
        TRegistry destroyedWhileOpen(store);
        ASSERT_TRUE(destroyedWhileOpen.OpenKey(ProgramKey, true));
        destroyedWhileOpen.WriteInteger("Timeout", 30);
    }
    EXPECT_TRUE(ReadFile().contains("\"Timeout\"=dword:0000001e"));
    reg.CloseKey();
    EXPECT_FALSE(ReadFile().contains("\\Work]"));

    FileStore reloaded(FilePath());
    TRegistry check(reloaded);
    ASSERT_TRUE(check.OpenKey(ProgramKey + "\\Accounts", false));
    EXPECT_THAT(check.GetKeyNames(), ElementsAre("Home"));
    ASSERT_TRUE(check.OpenKey(ProgramKey + "\\Accounts\\Home", false));
    EXPECT_TRUE(check.GetValueNames().isEmpty());
}

TEST_F(StoreFileTest, DeletingAKeyTakesItsWholeTreeFromTheFile)
{
    FileStore store(FilePath());
    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts\\Old\\Deeper\\Deepest", true));
    reg.WriteString("Left", "behind");
    ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts\\Kept", true));
    reg.CloseKey();
    ASSERT_TRUE(reg.DeleteKey(ProgramKey + "\\ACCOUNTS\\old"));
    EXPECT_FALSE(reg.DeleteKey(ProgramKey + "\\Accounts\\Old"));

    const QByteArray text = ReadFile();
    EXPECT_FALSE(text.contains("Old")) << text.constData();
    EXPECT_TRUE(text.contains("\\Accounts\\Kept]"));
}

TEST_F(StoreFileTest, TheFileIsForItsOwnerAloneAndSoIsTheFolderCreatedForIt)
{
    const OpenUmask openUmask;
    const QString path = dir.filePath("config/Postwatch/registry.reg");
    FileStore store(path);
    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(ProgramKey, true));
    reg.WriteString("Password", "secret");
    reg.CloseKey();
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(dir.filePath("config/Postwatch")), 0700u);

    // A file someone opened up is closed again by the next save.
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    ASSERT_TRUE(reg.OpenKey(ProgramKey, true));
    reg.WriteString("Password", "other");
    reg.CloseKey();
    EXPECT_EQ(modeOf(path), 0600u);
}

TEST_F(StoreFileTest, AFolderThatAlreadyExistsKeepsItsMode)
{
    const OpenUmask openUmask;
    ASSERT_TRUE(QDir(dir.path()).mkdir("shared"));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("shared")).constData(), 0755), 0);
    FileStore store(dir.filePath("shared/registry.reg"));
    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(ProgramKey, true));
    reg.CloseKey();
    EXPECT_EQ(modeOf(dir.filePath("shared")), 0755u);
    EXPECT_EQ(modeOf(dir.filePath("shared/registry.reg")), 0600u);
}

TEST_F(StoreFileTest, LocalMachineKeysShareTheFileButNotTheNames)
{
    {
        FileStore store(FilePath());
        TRegistry machine(store, RootKey::HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(machine.OpenKey("Software\\Clients\\Mail\\Mutt", true));
        machine.WriteString("", "Mutt");
    }
    EXPECT_TRUE(ReadFile().contains("[HKEY_LOCAL_MACHINE\\Software\\Clients\\Mail\\Mutt]\n@=\"Mutt\"\n"));

    FileStore reloaded(FilePath());
    TRegistry user(reloaded);
    EXPECT_FALSE(user.OpenKey("Software\\Clients\\Mail\\Mutt", false));
    TRegistry machine(reloaded, RootKey::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(machine.OpenKey("Software\\Clients\\Mail", false));
    EXPECT_THAT(machine.GetKeyNames(), ElementsAre("Mutt"));
    ASSERT_TRUE(machine.OpenKey("Software\\Clients\\Mail\\Mutt", false));
    EXPECT_EQ(machine.ReadString(""), "Mutt");
}
