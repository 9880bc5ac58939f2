// A server whose certificate no authority vouches for: the user who started
// the check may trust it for the account; nobody is asked otherwise.

#include "EngineFixture.h"

namespace {

const QString Own = QStringLiteral("AB:CD:EF");

class CertificateTrust : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        AddAccount("Home", {FakeMessage(" Ann", " One")});
        client.SelfSigned["home.example.org"] = Own;
        Load();
    }

    QString StoredFingerprint()
    {
        TRegistry reg(store);
        reg.OpenKeyReadOnly(StoreKeys::Accounts + QStringLiteral("\\Home"));
        return reg.ValueExists("CertFingerprint") ? reg.ReadString("CertFingerprint") : QString();
    }

    const QString question = QStringLiteral("Certificate | The certificate of home.example.org cannot be trusted."
                                            "\n\nTrust this certificate for Home? | main | Yes/No");
};

}

// Asked once the check is over, so nothing waits on the answer; Yes checks
// again.
TEST_F(CertificateTrust, YesStoresTheFingerprintAndTheCheckGoesOnAndStaysTrusted)
{
    host.Answers = {true};
    CheckNow();
    EXPECT_TRUE(host.Boxes.isEmpty());
    EXPECT_FALSE(engine->EngineBusy());
    host.RunPosted();
    RunSteps();
    EXPECT_EQ(host.Boxes, QStringList{question});
    EXPECT_EQ(StoredFingerprint(), Own);
    EXPECT_EQ(Rows(), QStringList{"Home One #1"});
    EXPECT_TRUE(Errors.isEmpty());

    host.Boxes.clear();
    CheckNow();
    RunSteps();
    EXPECT_TRUE(host.Boxes.isEmpty()) << host.Boxes.join('\n').toStdString();
    EXPECT_EQ(Rows(), QStringList{"Home One #1"});
}

TEST_F(CertificateTrust, NoEndsTheCheckAsCanceledWithoutAnotherBox)
{
    host.Answers = {false};
    CheckNow();
    host.RunPosted();
    EXPECT_EQ(host.Boxes, QStringList{question});
    EXPECT_EQ(host.Panels[0], "Canceled");
    EXPECT_TRUE(StoredFingerprint().isEmpty());
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_FALSE(engine->EngineBusy());
}

TEST_F(CertificateTrust, ATimedCheckOnlyReports)
{
    settings.SetInterval(1);
    Tick();
    host.RunPosted();
    EXPECT_TRUE(host.Boxes.isEmpty());
    EXPECT_TRUE(Errors.isEmpty());
    EXPECT_EQ(host.Announced, QStringList{"Home: Certificate not trusted, " + At(10, 40)
                                          + " (The certificate of home.example.org cannot be trusted.)"});
    EXPECT_TRUE(StoredFingerprint().isEmpty());
}

TEST_F(CertificateTrust, TheAccountsSecurityReachesTheClientAndAnOldAccountStaysPlain)
{
    {
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::Accounts + QStringLiteral("\\Home"), false);
        reg.WriteInteger("Security", secTls);
        reg.WriteString("CertFingerprint", Own);
    }
    AddAccount("Work", {});
    Load();
    QStringList logins;
    client.Waiting = [&](const QString& command) {
        if (command.startsWith("USER "))
            logins << command + QStringLiteral(" security %1 pin %2").arg(client.Security).arg(client.CertFingerprint);
    };
    CheckNow();
    RunSteps();
    EXPECT_EQ(logins, (QStringList{"USER home security 2 pin AB:CD:EF", "USER work security 0 pin "}));
    EXPECT_TRUE(host.Boxes.isEmpty());
}

// A refused sign-in, on a check the user started, is a question after the
// check; --check and timed checks only tell "Sign in to Home again".
TEST_F(CertificateTrust, ARefusedSignInOffersToSignInAgain)
{
    client.SelfSigned.clear();
    Mailbox("Home").RefuseToken = true;
    {
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::Accounts + QStringLiteral("\\Home"), false);
        reg.WriteInteger("Auth", authOAuth2);
    }
    settings.SetInterval(1);
    Tick();
    EXPECT_EQ(host.Announced, QStringList{"Home: Sign in again, " + At(10, 40) + " (Sign in to Home again)"});
    CheckNow();
    host.RunPosted();
    EXPECT_EQ(host.Boxes, QStringList{"Sign In | home.example.org no longer accepts the sign-in of Home.\n\n"
                                      "Sign in to Home again now? | main | Yes/No"});
}

// Only the desktop can sign it in again: the user is told so, not asked.
TEST_F(CertificateTrust, ARefusedDesktopSignInIsToldNotAsked)
{
    client.SelfSigned.clear();
    Mailbox("Home").RefuseToken = true;
    {
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::Accounts + QStringLiteral("\\Home"), false);
        reg.WriteInteger("Auth", authDesktop);
    }
    CheckNow();
    host.RunPosted();
    RunSteps();
    EXPECT_TRUE(host.Boxes.isEmpty()) << host.Boxes.join('\n').toStdString();
    EXPECT_EQ(Errors, QStringList{"Sign in to Home again"});
}
