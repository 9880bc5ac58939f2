#include "engine/SignInCommand.h"

#include "base/CleanText.h"
#include "config/AccountPassword.h"
#include "config/OAuthAccount.h"
#include "config/SecretStore.h"
#include "config/UserStore.h"
#include "platform/Browser.h"
#include "platform/DialUp.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {
// No browser at all still leaves the address to copy.
void openInBrowser(const QString& account, const QUrl& url)
{
    const QString address = url.toString(QUrl::FullyEncoded);
    QTextStream(stderr) << "Sign in to " << CleanedText(account) << " in the browser; if none opens, open this address:\n"
                        << address << Qt::endl;
    OpenInBrowser(url);
}
}

int RunSignInCommand(int argc, char** argv, const QString& account)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Postwatch"));
    try {
        const std::unique_ptr<TDialUp> systemDialUp = SystemDialUp();
        TDialUp& dialUp = *systemDialUp;
        const auto store = OpenUserStore(dialUp);
        const auto secrets = UseSecretStore(*store, UserStoreName(*store));
        SignInAccount(*store, account, [&account](const QUrl& url) { openInBrowser(account, url); });
        QTextStream(stdout) << "Signed in to " << CleanedText(account) << Qt::endl;
        return 0;
    } catch (const Exception& e) {
        QTextStream(stderr) << CleanedText(e.Message) << Qt::endl;
        return 1;
    }
}
