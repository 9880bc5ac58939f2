#include "StoreFileTest.h"

#include "config/Settings.h"
#include "config/SystemKeys.h"
#include "platform/DialUp.h"

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

namespace {

const QString Profiles = QStringLiteral("RemoteAccess\\Profile");
const QString MailKey = QStringLiteral("Software\\Clients\\Mail");

class FakeDialUp : public TDialUp
{
public:
    QStringList Names;
    int Asked = 0;

    bool IsOnline() override { return true; }
    bool Dial(const QString&, quint32& handle) override
    {
        handle = 0;
        return false;
    }
    void HangUp(quint32) override {}
    QStringList Connectoids() override
    {
        ++Asked;
        return Names;
    }
};

// A store file with the two system keys on it: NetworkManager's connections
// from a fake, the mail programs from desktop entries in a folder of the test.
class SystemKeyStore : public StoreFileTest
{
protected:
    void SetUp() override
    {
        dialUp.Names = {"Home DSL", "Work VPN"};
        putEntry("thunderbird.desktop", "Name=Thunderbird\nExec=thunderbird %u\n");
        putEntry("evolution.desktop", "Name=Evolution\nExec=evolution --component=mail %U\n");
        store.AddSystemKey(SystemKeys::DialUpProfiles(dialUp));
        store.AddSystemKey(SystemKeys::MailClients({{dir.filePath("share")}, {dir.filePath("config")}, {}}));
    }

    void putEntry(const QString& name, const QByteArray& lines)
    {
        const QString path = dir.filePath("share/applications/" + name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nType=Application\nMimeType=x-scheme-handler/mailto;\n" + lines);
    }

    QStringList subkeys(const QString& key, RootKey root = RootKey::HKEY_CURRENT_USER)
    {
        TRegistry reg(store, root);
        return reg.OpenKey(key, false) ? reg.GetKeyNames() : QStringList {"<missing>"};
    }

    FakeDialUp dialUp;
    FileStore store {FilePath()};
};

}

TEST_F(SystemKeyStore, SettingsListTheConnectionsAndMailPrograms)
{
    Settings settings(store);
    settings.FillLists();
    EXPECT_THAT(settings.Connectoids().Items(), ElementsAre("Home DSL", "Work VPN"));
    EXPECT_THAT(settings.Clients().Items(), ElementsAre("Evolution", "Thunderbird"));

    TRegistry reg(store, RootKey::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey(MailKey, false));
    EXPECT_EQ(reg.ReadString(""), "Evolution");
    ASSERT_TRUE(reg.OpenKey(MailKey + "\\Thunderbird\\Protocols\\mailto\\Shell\\Open\\Command", false));
    EXPECT_EQ(reg.ReadString(""), "thunderbird");
}

TEST_F(SystemKeyStore, TheFileNeverHoldsThem)
{
    Settings settings(store);
    settings.FillLists();
    settings.LoadSettings();
    settings.SaveSettings();
    {
        TRegistry reg(store);
        ASSERT_TRUE(reg.OpenKey(ProgramKey + "\\Accounts\\Home", true));
        reg.WriteString("Server", "pop.example.org");
        ASSERT_TRUE(reg.OpenKey("RemoteAccess", true)) << "exists as the way to the profiles";
    }
    const QByteArray content = ReadFile();
    EXPECT_THAT(content.toStdString(), HasSubstr("pop.example.org"));
    EXPECT_THAT(content.toStdString(), Not(HasSubstr("RemoteAccess")));
    EXPECT_THAT(content.toStdString(), Not(HasSubstr("Clients")));
    EXPECT_THAT(content.toStdString(), Not(HasSubstr("HKEY_LOCAL_MACHINE")));
}

TEST_F(SystemKeyStore, ChangesToThemAreRefusedAndChangeNothing)
{
    WriteFile(FileHeader + "[HKEY_CURRENT_USER\\Software\\Tallowfen\\Postwatch\\2.0]\n\"Interval\"=dword:00000005\n");
    const QByteArray before = ReadFile();
    const std::string refused = "The key \"HKEY_CURRENT_USER\\RemoteAccess\\Profile\" belongs to the system and can only be read here.";

    TRegistry reg(store);
    EXPECT_EQ(ErrorOf([&] { reg.OpenKey(Profiles + "\\New", true); }), refused);
    ASSERT_TRUE(reg.OpenKey(Profiles + "\\Home DSL", true));
    EXPECT_EQ(ErrorOf([&] { reg.WriteString("Phone", "123"); }), refused);
    ASSERT_TRUE(reg.OpenKey(Profiles, false));
    EXPECT_EQ(ErrorOf([&] { reg.DeleteKey("Work VPN"); }), refused);
    reg.CloseKey();
    EXPECT_EQ(ErrorOf([&] { reg.DeleteKey("RemoteAccess"); }), refused) << "a key above one holds it";

    TRegistry machine(store, RootKey::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(machine.OpenKey(MailKey, false));
    EXPECT_THAT(ErrorOf([&] { machine.DeleteValue(""); }), HasSubstr("HKEY_LOCAL_MACHINE\\Software\\Clients\\Mail\""));
    machine.CloseKey();
    EXPECT_THAT(ErrorOf([&] { machine.DeleteKey("Software"); }), HasSubstr("can only be read"));

    EXPECT_THAT(subkeys(Profiles), ElementsAre("Home DSL", "Work VPN"));
    EXPECT_EQ(ReadFile(), before);
    ASSERT_TRUE(reg.OpenKey(ProgramKey, false));
    reg.WriteInteger("Interval", 7);
    reg.CloseKey();
    EXPECT_THAT(ReadFile().toStdString(), HasSubstr("\"Interval\"=dword:00000007")) << "the store still saves";
}

// What the store file holds at a system key's place is the user's: hidden
// while the system's content shows, and kept on every save.
TEST_F(SystemKeyStore, TheFilesOwnContentThereIsHiddenAndKept)
{
    WriteFile(FileHeader + "[HKEY_CURRENT_USER\\RemoteAccess\\Profile\\Stale]\n\"Phone\"=\"1\"\n");
    EXPECT_THAT(subkeys(Profiles), ElementsAre("Home DSL", "Work VPN"));
    {
        TRegistry reg(store);
        reg.OpenKey(ProgramKey, true);
        reg.WriteInteger("Interval", 3);
    }
    EXPECT_THAT(ReadFile().toStdString(), HasSubstr("[HKEY_CURRENT_USER\\RemoteAccess\\Profile\\Stale]\n\"Phone\"=\"1\""));
}

TEST_F(SystemKeyStore, ContentIsReadWhenTheKeyIsOpenedAndOnlyThen)
{
    EXPECT_THAT(subkeys(ProgramKey), ElementsAre("<missing>"));
    EXPECT_THAT(subkeys("RemoteAccess"), ElementsAre("Profile"));
    EXPECT_EQ(dialUp.Asked, 0) << "nmcli runs only for the key that shows its answer";

    EXPECT_THAT(subkeys(Profiles), ElementsAre("Home DSL", "Work VPN"));
    dialUp.Names = {"Mobile"};
    EXPECT_THAT(subkeys(Profiles), ElementsAre("Mobile"));
    dialUp.Names.clear();
    EXPECT_THAT(subkeys(Profiles), IsEmpty()) << "no connections: an empty list";
    EXPECT_EQ(dialUp.Asked, 3);
}

// A save through one handle replaces the store's tree; a handle open on a
// system key must still read it.
TEST_F(SystemKeyStore, AnOpenKeySurvivesASaveThroughAnotherHandle)
{
    TRegistry profiles(store);
    ASSERT_TRUE(profiles.OpenKey(Profiles, false));
    {
        TRegistry writer(store);
        writer.OpenKey(ProgramKey, true);
        writer.WriteInteger("Interval", 3);
    }
    EXPECT_THAT(profiles.GetKeyNames(), ElementsAre("Home DSL", "Work VPN"));
}
