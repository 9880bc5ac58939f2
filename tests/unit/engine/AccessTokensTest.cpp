#include "engine/AccessTokens.h"

#include "config/OAuthAccount.h"
#include "tests/support/OAuthProvider.h"
#include "tests/support/TestAccounts.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace {
class AccessTokens : public ::testing::Test
{
protected:
    void AddAccount(const TestProvider& provider, const QString& refreshToken)
    {
        StoreAccount(store, "Home", "127.0.0.1", 995, "ann", "");
        TOAuthAccount{"Home", authOAuth2, provider.Provider()}.Write(store);
        if (!refreshToken.isEmpty())
            StoreRefreshToken(store, "Home", refreshToken);
    }

    QString failureOf(const QString& account)
    {
        try {
            tokens.For(account);
        } catch (const ESignInAgain& e) {
            return e.Message;
        }
        return "no request to sign in";
    }

    MemoryStore store;
    TAccessTokens tokens{store};
};
}

// The provider retires a refresh token when it hands out the next: a new one
// not kept would leave the account unable to log in again.
TEST_F(AccessTokens, AreKeptUntilForgottenAndTheNewRefreshTokenIsKept)
{
    TestProvider provider({"--refresh-token", "rt-first"});
    AddAccount(provider, "rt-first");

    const QString first = tokens.For("Home");
    EXPECT_TRUE(provider.IsActive(first));
    EXPECT_EQ(tokens.For("Home"), first);
    EXPECT_NE(ReadRefreshToken(store, "Home"), "rt-first");

    tokens.Forget("Home");
    const QString second = tokens.For("Home");
    EXPECT_TRUE(provider.IsActive(second));
    EXPECT_NE(second, first);
}

TEST_F(AccessTokens, OneAboutToExpireIsRefreshedBeforeTheLogin)
{
    TestProvider provider({"--refresh-token", "rt-first", "--expires-in", "30"});
    AddAccount(provider, "rt-first");

    const QString first = tokens.For("Home");
    EXPECT_NE(tokens.For("Home"), first);
}

TEST_F(AccessTokens, AnExpiredOrMissingSignInAsksForANewOneAndLosesNothing)
{
    TestProvider provider({"--refresh-token", "rt-old", "--expired-refresh"});
    AddAccount(provider, "rt-old");
    EXPECT_TRUE(failureOf("Home").startsWith("Sign in to Home again")) << failureOf("Home").toStdString();
    EXPECT_EQ(ReadRefreshToken(store, "Home"), "rt-old");

    StoreAccount(store, "Work", "127.0.0.1", 995, "bob", "");
    TOAuthAccount{"Work", authOAuth2, provider.Provider()}.Write(store);
    EXPECT_TRUE(failureOf("Work").startsWith("Sign in to Work first")) << failureOf("Work").toStdString();
}

// A token serves the sign-in it was given for: an account deleted and made
// again under the name, on another server or the same, has to sign in.
TEST_F(AccessTokens, AnAccountMadeAgainDoesNotGetTheOldOnesToken)
{
    TestProvider provider({"--refresh-token", "rt-first"});
    AddAccount(provider, "rt-first");
    tokens.For("Home");

    for (const char* server : {"pop.example.org", "127.0.0.1"}) {
        TRegistry(store).DeleteKey(StoreKeys::Accounts + "\\Home");
        StoreAccount(store, "Home", server, 995, "ann", "");
        TOAuthAccount{"Home", authOAuth2, provider.Provider()}.Write(store);
        EXPECT_TRUE(failureOf("Home").startsWith("Sign in to Home first")) << server;
    }
}

TEST_F(AccessTokens, AnAccountEditedWhileTheProviderAnswersDoesNotGetWhatItGave)
{
    TestProvider provider({"--refresh-token", "rt-first"});
    AddAccount(provider, "rt-first");
    QTimer::singleShot(0, [this] { StoreAccount(store, "Home", "pop.example.org", 995, "ann", ""); });

    EXPECT_THROW(tokens.For("Home"), Exception);
    EXPECT_EQ(ReadRefreshToken(store, "Home"), "rt-first");
}
