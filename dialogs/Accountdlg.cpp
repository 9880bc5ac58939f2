#include "dialogs/Accountdlg.h"

#include "base/CleanText.h"
#include "base/Guard.h"
#include "base/Security.h"
#include "config/AccountPassword.h"
#include "config/AccountRecord.h"
#include "config/AccountText.h"
#include "config/AccountVoice.h"
#include "config/OAuthAccount.h"
#include "config/Registry.h"
#include "config/ScramblePassword.h"
#include "config/SecretStore.h"
#include "config/StoreError.h"
#include "config/StoreKeys.h"
#include "pop3/Certificate.h"
#include "pop3/TokenLogin.h"
#include "widgets/DialogFrame.h"
#include "widgets/ErrorLabel.h"
#include "widgets/HelpViewer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr int MaxPort = 65535;
constexpr QSize DesignedSize(298, 229);
constexpr int AccountPage = 0;
constexpr int VoicePage = 1;
constexpr int VoiceHelpTopic = 215;

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

QString addressProblem(const QString& text, const QString& what)
{
    if (text.trimmed().isEmpty())
        return u"The %1 is empty."_s.arg(what);
    if (!IsSafeOAuthAddress(QUrl(text.trimmed())))
        return u"The %1 must be an https:// address."_s.arg(what);
    return {};
}

// What a new account's own ways start from: the general options as last
// stored; none where they cannot be read.
TAccountVoice storedGeneralVoice(RegistryStore& store)
{
    try {
        TRegistry reg(store);
        if (reg.OpenKeyReadOnly(StoreKeys::Program))
            return TAccountVoice::Read(reg).value_or(TAccountVoice());
    } catch (const EStoreError&) {
    }
    return {};
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
    CreateVoiceTab();
    SetDialogFrame(*this, IsNewAccount ? u"Add Account"_s : u"Edit Account"_s, DesignedSize);
    editAccName->setText(accountName);
    Guarded([this] { FormCreate(); });
    ReadVoice();
    ShowSignInRows();
    EnableProtocolFields();
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
    CreateProtocolControls();
    CreateSignInControls();
    lblError = new TErrorLabel(u"lblError"_s, 2, this);
    lblError->ClearOnEdit({editAccName, editServer, editUsername, editPassword, editFolder, editCertFingerprint,
                           editClientId, editClientSecret, editAuthorizeUrl, editTokenUrl, editScope});
    connect(spinPort, &QSpinBox::textChanged, lblError, &QLabel::clear);
    connect(cmbSecurity, &QComboBox::currentIndexChanged, lblError, &QLabel::clear);
    connect(cmbProtocol, &QComboBox::currentIndexChanged, lblError, &QLabel::clear);

    auto* port = new QHBoxLayout;
    port->addWidget(spinPort);
    port->addWidget(cmbSecurity);
    port->addWidget(btnUseDef);
    port->addStretch();
    passwordRow = new QHBoxLayout;
    passwordRow->addWidget(editPassword);
    passwordRow->addWidget(btnShowPassword);

    form = new QFormLayout;
    form->addRow(u"Account Name"_s, editAccName);
    form->addRow(u"Protocol"_s, cmbProtocol);
    form->addRow(u"Sign-in"_s, cmbSignIn);
    form->addRow(u"Server"_s, editServer);
    form->addRow(u"Port"_s, port);
    form->addRow(u"Username"_s, editUsername);
    form->addRow(u"Password"_s, passwordRow);
    AddSignInRows();
    form->addRow(u"Folder"_s, editFolder);
    form->addRow(u"Trusted certificate"_s, editCertFingerprint);
    form->addRow(QString(), chkQuickCheck);
    auto* accountPage = new QWidget;
    accountPage->setObjectName(u"TabAccount"_s);
    auto* pageLayout = new QVBoxLayout(accountPage);
    pageLayout->addLayout(form);
    pageLayout->addStretch();
    AccountPages = new QTabWidget(this);
    AccountPages->setObjectName(u"AccountPages"_s);
    AccountPages->addTab(accountPage, u"Account"_s);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(AccountPages);
    layout->addWidget(lblError);

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

void TAccountForm::CreateProtocolControls()
{
    cmbProtocol = new QComboBox(this);
    cmbProtocol->setObjectName(u"cmbProtocol"_s);
    cmbProtocol->addItems({TAccountRecord::DefaultProtocol, TAccountRecord::ImapProtocol});
    cmbProtocol->setToolTip(u"POP3 lists what waits on the server; IMAP the unread mail of a folder, told as it arrives"_s);
    SetHelpContext(cmbProtocol, 213);
    shownProtocol = cmbProtocol->currentText();
    editFolder = edit(u"editFolder"_s, 214, this);
    editFolder->setText(TAccountRecord::DefaultFolder);
    editFolder->setToolTip(u"The IMAP folder whose unread mail is listed"_s);
    connect(cmbProtocol, &QComboBox::currentTextChanged, this,
            GuardedSlot([this](const QString& text) { cmbProtocolChange(std::exchange(shownProtocol, text)); }));
}

void TAccountForm::CreateSignInControls()
{
    cmbSignIn = new QComboBox(this);
    cmbSignIn->setObjectName(u"cmbSignIn"_s);
    cmbSignIn->addItem(u"Password"_s);
    for (const TOAuthPreset& preset : OAuthPresets())
        cmbSignIn->addItem(preset.Name);
    cmbSignIn->addItem(u"Other"_s);
    OfferDesktop();
    cmbSignIn->setToolTip(u"How the account logs in: with its password, or signed in through its provider in the browser"_s);
    SetHelpContext(cmbSignIn, 211);
    editClientId = edit(u"editClientId"_s, 211, this);
    editClientSecret = edit(u"editClientSecret"_s, 211, this);
    editClientSecret->setPlaceholderText(u"only where the provider gave one"_s);
    editAuthorizeUrl = edit(u"editAuthorizeUrl"_s, 211, this);
    editTokenUrl = edit(u"editTokenUrl"_s, 211, this);
    editScope = edit(u"editScope"_s, 211, this);
    btnSignIn = new QPushButton(u"Sign in..."_s, this);
    btnSignIn->setObjectName(u"btnSignIn"_s);
    btnSignIn->setAutoDefault(false);
    SetHelpContext(btnSignIn, 212);
    lblSignIn = new QLabel(this);
    lblSignIn->setObjectName(u"lblSignIn"_s);
    lblSignIn->setWordWrap(true);
    lblSignIn->setTextFormat(Qt::PlainText);
    connect(cmbSignIn, &QComboBox::currentIndexChanged, this, GuardedSlot([this](int index) { cmbSignInChange(index); }));
    connect(btnSignIn, &QPushButton::clicked, this, GuardedSlot([this] { btnSignInClick(); }));
    CreateDesktopControls();
}

void TAccountForm::CreateDesktopControls()
{
    cmbDesktopAccount = new QComboBox(this);
    cmbDesktopAccount->setObjectName(u"cmbDesktopAccount"_s);
    cmbDesktopAccount->setToolTip(u"The mail account the desktop keeps signed in; it hands out the sign-in at each check"_s);
    SetHelpContext(cmbDesktopAccount, 211);
    lblDesktop = new QLabel(this);
    lblDesktop->setObjectName(u"lblDesktop"_s);
    lblDesktop->setWordWrap(true);
    lblDesktop->setTextFormat(Qt::PlainText);
    connect(cmbDesktopAccount, &QComboBox::currentIndexChanged, this,
            GuardedSlot([this](int index) { cmbDesktopAccountChange(index); }));
}

// Asked once, as the dialog opens: the bus answers at once, a missing
// service within the time-out.
void TAccountForm::OfferDesktop()
{
    if (desktop.Offered())
        cmbSignIn->addItem(u"From the desktop (GNOME Online Accounts)"_s);
}

void TAccountForm::AddSignInRows()
{
    signInRow = new QHBoxLayout;
    signInRow->addWidget(btnSignIn);
    signInRow->addWidget(lblSignIn, 1);
    form->addRow(u"Desktop account"_s, cmbDesktopAccount);
    // Qt 6.4's form layout reads past its rows when a hidden row's own
    // widget wraps its words; a layout between them keeps it apart.
    desktopNoteRow = new QHBoxLayout;
    desktopNoteRow->addWidget(lblDesktop);
    form->addRow(QString(), desktopNoteRow);
    form->addRow(u"Sign-in address"_s, editAuthorizeUrl);
    form->addRow(u"Token address"_s, editTokenUrl);
    form->addRow(u"Scope"_s, editScope);
    form->addRow(u"Client id"_s, editClientId);
    form->addRow(u"Client secret"_s, editClientSecret);
    form->addRow(QString(), signInRow);
}

int TAccountForm::OtherIndex() const
{
    return int(OAuthPresets().size()) + 1;
}

int TAccountForm::DesktopIndex() const
{
    return OtherIndex() + 1;
}

bool TAccountForm::ShowsProviderSignIn() const
{
    const int index = cmbSignIn->currentIndex();
    return index > 0 && index <= OtherIndex();
}

bool TAccountForm::ShowsDesktop() const
{
    return cmbSignIn->currentIndex() == DesktopIndex();
}

int TAccountForm::ShownAuth() const
{
    return ShowsDesktop() ? authDesktop : ShowsProviderSignIn() ? authOAuth2 : authPassword;
}

void TAccountForm::ShowSignInRows()
{
    const int index = cmbSignIn->currentIndex();
    const bool other = index == OtherIndex();
    const TOAuthPreset* preset = ChosenPreset();
    const bool hasSecret = other || (preset && preset->TakesClientSecret);
    form->setRowVisible(passwordRow, index == 0);
    for (QWidget* field : {editAuthorizeUrl, editTokenUrl, editScope})
        form->setRowVisible(field, other);
    form->setRowVisible(editClientId, ShowsProviderSignIn());
    form->setRowVisible(editClientSecret, hasSecret);
    form->setRowVisible(signInRow, ShowsProviderSignIn());
    form->setRowVisible(cmbDesktopAccount, ShowsDesktop());
    form->setRowVisible(desktopNoteRow, ShowsDesktop() && !lblDesktop->text().isEmpty());
    layout()->activate();
    setFixedSize(DesignedSize.expandedTo(minimumSizeHint()));
}

// IMAP's server keeps what it listed by its own ids, so POP3's choice to
// remember messages has nothing to say there. Greyed, not hidden: the
// dialog keeps its size when the protocol changes.
void TAccountForm::EnableProtocolFields()
{
    editFolder->setEnabled(ShowsImap());
    chkQuickCheck->setEnabled(!ShowsImap());
}

QString TAccountForm::ShownProtocol() const
{
    return cmbProtocol->currentText();
}

bool TAccountForm::ShowsImap() const
{
    return TAccountRecord::IsImap(ShownProtocol());
}

const TOAuthPreset* TAccountForm::ChosenPreset() const
{
    const int index = cmbSignIn->currentIndex();
    return index > 0 && index < OtherIndex() ? &OAuthPresets().at(index - 1) : nullptr;
}

// The port and a preset's server follow while they are what the old protocol
// had; a preset's scope always does, as the provider grants each on its own.
void TAccountForm::cmbProtocolChange(const QString& previous)
{
    const int security = cmbSecurity->currentIndex();
    if (spinPort->value() == DefaultPort(previous, security))
        btnUseDefClick();
    if (const TOAuthPreset* preset = ChosenPreset()) {
        if (AccountText(editServer->text()) == preset->MailboxFor(previous).Server)
            editServer->setText(preset->MailboxFor(ShownProtocol()).Server);
        editScope->setText(preset->MailboxFor(ShownProtocol()).Scope);
    }
    EnableProtocolFields();
}

// A preset brings its server and its values; a client id typed for another
// provider would not serve, so the build's own (or none) replaces it.
void TAccountForm::cmbSignInChange(int)
{
    if (const TOAuthPreset* preset = ChosenPreset()) {
        const TOAuthProvider provider = preset->ProviderFor(ShownProtocol());
        editServer->setText(preset->MailboxFor(ShownProtocol()).Server);
        cmbSecurity->setCurrentIndex(preset->Security);
        spinPort->setValue(preset->PortFor(ShownProtocol()));
        editAuthorizeUrl->setText(provider.AuthorizeUrl.toString());
        editTokenUrl->setText(provider.TokenUrl.toString());
        editScope->setText(provider.Scope);
        editClientId->setText(provider.ClientId);
        editClientSecret->setText(provider.ClientSecret);
    }
    if (ShowsDesktop() && !desktopListed)
        ListDesktopAccounts({});
    if (ShowsDesktop())
        cmbDesktopAccountChange(cmbDesktopAccount->currentIndex());
    lblSignIn->clear();
    lblError->clear();
    ShowSignInRows();
}

// The desktop's account brings its IMAP server and user name.
void TAccountForm::cmbDesktopAccountChange(int index)
{
    lblError->clear();
    const QString id = cmbDesktopAccount->itemData(index).toString();
    const auto account = std::find_if(desktopAccounts.cbegin(), desktopAccounts.cend(),
                                      [&id](const TDesktopAccount& a) { return a.Id == id; });
    if (account == desktopAccounts.cend())
        return;
    cmbProtocol->setCurrentIndex(1);
    cmbSecurity->setCurrentIndex(account->Security);
    spinPort->setValue(account->Port);
    editServer->setText(account->Server);
    editUsername->setText(account->User);
}

// Signals held: what is listed fills nothing an account being edited has.
void TAccountForm::ListDesktopAccounts(const QString& chosen)
{
    const QSignalBlocker blocker(cmbDesktopAccount);
    desktopListed = true;
    cmbDesktopAccount->clear();
    lblDesktop->clear();
    bool listed = true;
    try {
        desktopAccounts = desktop.MailAccounts();
        if (desktopAccounts.isEmpty())
            lblDesktop->setText(u"The desktop keeps no mail accounts: add one in its Online Accounts settings."_s);
    } catch (const Exception& e) {
        listed = false;
        desktopAccounts.clear();
        lblDesktop->setText(CleanedLines(e.Message));
    }
    for (const TDesktopAccount& account : std::as_const(desktopAccounts))
        cmbDesktopAccount->addItem(account.Label(), account.Id);
    if (chosen.isEmpty())
        return;
    if (cmbDesktopAccount->findData(chosen) < 0) {
        cmbDesktopAccount->addItem(listed ? u"(gone from the desktop)"_s : u"(not listed)"_s, chosen);
        if (listed)
            lblDesktop->setText(u"The desktop no longer has this account: sign in again in the desktop's Online "
                                "Accounts, or choose another."_s);
    }
    cmbDesktopAccount->setCurrentIndex(cmbDesktopAccount->findData(chosen));
}

QString TAccountForm::DesktopProblem() const
{
    if (!ShowsDesktop() || !cmbDesktopAccount->currentData().toString().isEmpty())
        return {};
    return u"Choose one of the desktop's mail accounts."_s;
}

// The stored choice is the preset whose sign-in address the account names.
void TAccountForm::ReadSignIn(const TAccountRecord& account)
{
    if (account.Auth == authDesktop)
        return ReadDesktopSignIn(account);
    int index = 0;
    if (account.Auth == authOAuth2) {
        const auto& presets = OAuthPresets();
        const auto preset = std::find_if(presets.begin(), presets.end(), [&account](const TOAuthPreset& p) {
            return p.Provider.AuthorizeUrl == account.Provider.AuthorizeUrl;
        });
        index = preset == presets.end() ? OtherIndex() : int(preset - presets.begin()) + 1;
    }
    const QSignalBlocker blocker(cmbSignIn);
    cmbSignIn->setCurrentIndex(index);
    editAuthorizeUrl->setText(account.Provider.AuthorizeUrl.toString());
    editTokenUrl->setText(account.Provider.TokenUrl.toString());
    editScope->setText(account.Provider.Scope);
    editClientId->setText(account.Provider.ClientId);
    editClientSecret->setText(account.Provider.ClientSecret);
}

// Shown even where the desktop no longer offers it, so OK keeps the choice.
void TAccountForm::ReadDesktopSignIn(const TAccountRecord& account)
{
    const QSignalBlocker blocker(cmbSignIn);
    if (cmbSignIn->count() <= DesktopIndex())
        cmbSignIn->addItem(u"From the desktop (GNOME Online Accounts)"_s);
    cmbSignIn->setCurrentIndex(DesktopIndex());
    ListDesktopAccounts(account.DesktopAccount);
}

TOAuthProvider TAccountForm::ShownProvider() const
{
    return {QUrl(editAuthorizeUrl->text().trimmed()), QUrl(editTokenUrl->text().trimmed()), editClientId->text().trimmed(),
            editClientSecret->text().trimmed(), editScope->text().simplified()};
}

// The token would cross the network readable by anyone on the way.
QString TAccountForm::SecurityProblem() const
{
    if (cmbSignIn->currentIndex() == 0 || TokenMayGoTo(cmbSecurity->currentIndex(), AccountText(editServer->text())))
        return {};
    return u"An account that signs in through its provider needs an encrypted connection: choose SSL/TLS or STARTTLS."_s;
}

// Only what the shown choice uses is checked; the password of an account
// that signs in is not asked for.
QString TAccountForm::SignInProblem(QWidget*& field) const
{
    const std::pair<QWidget*, QString> checks[] = {
        {editAuthorizeUrl, addressProblem(editAuthorizeUrl->text(), u"sign-in address"_s)},
        {editTokenUrl, addressProblem(editTokenUrl->text(), u"token address"_s)},
        {editClientId, requiredProblem(editClientId->text().trimmed(), u"client id"_s)},
    };
    for (const auto& check : checks) {
        if (!check.second.isEmpty()) {
            field = check.first->isHidden() ? cmbSignIn : check.first;
            return check.second;
        }
    }
    return {};
}

void TAccountForm::CreateButtons()
{
    const TDialogButtons buttons = CreateDialogButtons(*this, u"OK"_s, u"btnOK"_s, true);
    btnOK = buttons.Accept;
    btnCancel = buttons.Cancel;
    btnHelp = buttons.Help;
    layout()->addWidget(buttons.Box);
    QWidget* const order[] = {editAccName, cmbProtocol, cmbSignIn, editServer, spinPort, cmbSecurity, btnUseDef,
                              editUsername, editPassword, editAuthorizeUrl, editTokenUrl, editScope, editClientId,
                              editClientSecret, btnSignIn, editFolder, editCertFingerprint, chkQuickCheck, btnOK,
                              btnCancel, btnHelp};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(btnOK, &QPushButton::clicked, this, GuardedSlot([this] { btnOKClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp, &QPushButton::clicked, this, GuardedSlot([this] { btnHelpClick(); }));
}

// Made after the buttons, so Tab on the Account page goes on to OK.
void TAccountForm::CreateVoiceTab()
{
    auto* page = new QWidget;
    page->setObjectName(u"TabNotify"_s);
    radVoiceGeneral = new QRadioButton(u"Use the general settings"_s, page);
    radVoiceGeneral->setObjectName(u"radVoiceGeneral"_s);
    radVoiceOwn = new QRadioButton(u"Use these settings for this account"_s, page);
    radVoiceOwn->setObjectName(u"radVoiceOwn"_s);
    SetHelpContext(radVoiceGeneral, VoiceHelpTopic);
    SetHelpContext(radVoiceOwn, VoiceHelpTopic);
    auto* layout = new QVBoxLayout(page);
    layout->setSpacing(4);
    layout->addWidget(radVoiceGeneral);
    layout->addWidget(radVoiceOwn);
    NotifyNorm = TNotifyGroup::Create(u"Norm"_s, u"Normal Priority"_s, page);
    NotifyHigh = TNotifyGroup::Create(u"High"_s, u"High Priority"_s, page);
    NotifyLow = TNotifyGroup::Create(u"Low"_s, u"Low Priority"_s, page);
    for (const TNotifyGroup* group : {&NotifyNorm, &NotifyHigh, &NotifyLow})
        layout->addWidget(group->Box);
    layout->addStretch();
    AccountPages->addTab(page, u"Notification"_s);
    connect(radVoiceOwn, &QRadioButton::toggled, this, [this] { EnableVoiceGroups(); });
}

// Ways that cannot be read are said, and the general options stand in; OK
// then stores what the tab shows.
void TAccountForm::ReadVoice()
{
    std::optional<TAccountVoice> own;
    try {
        if (!IsNewAccount)
            own = TAccountVoice::Read(Store, OpenedName);
    } catch (const EStoreError& e) {
        lblError->setText(u"The account's own notification settings cannot be read; the general ones are used. "_s
                          + CleanedLines(e.Message));
    }
    (own ? radVoiceOwn : radVoiceGeneral)->setChecked(true);
    const TAccountVoice shown = own.value_or(storedGeneralVoice(Store));
    NotifyHigh.ShowWays(shown.High);
    NotifyNorm.ShowWays(shown.Normal);
    NotifyLow.ShowWays(shown.Low);
    EnableVoiceGroups();
}

void TAccountForm::EnableVoiceGroups()
{
    for (const TNotifyGroup* group : {&NotifyNorm, &NotifyHigh, &NotifyLow})
        group->Box->setEnabled(radVoiceOwn->isChecked());
}

std::optional<TAccountVoice> TAccountForm::ShownVoice() const
{
    if (!radVoiceOwn->isChecked())
        return std::nullopt;
    return TAccountVoice{NotifyHigh.Ways(), NotifyNorm.Ways(), NotifyLow.Ways()};
}

// Editing completes the account's values with their defaults in the store,
// even when the user then cancels. A new account starts secured: a password
// crosses the network in the clear only when the user chooses so.
void TAccountForm::FormCreate()
{
    cmbSecurity->setCurrentIndex(secTls);
    btnUseDefClick();
    if (IsNewAccount)
        return;
    TRegistry reg(Store);
    reg.OpenKey(TAccountRecord::KeyOf(editAccName->text()), true);
    TAccountRecord::CompleteRequired(reg);
    const TAccountRecord account = TAccountRecord::Read(reg, editAccName->text());
    editServer->setText(account.Server);
    editUsername->setText(account.Username);
    WasSelected = account.Selected;
    ReadProtocol(account);
    ReadSecurity(account);
    spinPort->setValue(std::clamp(account.Port, 1, MaxPort));
    ReadPassword(reg);
    reg.CloseKey();
    ReadSignIn(account);
}

// Last, as the secret store may take its time or fail. With a store, an
// empty Password value would stand in front of the secret.
void TAccountForm::ReadPassword(TRegistry& reg)
{
    if (!Store.Secrets && !reg.ValueExists(u"Password"_s))
        reg.WriteString(u"Password"_s, {});
    editPassword->setText(StoredPassword(reg, Store, editAccName->text(), true));
}

// A protocol this dialog does not offer, edited by hand, shows as POP3.
void TAccountForm::ReadProtocol(const TAccountRecord& account)
{
    const QSignalBlocker blocker(cmbProtocol);
    cmbProtocol->setCurrentIndex(TAccountRecord::IsImap(account.Protocol) ? 1 : 0);
    shownProtocol = ShownProtocol();
    editFolder->setText(account.Folder);
}

// A Security out of range, edited by hand, shows as the nearest choice.
void TAccountForm::ReadSecurity(const TAccountRecord& account)
{
    cmbSecurity->setCurrentIndex(std::clamp(int(account.Security), int(secNone), int(secTls)));
    editCertFingerprint->setText(account.CertFingerprint);
    chkQuickCheck->setChecked(account.QuickCheck);
}

void TAccountForm::btnUseDefClick()
{
    spinPort->setValue(DefaultPort(ShownProtocol(), cmbSecurity->currentIndex()));
}

// A port left at the usual one for the old choice follows to the new one's.
void TAccountForm::cmbSecurityChange(int previous)
{
    if (spinPort->value() == DefaultPort(ShownProtocol(), previous))
        btnUseDefClick();
}

void TAccountForm::btnOKClick()
{
    if (const auto [field, why] = FirstProblem(); field) {
        AccountPages->setCurrentIndex(AccountPage);
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
        {cmbSecurity, SecurityProblem()},
        {cmbDesktopAccount, DesktopProblem()},
        {editUsername, requiredProblem(AccountText(editUsername->text()), u"username"_s)},
        {editPassword, cmbSignIn->currentIndex() == 0 ? requiredProblem(editPassword->text(), u"password"_s) : QString()},
        {editFolder, ShowsImap() ? AccountFolderProblem(editFolder->text()) : QString()},
        {editCertFingerprint, fingerprintProblem(editCertFingerprint->text())},
    };
    for (const auto& check : checks) {
        if (!check.second.isEmpty())
            return check;
    }
    QWidget* field = nullptr;
    if (ShowsProviderSignIn()) {
        if (const QString why = SignInProblem(field); !why.isEmpty())
            return {field, why};
    }
    return {};
}

// An account stored before names were trimmed moves to its trimmed name
// instead of being doubled by it.
//
// The secret is stored first, so a secret store that fails leaves the
// account as it was; an account replaced under another name (blanks, case)
// takes its secret along. An account that signs in keeps no password; one
// that logs in with its password keeps no OAuth values.
void TAccountForm::WriteAccount()
{
    const QString name = AccountText(editAccName->text());
    const bool signsIn = cmbSignIn->currentIndex() > 0;
    const QString refreshToken = KeptRefreshToken(name);
    if (Store.Secrets && !signsIn)
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
    reg.OpenKey(TAccountRecord::KeyOf(name), true);
    ShownAccount(name).Write(reg);
    TAccountVoice::Write(reg, ShownVoice());
    if (!Store.Secrets && !signsIn)
        reg.WriteString(u"Password"_s, ScramblePassword(editPassword->text()));
    reg.CloseKey();
    if (refreshToken.isEmpty())
        RemoveRefreshToken(Store, name);
    else if (const QString refusal = StoreRefreshToken(Store, name, refreshToken); !refusal.isEmpty())
        WriteErrorLine(KeptInFileLine(name, refusal));
    if (signsIn)
        RemoveAccountPassword(Store, name);
    for (const QString& old : replaced) {
        if (old != name) {
            RemoveAccountPassword(Store, old);
            RemoveRefreshToken(Store, old);
        }
    }
}

TAccountRecord TAccountForm::ShownAccount(const QString& name) const
{
    TAccountRecord account;
    account.Name = name;
    account.Server = AccountText(editServer->text());
    account.Username = AccountText(editUsername->text());
    account.Port = spinPort->value();
    account.Selected = IsNewAccount || WasSelected;
    account.Security = static_cast<TSecurity>(cmbSecurity->currentIndex());
    account.QuickCheck = chkQuickCheck->isChecked();
    account.CertFingerprint = NormalFingerprint(editCertFingerprint->text());
    account.Protocol = ShownProtocol();
    account.Folder = AccountText(editFolder->text());
    account.Auth = ShownAuth();
    if (ShowsProviderSignIn())
        account.Provider = ShownProvider();
    if (ShowsDesktop())
        account.DesktopAccount = cmbDesktopAccount->currentData().toString();
    return account;
}

// Read before the key goes; an account whose name loses its blanks takes
// its sign-in along. A new account that replaces one of its name is another
// account: it has only the sign-in it made itself. A token given for another
// provider, client, server or user is dropped, never sent there.
QString TAccountForm::KeptRefreshToken(const QString& name) const
{
    if (IsNewAccount && !signedInHere)
        return {};
    const TSignInTarget shown{{name, ShownAuth(), ShownProvider()}, AccountText(editServer->text()),
                              AccountText(editUsername->text()), {}, {}};
    const QString token = RefreshTokenFor(Store, name, shown);
    if (!token.isEmpty() || OpenedName == name || AccountText(OpenedName) != name)
        return token;
    return RefreshTokenFor(Store, OpenedName, shown);
}

// The flow waits in a local event loop, so the dialog stays usable while the
// browser is open; its outcome shows beside the button.
void TAccountForm::btnSignInClick()
{
    if (const auto [field, why] = FirstProblem(); field) {
        lblError->Refuse(field, why);
        return;
    }
    WriteAccount();
    signedInHere = true;
    const QString name = AccountText(editAccName->text());
    btnSignIn->setEnabled(false);
    lblSignIn->setText(u"Waiting for the browser..."_s);
    try {
        SignInAccount(Store, name, [](const QUrl& url) { QDesktopServices::openUrl(url); });
        lblSignIn->setText(u"Signed in"_s);
    } catch (const Exception& e) {
        lblSignIn->setText(CleanedLines(e.Message));
    }
    btnSignIn->setEnabled(true);
}

void TAccountForm::btnHelpClick()
{
    if (AccountPages->currentIndex() == VoicePage)
        ShowHelpContext(VoiceHelpTopic);
    else
        ShowHelpContext(IsNewAccount ? 343 : 344);
}
