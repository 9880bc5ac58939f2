// Pictures of the account dialog for the README, one per sign-in choice and
// one of an IMAP account:
//   QT_QPA_PLATFORM=offscreen build/tools/postwatch-account-shots docs
#include "config/RegistryStore.h"
#include "dialogs/Accountdlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTextStream>

namespace {
void save(TAccountForm& form, const QString& path)
{
    form.show();
    if (!form.grab().save(path))
        QTextStream(stderr) << "cannot write " << path << Qt::endl;
}
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QDir docs(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
    MemoryStore store;

    TAccountForm password(store);
    password.editAccName->setText(QStringLiteral("Home"));
    password.editServer->setText(QStringLiteral("pop.gmx.net"));
    password.editUsername->setText(QStringLiteral("ann@gmx.net"));
    password.editPassword->setText(QStringLiteral("not the real one"));
    save(password, docs.filePath(QStringLiteral("account-dialog.png")));

    TAccountForm imap(store);
    imap.editAccName->setText(QStringLiteral("Home"));
    imap.cmbProtocol->setCurrentText(QStringLiteral("IMAP"));
    imap.editServer->setText(QStringLiteral("imap.gmx.net"));
    imap.editUsername->setText(QStringLiteral("ann@gmx.net"));
    imap.editPassword->setText(QStringLiteral("not the real one"));
    save(imap, docs.filePath(QStringLiteral("account-dialog-imap.png")));

    TAccountForm google(store);
    google.editAccName->setText(QStringLiteral("Gmail"));
    google.cmbSignIn->setCurrentText(QStringLiteral("Google"));
    google.editUsername->setText(QStringLiteral("ann@gmail.com"));
    google.editClientId->setText(QStringLiteral("123456789012-abcdefg.apps.googleusercontent.com"));
    google.editClientSecret->setText(QStringLiteral("GOCSPX-given-with-the-client"));
    save(google, docs.filePath(QStringLiteral("account-dialog-google.png")));

    TAccountForm other(store);
    other.editAccName->setText(QStringLiteral("Work"));
    other.cmbSignIn->setCurrentText(QStringLiteral("Other"));
    other.editServer->setText(QStringLiteral("pop.example.com"));
    other.editUsername->setText(QStringLiteral("ann@example.com"));
    other.editAuthorizeUrl->setText(QStringLiteral("https://login.example.com/oauth2/authorize"));
    other.editTokenUrl->setText(QStringLiteral("https://login.example.com/oauth2/token"));
    other.editScope->setText(QStringLiteral("pop offline_access"));
    other.editClientId->setText(QStringLiteral("postwatch-desktop"));
    save(other, docs.filePath(QStringLiteral("account-dialog-other.png")));
    return 0;
}
