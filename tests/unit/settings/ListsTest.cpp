#include "SettingsFixture.h"

#include "config/StoreError.h"

using namespace Qt::StringLiterals;

class Lists : public SettingsFixture
{
protected:
    void addAccount(const QString& name, std::optional<bool> selected)
    {
        addKey(AccountsKey + u'\\' + name);
        if (selected)
            putInteger(u"Selected"_s, *selected, AccountsKey + u'\\' + name);
    }

    void addBlocked(const QString& sender, bool checked) { putInteger(sender, checked, BlockedKey); }

    CheckedNames accounts() const { return settings.Accounts().Items(); }
    CheckedNames blocked() const { return settings.BlockedSenders().Items(); }
};

TEST_F(Lists, SelectedAccountsKeepListOrderAndSkipUncheckedOnes)
{
    addAccount(u"first"_s, true);
    addAccount(u"second"_s, false);
    addAccount(u"third"_s, true);
    start();
    EXPECT_EQ(accounts(), CheckedNames({{u"first"_s, true}, {u"second"_s, false}, {u"third"_s, true}}));
    const QStringList selected = settings.SelectedAccounts();
    ASSERT_EQ(selected, QStringList({u"first"_s, u"third"_s}));
    EXPECT_EQ(selected[1], u"third"_s);
}

TEST_F(Lists, AnAccountWithoutSelectedCountsAsEnabled)
{
    addAccount(u"by hand"_s, std::nullopt);
    settings.FillLists();
    EXPECT_EQ(accounts(), CheckedNames({{u"by hand"_s, true}}));
    EXPECT_FALSE(stored(u"Selected"_s, AccountsKey + u"\\by hand"_s)) << "filling writes nothing";
}

TEST_F(Lists, AMissingAccountsKeyKeepsTheListAsItWas)
{
    settings.FillLists();
    EXPECT_TRUE(accounts().isEmpty());
    EXPECT_FALSE(store.Tree().Find(RootKey::HKEY_CURRENT_USER, AccountsKey));

    addAccount(u"home"_s, true);
    settings.FillLists();
    store.Tree().Remove(RootKey::HKEY_CURRENT_USER, AccountsKey);
    settings.FillLists();
    EXPECT_EQ(accounts(), CheckedNames({{u"home"_s, true}}));
}

TEST_F(Lists, ASelectedOfAnotherTypeIsAnErrorAndKeepsTheList)
{
    addAccount(u"home"_s, true);
    settings.FillLists();
    addAccount(u"work"_s, true);
    putString(u"Selected"_s, u"yes"_s, AccountsKey + u"\\work"_s);
    EXPECT_THROW(settings.Accounts().Fill(), EStoreError);
    EXPECT_EQ(accounts(), CheckedNames({{u"home"_s, true}}));
}

TEST_F(Lists, AnAccountMarkIsStoredTheMomentItChanges)
{
    addAccount(u"first"_s, true);
    addAccount(u"second"_s, true);
    settings.FillLists();
    settings.Accounts().SetChecked(0, false);
    EXPECT_EQ(storedNumber(u"Selected"_s, AccountsKey + u"\\first"_s), 0u);
    EXPECT_EQ(settings.SelectedAccounts(), QStringList({u"second"_s}));

    store.Tree().Remove(RootKey::HKEY_CURRENT_USER, AccountsKey + u"\\second"_s);
    settings.Accounts().SetChecked(1, false);
    EXPECT_FALSE(store.Tree().Find(RootKey::HKEY_CURRENT_USER, AccountsKey + u"\\second"_s))
        << "a vanished account is not created again";
}

TEST_F(Lists, DeletingAnAccountRemovesItsSubkeyAndKeepsTheAccountsKey)
{
    addAccount(u"only"_s, true);
    putString(u"Server"_s, u"pop.example.org"_s, AccountsKey + u"\\only"_s);
    settings.FillLists();
    settings.Accounts().Delete(u"only"_s);
    EXPECT_TRUE(accounts().isEmpty());
    const RegKey* key = store.Tree().Find(RootKey::HKEY_CURRENT_USER, AccountsKey);
    ASSERT_TRUE(key);
    EXPECT_TRUE(key->SubkeyNames().isEmpty());
}

TEST_F(Lists, BlockedSendersKeepStoreOrderAndTheirMarks)
{
    addBlocked(u"zed@example.org"_s, true);
    addBlocked(u"Ann Lee"_s, false);
    settings.FillLists();
    EXPECT_EQ(blocked(), CheckedNames({{u"zed@example.org"_s, true}, {u"Ann Lee"_s, false}}));

    settings.BlockedSenders().SetChecked(1, true);
    EXPECT_EQ(storedNumber(u"Ann Lee"_s, BlockedKey), 1u);
}

TEST_F(Lists, BlockingAListedSenderAgainChecksItWithoutASecondEntry)
{
    addBlocked(u"Ann Lee"_s, false);
    settings.FillLists();
    settings.BlockedSenders().Add(u"Ann Lee"_s);
    settings.BlockedSenders().Add(u"Bob <bob@example.org>"_s);
    settings.BlockedSenders().Add(u""_s);
    EXPECT_EQ(blocked(), CheckedNames({{u"Ann Lee"_s, true}, {u"Bob <bob@example.org>"_s, true}}));

    settings.BlockedSenders().Delete(u"Ann Lee"_s);
    EXPECT_EQ(blocked(), CheckedNames({{u"Bob <bob@example.org>"_s, true}}));
    EXPECT_FALSE(stored(u"Ann Lee"_s, BlockedKey));
}

TEST_F(Lists, ABlockedValueOfAnotherTypeIsAnErrorAndKeepsTheList)
{
    addBlocked(u"Ann Lee"_s, true);
    settings.FillLists();
    putString(u"spam"_s, u"1"_s, BlockedKey);
    EXPECT_THROW(settings.BlockedSenders().Fill(), EStoreError);
    EXPECT_EQ(blocked(), CheckedNames({{u"Ann Lee"_s, true}}));
}

TEST_F(Lists, IsSenderBlockedMatchesPartsOfAnyCheckedEntryInAnyCase)
{
    addBlocked(u"Ann Lee"_s, true);
    addBlocked(u"Bob Hill"_s, false);
    settings.FillLists();
    EXPECT_TRUE(settings.IsSenderBlocked(u"Ann"_s));
    EXPECT_TRUE(settings.IsSenderBlocked(u"Ann Lee"_s));
    EXPECT_TRUE(settings.IsSenderBlocked(u"ann"_s));
    EXPECT_FALSE(settings.IsSenderBlocked(u"Ann Lee Jr"_s));
    EXPECT_FALSE(settings.IsSenderBlocked(u""_s));
    EXPECT_FALSE(settings.IsSenderBlocked(u" "_s)) << "blanks alone, though the entry holds one";
    EXPECT_FALSE(settings.IsSenderBlocked(u"Bob Hill"_s)) << "an unchecked entry blocks nothing";

    addBlocked(u"spam@example.org"_s, true);
    settings.BlockedSenders().Fill();
    EXPECT_TRUE(settings.IsSenderBlocked(u"@example"_s)) << "any entry may hold it";

    // The store takes a name that differs only in case for the one it holds.
    ASSERT_TRUE(settings.BlockedSenders().Add(u" ÄNN LEE <ann@example.org>"_s));
    ASSERT_TRUE(settings.BlockedSenders().Add(u" änn lee <ANN@example.org>"_s));
    EXPECT_EQ(blocked().size(), 4);
    EXPECT_TRUE(settings.IsSenderBlocked(u" änn lee <ANN@example.org>"_s));
}
