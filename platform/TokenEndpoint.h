#pragma once

#include "base/Exception.h"
#include "platform/FormEncoding.h"

#include <QUrl>

struct TTokens
{
    QString AccessToken;
    QString RefreshToken; // empty when the provider keeps the one it gave before
    int ExpiresIn = 0;    // seconds
};

// The provider said no in its own words (RFC 6749's error reply).
class EProviderRefusal : public Exception
{
public:
    EProviderRefusal(const QString& message, QString error) : Exception(message), Error(std::move(error)) {}

    QString Error; // "invalid_grant" and the like
};

// The provider's token address: one form POSTed to it, its JSON reply read.
// Every failure is an Exception that names the account.
class TTokenEndpoint
{
public:
    TTokenEndpoint(QUrl url, QString account) : url(std::move(url)), account(std::move(account)) {}

    int TimeOut = 30000;

    TTokens Post(const FormFields& form) const;

private:
    TTokens tokensOf(int status, const QByteArray& body) const;
    Exception failure(const QString& what) const;

    QUrl url;
    QString account;
};
