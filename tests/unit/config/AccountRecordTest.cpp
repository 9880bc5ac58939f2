// An account's values as the dialog, the list, a check and the profile tool
// store and read them.

#include "config/AccountRecord.h"
#include "config/Registry.h"
#include "config/StoreError.h"
#include "config/StoreKeys.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class AccountRecordTest : public testing::Test
{
protected:
    MemoryStore store;
    const QString key = StoreKeys::Accounts + u"\\Home"_s;

    TRegistry& open()
    {
        reg.OpenKey(key, true);
        return reg;
    }

    QStringList valueNames()
    {
        TRegistry names(store);
        return names.OpenKeyReadOnly(key) ? names.GetValueNames() : QStringList{u"<no key>"_s};
    }

    QString error(const std::function<void()>& read)
    {
        try {
            read();
        } catch (const EStoreError& e) {
            return e.Message;
        }
        return {};
    }

private:
    TRegistry reg{store};
};

TEST_F(AccountRecordTest, EveryValueComesBackAndValuesAtTheirMeaningWhenAbsentAreLeftOut)
{
    TAccountRecord written;
    written.Name = u"Home"_s;
    written.Server = u"pop.example.org"_s;
    written.Username = u"ann"_s;
    written.Port = 40995;
    written.Security = secStartTls;
    written.Auth = authOAuth2;
    written.Provider = {QUrl(u"https://id.example/auth"_s), QUrl(u"https://id.example/token"_s), u"client"_s,
                        u"secret"_s, u"mail offline"_s};
    written.SignInId = u"id-1"_s;
    written.CertFingerprint = u"AB:CD"_s;
    written.QuickCheck = false;
    written.Selected = false;
    written.Protocol = u"IMAP"_s;
    written.Folder = u"Archive"_s;
    written.Write(store);

    const auto fields = [](const TAccountRecord& a) {
        const TOAuthProvider& p = a.Provider;
        return QStringList{a.Name, a.Server, a.Username, QString::number(a.Port), QString::number(a.Security),
                           QString::number(a.Auth), p.AuthorizeUrl.toString(), p.TokenUrl.toString(), p.ClientId,
                           p.ClientSecret, p.Scope, a.SignInId, a.CertFingerprint, QString::number(a.QuickCheck),
                           QString::number(a.Selected), a.Protocol, a.Folder};
    };
    const TAccountRecord read = TAccountRecord::Read(store, u"Home"_s).value();
    EXPECT_EQ(fields(read), fields(written)) << fields(read).join(u" | "_s).toStdString();

    TAccountRecord plain = read;
    plain.Auth = authPassword;
    plain.SignInId.clear();
    plain.CertFingerprint.clear();
    plain.Protocol = TAccountRecord::DefaultProtocol;
    plain.Folder = TAccountRecord::DefaultFolder;
    plain.Write(store);
    EXPECT_EQ(valueNames(), (QStringList{"Server", "Username", "Port", "Selected", "Security", "QuickCheck"}))
        << "a password account's key stays as before sign-ins, protocols and folders: "
        << valueNames().join(u' ').toStdString();
}

// The desktop keeps the sign-in: the account keeps which desktop account,
// and no provider's values.
TEST_F(AccountRecordTest, ADesktopSignInKeepsOnlyTheDesktopsAccount)
{
    TAccountRecord written;
    written.Name = u"Home"_s;
    written.Auth = authDesktop;
    written.DesktopAccount = u"account_1700000000_0"_s;
    written.Provider.ClientId = u"left over"_s;
    written.Write(store);
    EXPECT_EQ(valueNames(), (QStringList{"Server", "Username", "Port", "Selected", "Security", "QuickCheck", "Auth",
                                         "DesktopAccount"}))
        << valueNames().join(u' ').toStdString();
    const TAccountRecord read = TAccountRecord::Read(store, u"Home"_s).value();
    EXPECT_EQ(read.Auth, authDesktop);
    EXPECT_EQ(read.DesktopAccount, written.DesktopAccount);

    written.Auth = authOAuth2;
    written.Write(store);
    EXPECT_FALSE(valueNames().contains(u"DesktopAccount"_s));
}

// As written before secure connections, sign-ins and hand edits.
TEST_F(AccountRecordTest, AnOldAccountReadsWithTheDefaultsAndTrimmedNames)
{
    TRegistry& reg = open();
    reg.WriteString(u"Server"_s, u" 127.0.0.1\t"_s);
    reg.WriteString(u"Username"_s, u" ann "_s);
    reg.WriteInteger(u"Port"_s, 110);
    reg.CloseKey();

    const TAccountRecord account = TAccountRecord::Read(store, u"Home"_s).value();
    EXPECT_EQ(account.Server, "127.0.0.1");
    EXPECT_EQ(account.Username, "ann");
    EXPECT_EQ(account.Security, 0);
    EXPECT_EQ(account.Auth, authPassword);
    EXPECT_TRUE(account.QuickCheck && account.Selected && account.CertFingerprint.isEmpty());
    EXPECT_EQ(account.Protocol, "POP3");
    EXPECT_EQ(account.Folder, "INBOX");
    EXPECT_TRUE(TAccountRecord::ReadSelected(store, u"Home"_s));

    TAccountRecord other = account;
    for (const char* server : {"localhost", "LocalHost", "::1", "127.0.0.2"}) {
        other.Server = QString::fromLatin1(server);
        EXPECT_TRUE(other.IsLocal()) << server;
    }
    for (const char* server : {"pop.example.org", "192.168.1.10", "0.0.0.0", ""}) {
        other.Server = QString::fromLatin1(server);
        EXPECT_FALSE(other.IsLocal()) << server;
    }
}

// A protocol written by hand in another case is still that protocol; one
// the program does not know is given POP3's ports, as before protocols.
TEST_F(AccountRecordTest, TheDefaultPortFollowsTheProtocolAndTheSecurity)
{
    const std::tuple<const char*, TSecurity, int> ports[] = {
        {"POP3", secNone, 110}, {"POP3", secStartTls, 110}, {"POP3", secTls, 995},
        {"IMAP", secNone, 143}, {"IMAP", secStartTls, 143}, {"imap", secTls, 993},
        {"", secTls, 995},
    };
    for (const auto& [protocol, security, port] : ports)
        EXPECT_EQ(DefaultPort(QLatin1String(protocol), security), port) << protocol << " " << security;
}

// Deleted meanwhile (by another copy, or in the configuration window).
TEST_F(AccountRecordTest, AnAccountThatIsGoneIsNeitherReadNorMadeAgain)
{
    EXPECT_FALSE(TAccountRecord::Read(store, u"Home"_s));
    EXPECT_FALSE(TAccountRecord::ReadSelected(store, u"Home"_s));
    TAccountRecord::TrustCertificate(store, u"Home"_s, u"AB:CD"_s);
    TAccountRecord::WriteSelected(store, u"Home"_s, true);
    EXPECT_FALSE(TRegistry(store).KeyExists(key));
}

TEST_F(AccountRecordTest, HandEditedValuesAreReadAsStoredOrRefusedInWords)
{
    TRegistry& reg = open();
    reg.WriteString(u"Server"_s, u"pop.example.org"_s);
    TAccountRecord::CompleteRequired(reg);
    reg.WriteInteger(u"Security"_s, 7);
    reg.WriteInteger(u"Auth"_s, -1);
    reg.CloseKey();
    const TAccountRecord completed = TAccountRecord::Read(store, u"Home"_s).value();
    EXPECT_EQ(completed.Server, "pop.example.org") << "a stored value is not completed over";
    EXPECT_EQ(completed.Username, "");
    EXPECT_EQ(completed.Port, 110);
    EXPECT_EQ(completed.Security, 7) << "left for the connection to refuse in words";
    EXPECT_EQ(completed.Auth, -1);

    open().WriteString(u"Port"_s, u"995"_s);
    const QString wrongType = error([this] { TAccountRecord::Read(store, u"Home"_s); });
    EXPECT_TRUE(wrongType.contains(u"\"Port\""_s) && wrongType.contains(u"Accounts\\Home"_s)) << wrongType.toStdString();
    open().DeleteValue(u"Port"_s);
    EXPECT_TRUE(error([this] { TAccountRecord::Read(store, u"Home"_s); }).contains(u"\"Port\" is missing"_s));
    open().WriteString(u"Selected"_s, u"yes"_s);
    EXPECT_TRUE(error([this] { TAccountRecord::ReadSelected(store, u"Home"_s); }).contains(u"\"Selected\""_s));
}

}
