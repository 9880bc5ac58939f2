#include "SettingsFixture.h"

using namespace Qt::StringLiterals;

// The e-mail client and dial-up choices, whose lists come from system keys.
class Choices : public SettingsFixture
{
protected:
    void SetUp() override
    {
        addKey(u"Software\\Clients\\Mail\\Evolution"_s, RootKey::HKEY_LOCAL_MACHINE);
        addKey(u"Software\\Clients\\Mail\\Mozilla Thunderbird"_s, RootKey::HKEY_LOCAL_MACHINE);
        addKey(u"RemoteAccess\\Profile\\Home DSL"_s);
        addKey(u"RemoteAccess\\Profile\\Work VPN"_s);
    }

    QString clientAfterLoadAndSave(const QString& storedText)
    {
        putString(u"ClientToUse"_s, storedText);
        settings.LoadSettings();
        settings.SaveSettings();
        return this->storedText(u"ClientToUse"_s);
    }
};

TEST_F(Choices, ListsComeFromTheSystemKeys)
{
    start();
    EXPECT_EQ(settings.Clients().Items(), QStringList({u"Evolution"_s, u"Mozilla Thunderbird"_s}));
    EXPECT_EQ(settings.Connectoids().Items(), QStringList({u"Home DSL"_s, u"Work VPN"_s}));
}

TEST_F(Choices, DefaultOrEmptyChoosesTheDefaultClient)
{
    settings.FillLists();
    EXPECT_EQ(clientAfterLoadAndSave(u"Default"_s), u"Default"_s);
    EXPECT_FALSE(settings.UseSpecifiedClient());
    EXPECT_EQ(clientAfterLoadAndSave(u""_s), u"Default"_s);
    EXPECT_FALSE(settings.UseSpecifiedClient());
}

TEST_F(Choices, AnInstalledClientIsChosenIgnoringCase)
{
    settings.FillLists();
    EXPECT_EQ(clientAfterLoadAndSave(u"mozilla THUNDERBIRD"_s), u"Mozilla Thunderbird"_s);
    EXPECT_TRUE(settings.UseSpecifiedClient());
    EXPECT_EQ(settings.Clients().ItemIndex(), 1);
}

TEST_F(Choices, AClientNotInstalledIsSpecifiedWithNoSelectionAndSavesEmpty)
{
    settings.FillLists();
    for (const QString& name : {u"KMail"_s, u"default"_s}) {
        clientAfterLoadAndSave(u"Evolution"_s);
        EXPECT_EQ(clientAfterLoadAndSave(name), u""_s) << name.toStdString();
        EXPECT_TRUE(settings.UseSpecifiedClient());
        EXPECT_EQ(settings.Clients().ItemIndex(), Settings::NoItem);
    }
}

TEST_F(Choices, ATypedClientNameIsSavedAsTyped)
{
    start();
    settings.SetUseSpecifiedClient(true);
    settings.Clients().SetText(u"/opt/mutt/bin/mutt"_s);
    EXPECT_EQ(settings.Clients().ItemIndex(), Settings::NoItem);
    settings.SaveSettings();
    EXPECT_EQ(storedText(u"ClientToUse"_s), u"/opt/mutt/bin/mutt"_s);

    settings.Clients().SetText(u"Evolution"_s);
    EXPECT_EQ(settings.Clients().ItemIndex(), 0);
    settings.SetUseSpecifiedClient(false);
    EXPECT_EQ(settings.ClientToUse(), u"Default"_s);
}

// NetworkManager may not list a stored entry: nmcli missing or not ready yet,
// or the connection renamed. The name must survive until the user changes it.
TEST_F(Choices, ConnectoidIsChosenIgnoringCaseAndAnUnlistedOneIsKeptAsStored)
{
    putString(u"Connectoid"_s, u"work vpn"_s);
    start();
    EXPECT_EQ(settings.Connectoids().ItemIndex(), 1);
    EXPECT_EQ(settings.Connectoid(), u"Work VPN"_s);

    for (const QString& unlisted : {u"Default"_s, u"Old DSL"_s}) {
        putString(u"Connectoid"_s, unlisted);
        settings.LoadSettings();
        EXPECT_EQ(settings.Connectoids().ItemIndex(), Settings::NoItem);
        EXPECT_EQ(settings.Connectoid(), unlisted);
        settings.SaveSettings();
        EXPECT_EQ(storedText(u"Connectoid"_s), unlisted);
    }
}

TEST(ClientListMissing, LeavesTheListEmpty)
{
    MemoryStore store;
    Settings settings(store);
    settings.FillLists();
    settings.LoadSettings();
    EXPECT_TRUE(settings.Clients().Items().isEmpty());
    EXPECT_TRUE(settings.Connectoids().Items().isEmpty());
    EXPECT_FALSE(store.Tree().Find(RootKey::HKEY_LOCAL_MACHINE, u"Software\\Clients"_s)) << "a system key is only read";
}
