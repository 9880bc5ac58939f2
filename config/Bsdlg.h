#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class TConfigForm;
class TErrorLabel;

// Adds one sender to the blocked senders. Whichever window opens it, the
// configuration dialog's list is refilled after an entry is added, so the
// next check knows it.
class TBSForm : public QDialog
{
    Q_OBJECT

public:
    explicit TBSForm(TConfigForm& configForm, QWidget* parent = nullptr);

    QLineEdit* editSenderName;
    TErrorLabel* lblError; // why OK was refused
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnHelp;

    void btnOKClick();
    void btnHelpClick();

private:
    TConfigForm& ConfigForm;
};
