#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class RegistryStore;
class TSpinField;

// Adds a POP3 account (no name given) or edits the named one, writing
// straight to the store. An account is keyed by its name: OK replaces any
// account of that name, and a renamed account leaves the old one as it was.
class TAccountForm : public QDialog
{
    Q_OBJECT

public:
    TAccountForm(RegistryStore& store, const QString& accountName = {}, QWidget* parent = nullptr);

    bool IsNewAccount;
    bool WasSelected = true;

    QLineEdit* editAccName;
    QLineEdit* editServer;
    TSpinField* spinPort;
    QComboBox* cmbSecurity; // the index is the stored Security value
    QPushButton* btnUseDef;
    QLineEdit* editUsername;
    QLineEdit* editPassword;
    QToolButton* btnShowPassword; // shows the password while held
    QLineEdit* editCertFingerprint;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnHelp;

    void FormCreate();
    void btnUseDefClick();
    void cmbSecurityChange(int previous);
    void btnOKClick();
    void btnHelpClick();

private:
    void CreateControls();
    void CreateSecurityControls();
    void ReadSecurity(class TRegistry& reg);
    void CreateButtons();
    bool FieldsComplete() const;
    void WriteAccount();

    RegistryStore& Store;
    int shownSecurity = 0;
};
