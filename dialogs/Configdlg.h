#pragma once

#include "config/Settings.h"
#include "dialogs/NotifyGroup.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

class GlobalHotkey;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTimeEdit;
class TErrorLabel;
class TMailClient;
class TRadioGroup;
class TSpinField;

// The one window where the user sets every option and manages the accounts
// and the blocked senders. It presents the Settings holder itself: a change
// in a control is a change of its option at once, so a timed check while
// the window is open sees what the controls show. Done stores the options,
// Cancel loads them back, the close button does neither. Account and
// blocked-sender changes are stored as they are made.
//
// It also carries the options' effects outside the check: the POP3
// time-out, the global hotkey and the autostart entry.
class TConfigForm : public QDialog
{
    Q_OBJECT

public:
    // Fills the lists and loads the settings, with their effects; then shows
    // the main window when it is to start visible.
    TConfigForm(Settings& settings, TMailClient& pop1, std::function<void()> showMainWindow,
                QWidget* parent = nullptr);
    ~TConfigForm() override;

    Settings& Options;

    // Opens modally, showing the options as they are now.
    void Execute();
    void FillAccountList();

    QTabWidget* ConfigPage;
    QWidget* TabGeneral;
    QWidget* TabConnection;
    QWidget* TabNotify;
    QWidget* TabAccounts;
    QWidget* TabFilters;
    QPushButton* btnDone;
    QPushButton* btnCancel;
    QPushButton* btnHelp;

    TRadioGroup* radCheckEnabled;
    QCheckBox* chkLoadOnStartup;
    QCheckBox* chkStartVisible;
    TSpinField* spinInterval;
    TSpinField* spinTimeout;
    QCheckBox* chkHKEnabled;
    QComboBox* cmbHotkey;
    QComboBox* cmbModifier;
    QRadioButton* radClientDef;
    QRadioButton* radClientSpec;
    QComboBox* cmbClients;

    QRadioButton* radLanConn;
    QRadioButton* radWaitConn;
    QRadioButton* radInitConn;
    QComboBox* cmbConnectoids;
    QCheckBox* chkHangUp;
    QCheckBox* chkHangUpWait;
    QSpinBox* spinDelayMin;
    QSpinBox* spinDelaySec;

    // One group of the Notification tab: what to do for one priority.
    using NotifyGroup = TNotifyGroup;
    NotifyGroup Norm;
    NotifyGroup High;
    NotifyGroup Low;
    QCheckBox* chkNotifyNewOnly;
    // The quiet hours: on or off, from and to; why Done refused them.
    QCheckBox* chkQuietHours;
    QTimeEdit* timeQuietFrom;
    QTimeEdit* timeQuietTo;
    QCheckBox* chkQuietBreakThrough;
    TErrorLabel* lblQuietError;

    QListWidget* listAccounts;
    QPushButton* btnAccNew;
    QPushButton* btnAccEdit;
    QPushButton* btnAccDel;

    QListWidget* listBS;
    QPushButton* btnBSAdd;
    QPushButton* btnBSDel;
    QCheckBox* chkBlankFrom;
    QCheckBox* chkBlankTo;
    QCheckBox* chkBlankSubject;
    QCheckBox* chkZeroLength;
    TRadioGroup* grpResponse;

    void btnDoneClick();
    void btnCancelClick();
    void btnHelpClick();
    void chkLoadOnStartupClick(bool checked);
    void spinTimeoutChange(int milliseconds);
    void ApplyHotkey();
    void btnAccNewClick();
    void btnAccEditClick();
    void btnAccDelClick();
    void btnBSAddClick();
    void btnBSDelClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateGeneralTab();
    QWidget* CreateEmailClientGroup();
    QWidget* CreateHotkeyGroup();
    void CreateConnectionTab();
    void CreateNotifyTab();
    NotifyGroup CreateNotifyGroup(const QString& prefix, const QString& caption,
                                  NotifyFlags (Settings::*get)() const, void (Settings::*set)(NotifyFlags),
                                  QString (Settings::*getSound)() const, void (Settings::*setSound)(const QString&));
    QWidget* CreateQuietHoursGroup();
    void StoreQuietHours();
    void ShowQuietHours();
    bool QuietHoursRefused();
    void CreateAccountsTab();
    void CreateFiltersTab();
    void CreateButtons();
    void ConnectEffects();
    void Loaded();
    void FormCreate();

    // Each control shows and edits one option.
    void Bind(QCheckBox* box, bool (Settings::*get)() const, void (Settings::*set)(bool));
    void Bind(QSpinBox* spin, int (Settings::*get)() const, void (Settings::*set)(int));
    void Bind(QLineEdit* field, QString (Settings::*get)() const, void (Settings::*set)(const QString&));
    void Bind(QComboBox* combo, int (Settings::*get)() const, void (Settings::*set)(int));
    void BindCombo(QComboBox* combo, ComboField& (Settings::*field)());
    void BindFlag(QCheckBox* box, NotifyFlag flag, NotifyFlags (Settings::*get)() const,
                  void (Settings::*set)(NotifyFlags));
    void BindChoice(QRadioButton* button, int value, int (Settings::*get)() const, void (Settings::*set)(int));
    void ShowFields();
    void ShowAccountList();
    void ShowBlockedList();

    TMailClient& Pop1;
    std::function<void()> ShowMainWindow;
    std::unique_ptr<GlobalHotkey> Hotkey;
    std::vector<std::function<void()>> fieldShows;
};
