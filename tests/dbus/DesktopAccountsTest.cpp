// Sign-in through the desktop's online accounts, with a stand-in for GNOME
// Online Accounts on the private session bus: what is listed and refused,
// the account dialog's choice, and `postwatch --check` of a Dovecot whose
// token check takes only the token the stand-in handed out.
#include "base/Security.h"
#include "config/AccountRecord.h"
#include "config/FileStore.h"
#include "config/Registry.h"
#include "config/StoreKeys.h"
#include "dialogs/Accountdlg.h"
#include "engine/AccessTokens.h"
#include "platform/DesktopAccounts.h"
#include "tests/support/FakeOnlineAccounts.h"
#include "tests/support/TokenCheckServer.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

TFakeDesktopAccount Google()
{
    TFakeDesktopAccount account;
    account.Id = u"account_1700000000_0"_s;
    account.Email = u"ann@gmail.com"_s;
    account.ImapUserName = u"ann@gmail.com"_s;
    return account;
}

TFakeDesktopAccount Microsoft()
{
    TFakeDesktopAccount account;
    account.Id = u"account_1700000000_1"_s;
    account.ProviderType = u"ms_graph"_s;
    account.ProviderName = u"Microsoft 365"_s;
    account.Email = u"ann@contoso.com"_s;
    account.ImapHost = u"outlook.office365.com:1143"_s;
    account.ImapUseSsl = false;
    account.ImapUseTls = true;
    return account;
}

// What an exception of the kind said; "" when none came.
template <typename Kind> QString Refusal(const std::function<void()>& call)
{
    try {
        call();
    } catch (const Kind& e) {
        return e.Message;
    }
    return {};
}

}

TEST(DesktopAccounts, ListsTheMailAccountsThatHandOutTokensWithTheirServers)
{
    DesktopAccounts desktop;
    EXPECT_FALSE(desktop.Offered());
    EXPECT_EQ(Refusal<Exception>([&] { desktop.MailAccounts(); }), "This desktop has no Online Accounts service running.");

    TFakeOnlineAccounts service;
    TFakeDesktopAccount password = Google();
    password.Id = u"account_1700000000_2"_s;
    password.ProviderName = u"IMAP and SMTP"_s;
    password.OAuth2 = false;
    TFakeDesktopAccount disabled = Google();
    disabled.Id = u"account_1700000000_3"_s;
    disabled.MailDisabled = true;
    TFakeDesktopAccount signedOut = Microsoft();
    signedOut.Id = u"account_1700000000_4"_s;
    signedOut.AttentionNeeded = true;
    for (const TFakeDesktopAccount& account : {Google(), Microsoft(), password, disabled, signedOut})
        service.Add(account);

    EXPECT_TRUE(desktop.Offered());
    const QList<TDesktopAccount> listed = desktop.MailAccounts();
    ASSERT_EQ(listed.size(), 3);
    EXPECT_EQ(listed[0].Label(), "Google: ann@gmail.com");
    EXPECT_EQ(QStringList({listed[0].Server, QString::number(listed[0].Port), QString::number(listed[0].Security), listed[0].User}),
              QStringList({"imap.gmail.com", "993", QString::number(secTls), "ann@gmail.com"}));
    // No IMAP user name: the address signs in.
    EXPECT_EQ(QStringList({listed[1].Server, QString::number(listed[1].Port), QString::number(listed[1].Security), listed[1].User}),
              QStringList({"outlook.office365.com", "1143", QString::number(secStartTls), "ann@contoso.com"}));
    EXPECT_EQ(listed[2].Label(), "Microsoft 365: ann@contoso.com (signed out)");
}

// Only the desktop can help an account gone, turned off or signed out; a
// slow service or an empty token is a failure of the moment.
TEST(DesktopAccounts, ATokenIsRefusedInWordsAndNothingWaitsLongerThanTheTimeOut)
{
    TFakeOnlineAccounts service;
    service.Add(Google());
    DesktopAccounts desktop;
    desktop.TimeOut = 500;
    const QString id = Google().Id;
    const QString again = u"Sign in to Home again in the desktop's Online Accounts."_s;
    const TDesktopToken token = desktop.Token(id, u"Home"_s);
    EXPECT_EQ(token.Token, "goa-token");
    EXPECT_EQ(token.ExpiresIn, 3600);

    for (const auto& change : std::initializer_list<std::function<void(TFakeDesktopAccount&)>>{
             [](TFakeDesktopAccount& a) { a.NotAuthorized = true; }, [](TFakeDesktopAccount& a) { a.AttentionNeeded = true; },
             [](TFakeDesktopAccount& a) { a.MailDisabled = true; }}) {
        service.Add(Google());
        service.Change(id, change);
        EXPECT_EQ(Refusal<ESignInAgain>([&] { desktop.Token(id, u"Home"_s); }), again);
    }
    service.Remove(id);
    EXPECT_EQ(Refusal<ESignInAgain>([&] { desktop.Token(id, u"Home"_s); }), again);

    service.Add(Google());
    service.Change(id, [](TFakeDesktopAccount& a) { a.Token.clear(); });
    EXPECT_EQ(Refusal<Exception>([&] { desktop.Token(id, u"Home"_s); }),
              "The desktop's Online Accounts gave no access token for Home.");
    service.SetDelay(3000);
    EXPECT_EQ(Refusal<Exception>([&] { desktop.MailAccounts(); }),
              "The desktop's Online Accounts did not answer within 0.5 seconds.");
    EXPECT_EQ(Refusal<Exception>([&] { desktop.Token(id, u"Home"_s); }),
              "The desktop's Online Accounts did not answer within 0.5 seconds.");
}

// The desktop's token serves until it is about to run out; a token for one
// desktop account never serves another.
TEST(DesktopAccounts, AccessTokensAskTheDesktopAgainOnlyWhenTheTokenRunsOutOrTheAccountChanges)
{
    TFakeOnlineAccounts service;
    service.Add(Google());
    service.Add(Microsoft());
    QTemporaryDir dir;
    FileStore store(dir.filePath(u"registry.reg"_s));
    TAccountRecord account;
    account.Name = u"Home"_s;
    account.Auth = authDesktop;
    account.DesktopAccount = Google().Id;
    account.Write(store);
    TAccessTokens tokens(store);

    EXPECT_EQ(tokens.For(u"Home"_s), "goa-token");
    EXPECT_EQ(tokens.For(u"Home"_s), "goa-token");
    EXPECT_EQ(service.TokensGiven(), 1);
    account.DesktopAccount = Microsoft().Id;
    account.Write(store);
    service.Change(Microsoft().Id, [](TFakeDesktopAccount& a) { a.Token = u"ms-token"_s, a.ExpiresIn = 30; });
    EXPECT_EQ(tokens.For(u"Home"_s), "ms-token");
    EXPECT_EQ(tokens.For(u"Home"_s), "ms-token") << "asked again: it runs out within the margin";
    EXPECT_EQ(service.TokensGiven(), 3);
}

namespace {

class DesktopAccountForm : public ::testing::Test
{
protected:
    template <typename T = QWidget> static T* Find(QWidget& form, const QString& name)
    {
        T* found = form.findChild<T*>(name);
        EXPECT_TRUE(found) << name.toStdString();
        return found;
    }

    static QStringList Shown(TAccountForm& form)
    {
        return {Find<QComboBox>(form, u"cmbProtocol"_s)->currentText(), Find<QLineEdit>(form, u"editServer"_s)->text(),
                QString::number(Find<QSpinBox>(form, u"spinPort"_s)->value()),
                Find<QComboBox>(form, u"cmbSecurity"_s)->currentText(), Find<QLineEdit>(form, u"editUsername"_s)->text()};
    }

    // Picks the desktop's account as a user does, then OK.
    static void AddFromDesktop(TAccountForm& form, const QString& name, const QString& label)
    {
        Find<QLineEdit>(form, u"editAccName"_s)->setText(name);
        auto* signIn = Find<QComboBox>(form, u"cmbSignIn"_s);
        signIn->setCurrentIndex(signIn->findText(u"From the desktop (GNOME Online Accounts)"_s));
        auto* accounts = Find<QComboBox>(form, u"cmbDesktopAccount"_s);
        accounts->setCurrentIndex(accounts->findText(label));
        Find<QPushButton>(form, u"btnOK"_s)->click();
    }

    QTemporaryDir dir;
    FileStore store{dir.filePath(u"registry.reg"_s)};
};

}

TEST_F(DesktopAccountForm, TheChoiceIsOfferedOnlyWhereTheDesktopKeepsAccounts)
{
    {
        TAccountForm form(store);
        EXPECT_EQ(Find<QComboBox>(form, u"cmbSignIn"_s)->findText(u"From the desktop (GNOME Online Accounts)"_s), -1);
    }
    TFakeOnlineAccounts service;
    TAccountForm form(store);
    auto* signIn = Find<QComboBox>(form, u"cmbSignIn"_s);
    signIn->setCurrentIndex(signIn->findText(u"From the desktop (GNOME Online Accounts)"_s));
    EXPECT_FALSE(Find<QLineEdit>(form, u"editPassword"_s)->isVisibleTo(&form));
    EXPECT_FALSE(Find<QLineEdit>(form, u"editClientId"_s)->isVisibleTo(&form));
    EXPECT_EQ(Find<QLabel>(form, u"lblDesktop"_s)->text(),
              "The desktop keeps no mail accounts: add one in its Online Accounts settings.");
    Find<QLineEdit>(form, u"editAccName"_s)->setText(u"Home"_s);
    Find<QLineEdit>(form, u"editServer"_s)->setText(u"imap.example.org"_s);
    Find<QLineEdit>(form, u"editUsername"_s)->setText(u"ann"_s);
    Find<QPushButton>(form, u"btnOK"_s)->click();
    EXPECT_EQ(Find<QLabel>(form, u"lblError"_s)->text(), "Choose one of the desktop's mail accounts.");
    EXPECT_FALSE(TAccountRecord::Read(store, u"Home"_s));
}

// Hundreds of desktop accounts are listed; picking one fills what the
// desktop knows, OK keeps its id and nothing of a password or a client.
TEST_F(DesktopAccountForm, PickingAnAccountFillsTheFieldsAndOkKeepsTheDesktopsId)
{
    TFakeOnlineAccounts service;
    for (int i = 0; i < 300; ++i) {
        TFakeDesktopAccount many = Google();
        many.Id = u"account_1600000000_%1"_s.arg(i);
        many.Email = u"list%1@gmail.com"_s.arg(i);
        service.Add(many);
    }
    service.Add(Microsoft());
    {
        TAccountForm form(store);
        AddFromDesktop(form, u"Work"_s, u"Microsoft 365: ann@contoso.com"_s);
        EXPECT_EQ(Find<QComboBox>(form, u"cmbDesktopAccount"_s)->count(), 301);
        EXPECT_EQ(Shown(form), QStringList({"IMAP", "outlook.office365.com", "1143", "STARTTLS", "ann@contoso.com"}));
    }
    const TAccountRecord stored = TAccountRecord::Read(store, u"Work"_s).value();
    EXPECT_EQ(stored.Auth, authDesktop);
    EXPECT_EQ(stored.DesktopAccount, Microsoft().Id);
    TRegistry reg(store);
    reg.OpenKeyReadOnly(TAccountRecord::KeyOf(u"Work"_s));
    EXPECT_FALSE(reg.ValueExists(u"Password"_s) || reg.ValueExists(u"OAuthClientId"_s));
    reg.CloseKey();

    TAccountForm again(store, u"Work"_s);
    EXPECT_EQ(Find<QComboBox>(again, u"cmbSignIn"_s)->currentText(), "From the desktop (GNOME Online Accounts)");
    EXPECT_EQ(Find<QComboBox>(again, u"cmbDesktopAccount"_s)->currentText(), "Microsoft 365: ann@contoso.com");
    EXPECT_TRUE(Find<QLabel>(again, u"lblDesktop"_s)->text().isEmpty());
}

TEST_F(DesktopAccountForm, AnAccountWhoseDesktopAccountIsGoneSaysSoAndKeepsItsChoice)
{
    TAccountRecord account;
    account.Name = u"Home"_s;
    account.Server = u"imap.gmail.com"_s;
    account.Username = u"ann@gmail.com"_s;
    account.Port = 993;
    account.Security = secTls;
    account.Protocol = TAccountRecord::ImapProtocol;
    account.Auth = authDesktop;
    account.DesktopAccount = Google().Id;
    account.Write(store);
    TFakeOnlineAccounts service;
    service.Add(Microsoft());

    TAccountForm form(store, u"Home"_s);
    EXPECT_EQ(Find<QComboBox>(form, u"cmbDesktopAccount"_s)->currentText(), "(gone from the desktop)");
    EXPECT_EQ(Find<QLabel>(form, u"lblDesktop"_s)->text(),
              "The desktop no longer has this account: sign in again in the desktop's Online Accounts, or choose another.");
    EXPECT_EQ(Shown(form), QStringList({"IMAP", "imap.gmail.com", "993", "SSL/TLS", "ann@gmail.com"}));
    Find<QPushButton>(form, u"btnOK"_s)->click();
    EXPECT_EQ(TAccountRecord::Read(store, u"Home"_s).value().DesktopAccount, Google().Id);
}

namespace {

struct ProgramRun {
    int ExitCode = -1;
    QString Output;
    QString Errors;
};

// The test's thread serves the token check meanwhile.
ProgramRun RunServing(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment = {})
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.closeWriteChannel();
    for (int waited = 0; process.state() != QProcess::NotRunning && waited < 60000; waited += 20)
        process.waitForFinished(20), QCoreApplication::processEvents();
    if (process.state() != QProcess::NotRunning)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

ProgramRun Server(const QStringList& arguments)
{
    const ProgramRun run = RunServing(QStringLiteral(POSTWATCH_SOURCE_DIR "/tools/pop3-server"), arguments);
    EXPECT_EQ(run.ExitCode, 0) << run.Errors.toStdString();
    return run;
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}

// Set up in the dialog from the desktop's account, the account checks its
// IMAP folder with the token the desktop hands out; once the desktop no
// longer has the account, the check says where to sign in, and a token the
// desktop left empty never reaches the server.
TEST_F(DesktopAccountForm, ACheckLogsInWithTheDesktopsTokenUntilTheDesktopLetsGo)
{
    const QTemporaryDir mail(QStringLiteral("/tmp/postwatch-desktop-XXXXXX"));
    TTokenIntrospection introspection;
    introspection.Active["goa-token"] = u"oauth"_s;
    Server({"add-user", mail.path(), "oauth", "unused"});
    Server({"deliver", mail.path(), "oauth", POSTWATCH_SOURCE_DIR "/tests/integration/messages/plain.eml"});
    Server({"oauth2", mail.path(), introspection.Url()});
    ASSERT_GT(Server({"start", mail.path()}).Output.trimmed().toInt(), 0);
    const auto stop = qScopeGuard([&] { Server({"stop", mail.path()}); });
    const int imapPort = Server({"imap-port", mail.path()}).Output.trimmed().toInt();

    TFakeOnlineAccounts service;
    TFakeDesktopAccount local = Google();
    local.ImapHost = u"127.0.0.1:%1"_s.arg(imapPort);
    local.ImapUserName = u"oauth"_s;
    local.ImapUseSsl = false;
    service.Add(local);
    {
        TAccountForm form(store);
        AddFromDesktop(form, u"Home"_s, u"Google: ann@gmail.com"_s);
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::Program, true);
        reg.WriteInteger(u"ConnType"_s, 0);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"POSTWATCH_PROFILE"_s, dir.path());
    environment.remove(u"DISPLAY"_s);
    const auto check = [&] {
        return RunServing(QStringLiteral(POSTWATCH_BINARY_DIR "/app/postwatch"), {u"--check"_s}, environment);
    };

    const ProgramRun listed = check();
    EXPECT_EQ(listed.ExitCode, 0) << listed.Errors.toStdString();
    EXPECT_TRUE(listed.Output.contains("Lunch on Friday")) << listed.Output.toStdString();
    EXPECT_TRUE(FileBytes(mail.filePath(u"dovecot.log"_s)).contains("user=<oauth>, method=XOAUTH2"));

    service.Change(local.Id, [](TFakeDesktopAccount& a) { a.Token.clear(); });
    const ProgramRun empty = check();
    EXPECT_EQ(empty.ExitCode, 1);
    EXPECT_TRUE(empty.Errors.contains("The desktop's Online Accounts gave no access token for Home."))
        << empty.Errors.toStdString();
    EXPECT_EQ(introspection.Asked, QList<QByteArray>({"goa-token"})) << "only the one login asked about its token";

    service.Remove(local.Id);
    const ProgramRun gone = check();
    EXPECT_EQ(gone.ExitCode, 1);
    EXPECT_TRUE(gone.Errors.contains("Sign in to Home again in the desktop's Online Accounts.")) << gone.Errors.toStdString();

    const ProgramRun signIn =
        RunServing(QStringLiteral(POSTWATCH_BINARY_DIR "/app/postwatch"), {u"--sign-in"_s, u"Home"_s}, environment);
    EXPECT_EQ(signIn.ExitCode, 1);
    EXPECT_TRUE(signIn.Errors.contains("Home signs in through the desktop: sign in there, in the desktop's Online Accounts."))
        << signIn.Errors.toStdString();
}
