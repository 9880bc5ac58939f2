#include "config/Accountdlg.h"

#include "base/Guard.h"
#include "config/Registry.h"
#include "config/ScramblePassword.h"
#include "config/StoreKeys.h"
#include "desktop/Beep.h"
#include "desktop/DialogFrame.h"
#include "desktop/HelpViewer.h"
#include "desktop/SpinField.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int DefaultPort = 110;
constexpr int MaxPort = 65535;

QLineEdit* edit(const QString& name, int helpContext, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    SetHelpContext(field, helpContext);
    return field;
}

// A backslash would make a nested key, and a line break a key the settings
// file cannot store.
bool IsUsableAccountName(const QString& name)
{
    return !name.contains(u'\\') && !name.contains(u'\n') && !name.contains(u'\r');
}

}

TAccountForm::TAccountForm(RegistryStore& store, const QString& accountName, QWidget* parent)
    : QDialog(parent), IsNewAccount(accountName.isEmpty()), Store(store)
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
    spinPort = new TSpinField(u"spinPort"_s, 1, MaxPort, this);
    SetHelpContext(spinPort, 203);
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

    auto* port = new QHBoxLayout;
    port->addWidget(spinPort);
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
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();

    connect(btnUseDef, &QPushButton::clicked, this, GuardedSlot([this] { btnUseDefClick(); }));
    connect(btnShowPassword, &QToolButton::pressed, this, [this] { editPassword->setEchoMode(QLineEdit::Normal); });
    connect(btnShowPassword, &QToolButton::released, this, [this] { editPassword->setEchoMode(QLineEdit::Password); });
}

void TAccountForm::CreateButtons()
{
    const TDialogButtons buttons = CreateDialogButtons(*this, u"OK"_s, u"btnOK"_s, true);
    btnOK = buttons.Accept;
    btnCancel = buttons.Cancel;
    btnHelp = buttons.Help;
    layout()->addWidget(buttons.Box);
    QWidget* const order[] = {editAccName, editServer, spinPort, btnUseDef, editUsername,
                              editPassword, btnOK, btnCancel, btnHelp};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(btnOK, &QPushButton::clicked, this, GuardedSlot([this] { btnOKClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp, &QPushButton::clicked, this, GuardedSlot([this] { btnHelpClick(); }));
}

// Editing completes the account's values with their defaults in the store,
// even when the user then cancels.
void TAccountForm::FormCreate()
{
    spinPort->setValue(DefaultPort);
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
    spinPort->setValue(std::clamp(port, 1, MaxPort));
    editPassword->setText(ScramblePassword(reg.ReadString(completed(u"Password"_s, emptyText))));
    WasSelected = reg.ReadBool(completed(u"Selected"_s, [&reg](const QString& name) { reg.WriteBool(name, true); }));
    reg.CloseKey();
}

void TAccountForm::btnUseDefClick()
{
    spinPort->setValue(DefaultPort);
}

void TAccountForm::btnOKClick()
{
    if (!FieldsComplete()) {
        Beep();
        return;
    }
    WriteAccount();
    accept();
}

bool TAccountForm::FieldsComplete() const
{
    const QLineEdit* required[] = {editAccName, editServer, editUsername, editPassword};
    return IsUsableAccountName(editAccName->text())
           && std::none_of(std::begin(required), std::end(required), [](const QLineEdit* field) { return field->text().isEmpty(); });
}

void TAccountForm::WriteAccount()
{
    const QString name = editAccName->text();
    TRegistry reg(Store);
    reg.OpenKey(StoreKeys::Accounts, true);
    if (reg.KeyExists(name))
        reg.DeleteKey(name);
    reg.CloseKey();
    reg.OpenKey(StoreKeys::Accounts + u'\\' + name, true);
    reg.WriteString(u"Server"_s, editServer->text());
    reg.WriteString(u"Username"_s, editUsername->text());
    reg.WriteString(u"Password"_s, ScramblePassword(editPassword->text()));
    reg.WriteInteger(u"Port"_s, spinPort->value());
    reg.WriteBool(u"Selected"_s, IsNewAccount || WasSelected);
    reg.CloseKey();
}

void TAccountForm::btnHelpClick()
{
    ShowHelpContext(IsNewAccount ? 343 : 344);
}
