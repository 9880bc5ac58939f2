// Secure connections to the run's Dovecot, whose certificate for
// "localhost" no authority signed: it is refused until the account trusts
// its fingerprint, or a test makes it an authority of its own.
#include "pop3/Certificate.h"
#include "pop3/Pop3client.h"
#include "tests/support/TestDovecot.h"

#include <QRegularExpression>
#include <QSslConfiguration>
#include <gtest/gtest.h>

namespace {

class tlsDovecot : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_GT(DovecotTlsPort(), 0) << "no Dovecot with TLS started for this run in " PW_POP3_SERVER_DIR;
        ASSERT_FALSE(DovecotCertificate().isNull());
        client.Host = "localhost";
        client.TimeOut = 10000;
    }

    void Use(int security, const QString& user)
    {
        client.Security = security;
        client.Port = security == secTls ? DovecotTlsPort() : DovecotPort();
        client.UserID = user;
        client.Password = "pw-" + user;
    }

    // The server's log line of this user's login, empty when there was none.
    static QString Login(const QString& user)
    {
        const QRegularExpression line("Login: user=<" + QRegularExpression::escape(user) + ">[^\n]*");
        return line.match(QString::fromUtf8(DovecotLog())).captured();
    }

    QString Refusal()
    {
        try {
            client.Connect();
        } catch (const ECertificateError& error) {
            EXPECT_EQ(error.Fingerprint, Fingerprint(DovecotCertificate()));
            return error.Message;
        }
        return {};
    }

    TPop3Client client;
};

// The user pastes what `openssl x509 -fingerprint -sha256` prints.
QString PastedFingerprint()
{
    return "sha256 Fingerprint=" + Fingerprint(DovecotCertificate()).toLower();
}

}

TEST_F(tlsDovecot, BothWaysLogInSecuredWithTheTrustedFingerprint)
{
    for (const auto& [security, user] : {std::pair{secTls, "tls-implicit"}, {secStartTls, "tls-starttls"}}) {
        Use(security, user);
        client.CertFingerprint = PastedFingerprint();
        client.Connect();
        EXPECT_EQ(client.MessageCount, 2) << user;
        client.RetrieveSummary(2);
        EXPECT_TRUE(client.Summary.Subject.contains("K")) << user;
        client.Disconnect();
        EXPECT_TRUE(Login(user).contains(", TLS")) << Login(user).toStdString();
    }
}

TEST_F(tlsDovecot, AnUntrustedOrOtherCertificateIsRefusedBeforeTheLogin)
{
    const QString fingerprint = "\nSHA-256 fingerprint: " + Fingerprint(DovecotCertificate());
    for (int security : {secTls, secStartTls}) {
        Use(security, "tls-untrusted");
        client.CertFingerprint.clear();
        EXPECT_EQ(Refusal(), "The certificate of localhost cannot be trusted: it is not signed by an authority this "
                             "computer trusts." + fingerprint);
        client.CertFingerprint = QString(64, u'0');
        EXPECT_EQ(Refusal(), "The certificate of localhost is not the one trusted for this account." + fingerprint)
            << "the account trusts another certificate, which no authority signed either";
        EXPECT_FALSE(client.Connected);
        EXPECT_FALSE(client.Busy);
    }
    EXPECT_TRUE(Login("tls-untrusted").isEmpty());
    // The client closes inside the handshake, before the session could carry a command.
    EXPECT_TRUE(DovecotLog().contains("(no auth attempts in 0 secs): user=<>, rip=127.0.0.1, lip=127.0.0.1, TLS handshaking: Connection closed"));
}

// With the certificate made an authority, the chain decides alone: the name
// must match, and a fingerprint of another certificate still refuses it.
TEST_F(tlsDovecot, AnAuthoritysCertificateNeedsTheRightNameAndNoPin)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificate(DovecotCertificate());
    QSslConfiguration::setDefaultConfiguration(configuration);
    TPop3Client trusting;
    trusting.Host = "localhost";
    trusting.TimeOut = 10000;
    trusting.Security = secTls;
    trusting.Port = DovecotTlsPort();
    trusting.UserID = "tls-authority";
    trusting.Password = "pw-tls-authority";
    trusting.Connect();
    EXPECT_EQ(trusting.MessageCount, 2);
    trusting.Disconnect();

    trusting.Host = "127.0.0.1";
    try {
        trusting.Connect();
        ADD_FAILURE() << "connected to a certificate issued for another name";
    } catch (const ECertificateError& error) {
        EXPECT_TRUE(error.Message.startsWith("The certificate of 127.0.0.1 cannot be trusted: it was issued for "
                                             "localhost, not for 127.0.0.1.\nSHA-256 fingerprint: "));
    }
    trusting.Host = "localhost";
    trusting.CertFingerprint = QString(64, u'A');
    try {
        trusting.Connect();
        ADD_FAILURE() << "connected to a certificate other than the trusted one";
    } catch (const ECertificateError& error) {
        EXPECT_TRUE(error.Message.startsWith("The certificate of localhost is not the one trusted for this account."));
    }
}
