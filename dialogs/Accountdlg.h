#pragma once

#include "dialogs/NotifyGroup.h"
#include "platform/DesktopAccounts.h"
#include "platform/OAuthSignIn.h"

#include <QDialog>
#include <optional>
#include <utility>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QToolButton;
class RegistryStore;
class TAccountRecord;
class TErrorLabel;
struct TOAuthPreset;

// Adds a POP3 or IMAP account (no name given) or edits the named one, writing
// straight to the store. An account is keyed by its name: OK replaces any
// account of that name, and a renamed account leaves the old one as it was,
// unless the new name is the old one without its surrounding blanks.
// An account signs in with its password, through an OAuth 2.0 provider (a
// preset's or one the user names), or through one of the desktop's online
// accounts where the desktop keeps them.
// Its Notification tab gives the account ways of telling its mail of its
// own, in place of the general options.
class TAccountForm : public QDialog
{
    Q_OBJECT

public:
    TAccountForm(RegistryStore& store, const QString& accountName = {}, QWidget* parent = nullptr);

    bool IsNewAccount;
    bool WasSelected = true;

    QLineEdit* editAccName;
    QComboBox* cmbProtocol; // the item's text is the stored Protocol
    QComboBox* cmbSignIn; // Password, each preset, Other, the desktop where offered
    QComboBox* cmbDesktopAccount; // the desktop's mail accounts; the item's data is the desktop's id
    QLabel* lblDesktop; // why the desktop's accounts cannot be listed, or the chosen one is gone
    QLineEdit* editClientId;
    QLineEdit* editClientSecret;
    QLineEdit* editAuthorizeUrl;
    QLineEdit* editTokenUrl;
    QLineEdit* editScope;
    QPushButton* btnSignIn; // stores the account, then signs in in the browser
    QLabel* lblSignIn; // how the last sign-in went
    QLineEdit* editServer;
    QSpinBox* spinPort; // typed, or stepped with the arrows
    QComboBox* cmbSecurity; // the index is the stored Security value
    QPushButton* btnUseDef;
    QLineEdit* editUsername;
    QLineEdit* editPassword;
    QToolButton* btnShowPassword; // shows the password while held
    QLineEdit* editFolder; // IMAP's alone
    QLineEdit* editCertFingerprint;
    QCheckBox* chkQuickCheck; // "QuickCheck", on unless the account says 0; POP3's alone
    TErrorLabel* lblError; // why OK was refused
    QTabWidget* AccountPages; // "Account", "Notification"
    QRadioButton* radVoiceGeneral; // "Use the general settings"
    QRadioButton* radVoiceOwn;
    TNotifyGroup NotifyNorm;
    TNotifyGroup NotifyHigh;
    TNotifyGroup NotifyLow;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnHelp;

    void FormCreate();
    void btnUseDefClick();
    void cmbSecurityChange(int previous);
    void cmbProtocolChange(const QString& previous);
    void cmbSignInChange(int index);
    void cmbDesktopAccountChange(int index);
    void btnSignInClick();
    void btnOKClick();
    void btnHelpClick();

private:
    void CreateControls();
    void CreateSecurityControls();
    void CreateProtocolControls();
    void ReadProtocol(const TAccountRecord& account);
    void EnableProtocolFields();
    QString ShownProtocol() const;
    bool ShowsImap() const;
    // The preset chosen as the sign-in; none for a password or Other.
    const TOAuthPreset* ChosenPreset() const;
    void CreateSignInControls();
    void AddSignInRows();
    void ReadSignIn(const TAccountRecord& account);
    void ReadDesktopSignIn(const TAccountRecord& account);
    void ShowSignInRows();
    int OtherIndex() const;
    int DesktopIndex() const;
    bool ShowsProviderSignIn() const;
    bool ShowsDesktop() const;
    int ShownAuth() const;
    void CreateDesktopControls();
    void OfferDesktop();
    // chosen: the desktop account to show, kept even where the desktop no longer has it.
    void ListDesktopAccounts(const QString& chosen);
    QString DesktopProblem() const;
    TOAuthProvider ShownProvider() const;
    QString SignInProblem(QWidget*& field) const;
    QString SecurityProblem() const;
    void ReadSecurity(const TAccountRecord& account);
    void ReadPassword(class TRegistry& reg);
    void CreateButtons();
    void CreateVoiceTab();
    void ReadVoice();
    void EnableVoiceGroups();
    // None: the general options speak for the account.
    std::optional<TAccountVoice> ShownVoice() const;
    // The first field that cannot be stored as it is, with why; none when OK may store.
    std::pair<QWidget*, QString> FirstProblem() const;
    void WriteAccount();
    TAccountRecord ShownAccount(const QString& name) const;
    // The refresh token the account keeps across the rewrite of its key.
    QString KeptRefreshToken(const QString& name) const;

    RegistryStore& Store;
    DesktopAccounts desktop;
    QList<TDesktopAccount> desktopAccounts;
    bool desktopListed = false;
    const QString OpenedName;
    int shownSecurity = 0;
    QString shownProtocol;
    bool signedInHere = false; // "Sign in..." stored the account
    QFormLayout* form = nullptr;
    QHBoxLayout* passwordRow = nullptr;
    QHBoxLayout* signInRow = nullptr;
    QHBoxLayout* desktopNoteRow = nullptr;
};
