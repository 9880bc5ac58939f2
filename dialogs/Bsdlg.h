#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class Settings;
class TErrorLabel;

// Adds one sender to the blocked senders. Whichever window opens it, the
// settings' list holds the entry at once, so the next check knows it.
class TBSForm : public QDialog
{
    Q_OBJECT

public:
    explicit TBSForm(Settings& settings, QWidget* parent = nullptr);

    QLineEdit* editSenderName;
    TErrorLabel* lblError; // why OK was refused
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnHelp;

    void btnOKClick();
    void btnHelpClick();

private:
    Settings& Options;
};
