#include "platform/DesktopAccounts.h"

#include "base/Exception.h"

using namespace Qt::StringLiterals;

// Windows keeps no online accounts that hand programs tokens: the choice is
// never offered, and an account that names one (a settings file brought
// over from Linux) is told so.

bool DesktopAccounts::Offered() const
{
    return false;
}

QList<TDesktopAccount> DesktopAccounts::MailAccounts() const
{
    return {};
}

TDesktopToken DesktopAccounts::Token(const QString&, const QString& account) const
{
    throw Exception(u"%1 signs in through the desktop's Online Accounts, which Windows does not have."_s.arg(account));
}
