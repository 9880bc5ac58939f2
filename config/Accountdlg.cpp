#include "config/Accountdlg.h"

#include "base/Guard.h"
#include "config/AccountPassword.h"
#include "config/AccountText.h"
#include "config/Registry.h"
#include "config/ScramblePassword.h"
#include "config/SecretStore.h"
#include "config/StoreKeys.h"
#include "desktop/DialogFrame.h"
#include "desktop/ErrorLabel.h"
#include "desktop/HelpViewer.h"
#include "pop3/Certificate.h"
#include "pop3/Linesock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr int DefaultPort = 110;
constexpr int TlsPort = 995;
constexpr int MaxPort = 65535;

int DefaultPortFor(int security)
{
    return security == secTls ? TlsPort : DefaultPort;
}

QLineEdit* edit(const QString& name, int helpContext, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    SetHelpContext(field, helpContext);
    return field;
}

// Typed, as a port is read off a provider's page; the arrows still step.
QSpinBox* portField(QWidget* parent)
{
    auto* field = new QSpinBox(parent);
    field->setObjectName(u"spinPort"_s);
    field->setRange(1, MaxPort);
    field->setAccelerated(true);
    SetHelpContext(field, 203);
    return field;
}

QString requiredProblem(const QString& text, const QString& what)
{
    return text.isEmpty() ? u"The %1 is empty."_s.arg(what) : QString();
}

QString fingerprintProblem(const QString& text)
{
    if (text.trimmed().isEmpty() || !NormalFingerprint(text).isEmpty())
        return {};
    return u"The trusted certificate must be a SHA-256 fingerprint, 32 pairs of hex digits (0-9, A-F), or empty."_s;
}

}

TAccountForm::TAccountForm(RegistryStore& store, const QString& accountName, QWidget* parent)
    : QDialog(parent), IsNewAccount(accountName.isEmpty()), Store(store), OpenedName(accountName)
{
    setObjectName(u"AccountForm"_s);
    CreateControls();
    CreateButtons();
    SetDialogFrame(*this, IsNewAccount ? u"Add Account"_s : u"Edit Account"_s, QSize(298, 229));
    editAccName->setText(accountName);
    Guarded([this] { FormCreate(); });
}

void TAccountForm::CreateControls()
{
    editAccName = edit(u"editAccName"_s, 201, this);
    editAccName->setToolTip(u"An account name cannot contain a backslash or a line break."_s);
    editServer = edit(u"editServer"_s, 202, this);
    spinPort = portField(this);
    btnUseDef = new QPushButton(u"Use Default"_s, this);
    btnUseDef->setObjectName(u"btnUseDef"_s);
    btnUseDef->setAutoDefault(false);
    SetHelpContext(btnUseDef, 204);
    editUsername = edit(u"editUsername"_s, 205, this);
    editPassword = edit(u"editPassword"_s, 206, this);
    editPassword->setEchoMode(QLineEdit::Password);
    btnShowPassword = new QToolButton(this);
    btnShowPassword->setObjectName(u"btnShowPassword"_s);
    btnShowPassword->setText(u"Show"_s);
    btnShowPassword->setToolTip(u"Shows the password while the button is held down"_s);
    btnShowPassword->setFocusPolicy(Qt::NoFocus);
    CreateSecurityControls();
    lblError = new TErrorLabel(u"lblError"_s, 2, this);
    lblError->ClearOnEdit({editAccName, editServer, editUsername, editPassword, editCertFingerprint});
    connect(spinPort, &QSpinBox::textChanged, lblError, &QLabel::clear);

    auto* port = new QHBoxLayout;
    port->addWidget(spinPort);
    port->addWidget(cmbSecurity);
    port->addWidget(btnUseDef);
    port->addStretch();
    auto* password = new QHBoxLayout;
    password->addWidget(editPassword);
    password->addWidget(btnShowPassword);

    auto* form = new QFormLayout;
    form->addRow(u"Account Name"_s, editAccName);
    form->addRow(u"Server"_s, editServer);
    form->addRow(u"Port"_s, port);
    form->addRow(u"Username"_s, editUsername);
    form->addRow(u"Password"_s, password);
    form->addRow(u"Trusted certificate"_s, editCertFingerprint);
    form->addRow(QString(), chkQuickCheck);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lblError);
    layout->addStretch();

    connect(btnUseDef, &QPushButton::clicked, this, GuardedSlot([this] { btnUseDefClick(); }));
    connect(btnShowPassword, &QToolButton::pressed, this, [this] { editPassword->setEchoMode(QLineEdit::Normal); });
    connect(btnShowPassword, &QToolButton::released, this, [this] { editPassword->setEchoMode(QLineEdit::Password); });
}

void TAccountForm::CreateSecurityControls()
{
    cmbSecurity = new QComboBox(this);
    cmbSecurity->setObjectName(u"cmbSecurity"_s);
    cmbSecurity->addItems({u"None"_s, u"STARTTLS"_s, u"SSL/TLS"_s});
    cmbSecurity->setToolTip(u"How the connection to the server is secured"_s);
    SetHelpContext(cmbSecurity, 208);
    editCertFingerprint = edit(u"editCertFingerprint"_s, 209, this);
    chkQuickCheck = new QCheckBox(u"Remember messages already listed (faster checks)"_s, this);
    chkQuickCheck->setObjectName(u"chkQuickCheck"_s);
    chkQuickCheck->setChecked(true);
    SetHelpContext(chkQuickCheck, 210);
    editCertFingerprint->setPlaceholderText(u"SHA-256 fingerprint (optional)"_s);
    editCertFingerprint->setToolTip(
        u"Accepts exactly this certificate for the account, whoever signed it. Empty: the authorities this computer trusts decide."_s);
    connect(cmbSecurity, &QComboBox::currentIndexChanged, this,
            GuardedSlot([this](int index) { cmbSecurityChange(std::exchange(shownSecurity, index)); }));
}

void TAccountForm::CreateButtons()
{
    const TDialogButtons buttons = CreateDialogButtons(*this, u"OK"_s, u"btnOK"_s, true);
    btnOK = buttons.Accept;
    btnCancel = buttons.Cancel;
    btnHelp = buttons.Help;
    layout()->addWidget(buttons.Box);
    QWidget* const order[] = {editAccName, editServer, spinPort, cmbSecurity, btnUseDef, editUsername,
                              editPassword, editCertFingerprint, chkQuickCheck, btnOK, btnCancel, btnHelp};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(btnOK, &QPushButton::clicked, this, GuardedSlot([this] { btnOKClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp, &QPushButton::clicked, this, GuardedSlot([this] { btnHelpClick(); }));
}

// Editing completes the account's values with their defaults in the store,
// even when the user then cancels. A new account starts secured: a password
// crosses the network in the clear only when the user chooses so.
void TAccountForm::FormCreate()
{
    cmbSecurity->setCurrentIndex(secTls);
    spinPort->setValue(TlsPort);
    if (IsNewAccount)
        return;
    TRegistry reg(Store);
    reg.OpenKey(StoreKeys::Accounts + u'\\' + editAccName->text(), true);
    const auto completed = [&reg](const QString& name, auto write) {
        if (!reg.ValueExists(name))
            write(name);
        return name;
    };
    const auto emptyText = [&reg](const QString& name) { reg.WriteString(name, {}); };
    editServer->setText(reg.ReadString(completed(u"Server"_s, emptyText)));
    editUsername->setText(reg.ReadString(completed(u"Username"_s, emptyText)));
    const int port = reg.ReadInteger(completed(u"Port"_s, [&reg](const QString& name) { reg.WriteInteger(name, DefaultPort); }));
    WasSelected = reg.ReadBool(completed(u"Selected"_s, [&reg](const QString& name) { reg.WriteBool(name, true); }));
    ReadSecurity(reg);
    spinPort->setValue(std::clamp(port, 1, MaxPort));
    ReadPassword(reg);
    reg.CloseKey();
}

// Last, as the secret store may take its time or fail. With a store, an
// empty Password value would stand in front of the secret.
void TAccountForm::ReadPassword(TRegistry& reg)
{
    if (!Store.Secrets && !reg.ValueExists(u"Password"_s))
        reg.WriteString(u"Password"_s, {});
    editPassword->setText(StoredPassword(reg, Store, editAccName->text(), true));
}

// An account without the value predates secure connections: it stays in
// the clear until the user changes it.
void TAccountForm::ReadSecurity(TRegistry& reg)
{
    const int security = reg.ValueExists(u"Security"_s) ? reg.ReadInteger(u"Security"_s) : int(secNone);
    cmbSecurity->setCurrentIndex(std::clamp(security, int(secNone), int(secTls)));
    if (reg.ValueExists(u"CertFingerprint"_s))
        editCertFingerprint->setText(reg.ReadString(u"CertFingerprint"_s));
    chkQuickCheck->setChecked(!reg.ValueExists(u"QuickCheck"_s) || reg.ReadInteger(u"QuickCheck"_s) != 0);
}

void TAccountForm::btnUseDefClick()
{
    spinPort->setValue(DefaultPortFor(cmbSecurity->currentIndex()));
}

// A port left at the usual one for the old choice follows to the new one's.
void TAccountForm::cmbSecurityChange(int previous)
{
    if (spinPort->value() == DefaultPortFor(previous))
        btnUseDefClick();
}

void TAccountForm::btnOKClick()
{
    if (const auto [field, why] = FirstProblem(); field) {
        lblError->Refuse(field, why);
        return;
    }
    WriteAccount();
    accept();
}

// A password is taken as typed: blanks may be part of it.
std::pair<QWidget*, QString> TAccountForm::FirstProblem() const
{
    const std::pair<QWidget*, QString> checks[] = {
        {editAccName, AccountNameProblem(editAccName->text())},
        {editServer, AccountServerProblem(editServer->text())},
        {spinPort, spinPort->hasAcceptableInput() ? QString() : u"The port must be a number from 1 to 65535."_s},
        {editUsername, requiredProblem(AccountText(editUsername->text()), u"username"_s)},
        {editPassword, requiredProblem(editPassword->text(), u"password"_s)},
        {editCertFingerprint, fingerprintProblem(editCertFingerprint->text())},
    };
    for (const auto& check : checks) {
        if (!check.second.isEmpty())
            return check;
    }
    return {};
}

// An account stored before names were trimmed moves to its trimmed name
// instead of being doubled by it.
//
// The secret is stored first, so a secret store that fails leaves the
// account as it was; an account replaced under another name (blanks, case)
// takes its secret along.
void TAccountForm::WriteAccount()
{
    const QString name = AccountText(editAccName->text());
    if (Store.Secrets)
        Store.Secrets->Write(name, editPassword->text());
    TRegistry reg(Store);
    reg.OpenKey(StoreKeys::Accounts, true);
    QStringList replaced;
    const auto replace = [&reg, &replaced](const QString& key) {
        for (const QString& stored : reg.GetKeyNames()) {
            if (stored.compare(key, Qt::CaseInsensitive) == 0 && !replaced.contains(stored))
                replaced << stored;
        }
        if (reg.KeyExists(key))
            reg.DeleteKey(key);
    };
    replace(name);
    if (AccountText(OpenedName) == name)
        replace(OpenedName);
    reg.CloseKey();
    reg.OpenKey(StoreKeys::Accounts + u'\\' + name, true);
    reg.WriteString(u"Server"_s, AccountText(editServer->text()));
    reg.WriteString(u"Username"_s, AccountText(editUsername->text()));
    if (!Store.Secrets)
        reg.WriteString(u"Password"_s, ScramblePassword(editPassword->text()));
    reg.WriteInteger(u"Port"_s, spinPort->value());
    reg.WriteBool(u"Selected"_s, IsNewAccount || WasSelected);
    reg.WriteInteger(u"Security"_s, cmbSecurity->currentIndex());
    reg.WriteInteger(u"QuickCheck"_s, chkQuickCheck->isChecked() ? 1 : 0);
    const QString fingerprint = NormalFingerprint(editCertFingerprint->text());
    if (!fingerprint.isEmpty())
        reg.WriteString(u"CertFingerprint"_s, fingerprint);
    reg.CloseKey();
    for (const QString& old : replaced) {
        if (old != name)
            RemoveAccountPassword(Store, old);
    }
}

void TAccountForm::btnHelpClick()
{
    ShowHelpContext(IsNewAccount ? 343 : 344);
}
