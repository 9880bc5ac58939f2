// The settings in the real registry, below a key of the test's own that is
// removed afterwards. Another program's writes are made with the Win32
// calls directly, as it would make them.
#include "config/Registry.h"
#include "config/Settings.h"
#include "config/StoreError.h"
#include "config/WinRegistryStore.h"
// Last: <windows.h> makes HKEY_CURRENT_USER a macro, which the store's headers name.
#include "base/WinText.h"

#include <QUuid>
#include <gtest/gtest.h>

#include <sddl.h>

namespace {

QByteArray wideBytes(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), (text.size() + 1) * 2);
}

class RegistryStoreTest : public testing::Test
{
protected:
    const QString base = "Software\\Tallowfen\\PostwatchTest\\" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString program = StoreKeys::Program;
    WinRegistryStore store{base};

    ~RegistryStoreTest() override { RegDeleteTreeW(HKEY_CURRENT_USER, WideText(base)); }

    void setRaw(const QString& subkey, const QString& name, DWORD type, const QByteArray& data)
    {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, WideText(base + subkey), WideText(name), type, data.constData(),
                                  DWORD(data.size())),
                  ERROR_SUCCESS);
    }

    // Sets who may do what with the test's key, in Windows' own notation.
    bool setAccess(const wchar_t* rules)
    {
        HKEY key = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, WideText(base), 0, WRITE_DAC, &key) != ERROR_SUCCESS)
            return false;
        const bool done = ConvertStringSecurityDescriptorToSecurityDescriptorW(rules, SDDL_REVISION_1, &descriptor, nullptr)
            && RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
        LocalFree(descriptor);
        RegCloseKey(key);
        return done;
    }

    // The value's type and bytes as Windows holds them; REG_NONE with no
    // bytes when it is missing.
    std::pair<DWORD, QByteArray> raw(const QString& subkey, const QString& name)
    {
        DWORD type = REG_NONE;
        QByteArray data(4096, '\0');
        DWORD size = DWORD(data.size());
        if (RegGetValueW(HKEY_CURRENT_USER, WideText(base + subkey), WideText(name), RRF_RT_ANY | RRF_NOEXPAND, &type,
                         data.data(), &size)
            != ERROR_SUCCESS)
            return {REG_NONE, {}};
        return {type, data.left(size)};
    }
};

}

// Names keep the case they were made with and are found in any case, as
// in the registry; every type comes back as it went in, and Windows holds
// it as the same type. The order of the values is the registry's (Wine
// sorts them).
TEST_F(RegistryStoreTest, ValuesOfEveryTypeGoThroughTheRegistryAndBack)
{
    {
        TRegistry reg(store);
        ASSERT_TRUE(reg.OpenKey(program + "\\Accounts\\Home", true));
        reg.WriteString("Server", "pop.exämple.org");
        reg.WriteInteger("Port", 995);
        reg.WriteBinaryData("WndRect", QByteArray("\x10\0\0\0\xff\xff\xff\xff", 8));
    }
    EXPECT_EQ(raw("\\Accounts\\Home", "Server"), std::make_pair(DWORD(REG_SZ), wideBytes("pop.exämple.org")));
    EXPECT_EQ(raw("\\Accounts\\Home", "Port"), std::make_pair(DWORD(REG_DWORD), QByteArray("\xe3\x03\0\0", 4)));
    EXPECT_EQ(raw("\\Accounts\\Home", "WndRect").first, DWORD(REG_BINARY));

    WinRegistryStore again(base);
    TRegistry reg(again);
    ASSERT_TRUE(reg.OpenKeyReadOnly(program + "\\ACCOUNTS\\home"));
    EXPECT_EQ(reg.ReadString("SERVER"), "pop.exämple.org");
    EXPECT_EQ(reg.ReadInteger("port"), 995);
    EXPECT_EQ(reg.ReadBinaryData("wndrect"), QByteArray("\x10\0\0\0\xff\xff\xff\xff", 8));
    QStringList names = reg.GetValueNames();
    names.sort();
    EXPECT_EQ(names, QStringList({"Port", "Server", "WndRect"}));
    reg.WriteInteger("PORT", 110);
    reg.CloseKey();
    EXPECT_TRUE(reg.OpenKeyReadOnly(program + "\\Accounts"));
    EXPECT_EQ(reg.GetKeyNames(), QStringList({"Home"}));
    EXPECT_EQ(raw("\\Accounts\\Home", "Port").second, QByteArray("\x6e\0\0\0", 4));
}

// What another program or a second running copy wrote after this copy
// last looked stays, with its own type, when this copy saves; a value of a
// type the program does not write is shown, never rewritten.
TEST_F(RegistryStoreTest, ASaveKeepsWhatOthersWroteUnderTheKey)
{
    WinRegistryStore secondCopy(base);
    TRegistry mine(store);
    ASSERT_TRUE(mine.OpenKey(program, true));
    mine.WriteInteger("Interval", 10);
    mine.CloseKey();
    ASSERT_TRUE(mine.OpenKey(program, false));

    setRaw("", "Path", REG_EXPAND_SZ, wideBytes("%TEMP%\\pw"));
    setRaw("", "Names", REG_MULTI_SZ, QByteArray("a\0\0\0b\0\0\0\0\0", 10));
    setRaw("\\Plugin", "Owner", REG_SZ, wideBytes("another program"));
    {
        TRegistry other(secondCopy);
        other.OpenKey(program + "\\BlockedSenders", true);
        other.WriteInteger("spam@example.org", 1);
    }
    mine.WriteInteger("Timeout", 60);
    mine.CloseKey();

    EXPECT_EQ(raw("", "Path"), std::make_pair(DWORD(REG_EXPAND_SZ), wideBytes("%TEMP%\\pw")));
    EXPECT_EQ(raw("", "Names"), std::make_pair(DWORD(REG_MULTI_SZ), QByteArray("a\0\0\0b\0\0\0\0\0", 10)));
    EXPECT_EQ(raw("\\Plugin", "Owner").second, wideBytes("another program"));
    EXPECT_EQ(raw("\\BlockedSenders", "spam@example.org").first, DWORD(REG_DWORD));
    EXPECT_EQ(raw("", "Interval").second, QByteArray("\x0a\0\0\0", 4));
    ASSERT_TRUE(mine.OpenKey(program, false));
    EXPECT_EQ(mine.ReadString("Path"), "%TEMP%\\pw");
    EXPECT_EQ(mine.GetDataType("Names"), RegType::Other);

    ASSERT_TRUE(mine.DeleteKey("Plugin"));
    mine.CloseKey();
    EXPECT_EQ(raw("\\Plugin", "Owner").first, DWORD(REG_NONE));
    EXPECT_EQ(raw("", "Path").first, DWORD(REG_EXPAND_SZ));
}

// A first start writes every option with its default; a saved option is
// what the next start loads.
TEST_F(RegistryStoreTest, SettingsAreLoadedAndSavedInTheRegistry)
{
    Settings first(store);
    first.FillLists();
    first.LoadSettings();
    EXPECT_EQ(raw("", "Interval").first, DWORD(REG_DWORD));
    EXPECT_EQ(raw("", "ClientToUse"), std::make_pair(DWORD(REG_SZ), wideBytes("Default")));
    first.SetInterval(42);
    first.SaveSettings();

    WinRegistryStore again(base);
    Settings second(again);
    second.FillLists();
    second.LoadSettings();
    EXPECT_EQ(second.Interval(), 42);
}

// The registry gives what the settings file gives for a value of another
// type than the option has: the load stops with the same words.
TEST_F(RegistryStoreTest, AStringWhereANumberBelongsFailsAsInTheSettingsFile)
{
    setRaw("", "Interval", REG_SZ, wideBytes("ten"));
    MemoryStore file;
    {
        TRegistry reg(file);
        reg.OpenKey(program, true);
        reg.WriteString("Interval", "ten");
    }
    const auto loadFailure = [](RegistryStore& from) {
        try {
            Settings(from).LoadSettings();
        } catch (const EStoreError& e) {
            return e.Message;
        }
        return QString();
    };
    EXPECT_TRUE(loadFailure(file).contains("Interval"));
    EXPECT_EQ(loadFailure(store), loadFailure(file));
    EXPECT_EQ(raw("", "Interval"), std::make_pair(DWORD(REG_SZ), wideBytes("ten")));
}

// Below a volatile key Windows refuses a lasting one: the save fails in
// words, and the change is still there to be saved.
TEST_F(RegistryStoreTest, AKeyThatCannotBeWrittenRaisesAStoreError)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, WideText(base), 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);

    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(program + "\\Accounts\\Home", true));
    reg.WriteString("Server", "pop.example.org");
    try {
        reg.CloseKey();
        FAIL() << "the save went through";
    } catch (const EStoreError& e) {
        EXPECT_TRUE(e.Message.startsWith("The settings were not saved: the registry key \"HKEY_CURRENT_USER\\" + base))
            << e.Message.toStdString();
    }
    EXPECT_EQ(raw("\\Accounts\\Home", "Server").first, DWORD(REG_NONE));
    ASSERT_TRUE(reg.OpenKey(program + "\\Accounts\\Home", false));
    EXPECT_EQ(reg.ReadString("Server"), "pop.example.org");
}

// A key this user may not read (locked down by another program): opening
// a key of the store fails in words, and nothing is written over it.
TEST_F(RegistryStoreTest, AKeyThatCannotBeReadRaisesAStoreError)
{
    setRaw("", "Interval", REG_DWORD, QByteArray("\x05\0\0\0", 4));
    ASSERT_TRUE(setAccess(L"D:(D;OICI;KR;;;WD)(A;OICI;KA;;;WD)"));

    try {
        Settings(store).LoadSettings();
        FAIL() << "the settings were read";
    } catch (const EStoreError& e) {
        EXPECT_TRUE(e.Message.startsWith("The registry key \"HKEY_CURRENT_USER\\" + base + "\" cannot be read: "))
            << e.Message.toStdString();
    }
    ASSERT_TRUE(setAccess(L"D:(A;OICI;KA;;;WD)"));
    EXPECT_EQ(raw("", "Interval").second, QByteArray("\x05\0\0\0", 4));
}

// The dial-up entries and the mail programs are read from Windows' own
// keys and cannot be changed through the store.
TEST_F(RegistryStoreTest, SystemKeysShowTheRealRegistryAndRefuseChanges)
{
    const QString entry = "PostwatchTest " + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString profile = StoreKeys::DialUpProfiles + "\\" + entry;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, WideText(profile), L"Type", REG_SZ, L"1", 4), ERROR_SUCCESS);
    const QString command = StoreKeys::MailClients + entry + "\\Protocols\\mailto\\Shell\\Open\\Command";
    const bool machineWritable =
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, WideText(command), nullptr, REG_SZ, L"mail.exe %1", 24) == ERROR_SUCCESS;
    store.AddSystemKey(RealSystemKey(CurrentUser, StoreKeys::DialUpProfiles));
    store.AddSystemKey(RealSystemKey(LocalMachine, StoreKeys::MailClients));

    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKeyReadOnly(StoreKeys::DialUpProfiles));
    EXPECT_TRUE(reg.GetKeyNames().contains(entry));
    EXPECT_THROW(reg.WriteString("Name", "x"), EStoreError);
    EXPECT_THROW(reg.DeleteKey(entry), EStoreError);
    TRegistry machine(store, LocalMachine);
    if (machineWritable) {
        ASSERT_TRUE(machine.OpenKeyReadOnly(command));
        EXPECT_EQ(machine.ReadString(""), "mail.exe %1");
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, WideText(profile));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, WideText(StoreKeys::MailClients + entry));
    if (!machineWritable)
        GTEST_SKIP() << "HKEY_LOCAL_MACHINE cannot be written here: the mail programs were not tried";
}
