#include "dialogs/Configdlg.h"

#include "base/Guard.h"
#include "dialogs/Accountdlg.h"
#include "dialogs/Bsdlg.h"
#include "platform/GlobalHotkey.h"
#include "pop3/Pop3client.h"
#include "widgets/Beep.h"
#include "widgets/DialogFrame.h"
#include "widgets/ErrorLabel.h"
#include "widgets/HelpViewer.h"
#include "widgets/MsgBox.h"
#include "widgets/RadioGroup.h"
#include "widgets/Shelllink.h"
#include "widgets/SpinField.h"

#include <QDialogButtonBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

constexpr int HelpTopicOfFirstTab = 338;
// Shown while the quiet hours are off, for the user to start from.
const QTime DefaultQuietFrom(22, 0);
const QTime DefaultQuietTo(7, 0);

template <typename Control> Control* named(Control* control, const QString& name, int helpContext)
{
    control->setObjectName(name);
    SetHelpContext(control, helpContext);
    return control;
}

QCheckBox* checkBox(const QString& name, const QString& caption, int helpContext, QWidget* parent)
{
    return named(new QCheckBox(caption, parent), name, helpContext);
}

QPushButton* button(const QString& name, const QString& caption, int helpContext, QWidget* parent)
{
    auto* result = named(new QPushButton(caption, parent), name, helpContext);
    result->setAutoDefault(false);
    return result;
}

// A spin field between two words: "Check mail every [10] minutes".
QHBoxLayout* spinLine(const QString& before, QSpinBox* spin, const QString& after)
{
    auto* line = new QHBoxLayout;
    if (!before.isEmpty())
        line->addWidget(new QLabel(before));
    line->addWidget(spin);
    line->addWidget(new QLabel(after));
    line->addStretch();
    return line;
}

// The entry a button acts on; without one, a beep.
const QListWidgetItem* selectedOrBeep(const QListWidget* list)
{
    const QListWidgetItem* item = list->currentItem();
    if (!item)
        Beep();
    return item;
}

bool confirmed(QWidget* owner, const QString& question, const QString& caption)
{
    return MsgBox({question, caption, owner, QMessageBox::Yes | QMessageBox::No}) == QMessageBox::Yes;
}

void showChecks(QListWidget* list, const CheckedNames& items)
{
    const QSignalBlocker quiet(list);
    list->clear();
    for (const CheckedName& entry : items) {
        auto* item = new QListWidgetItem(entry.Name, list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(entry.Checked ? Qt::Checked : Qt::Unchecked);
    }
}

}

TConfigForm::TConfigForm(Settings& settings, TMailClient& pop1, std::function<void()> showMainWindow,
                         QWidget* parent)
    : QDialog(parent), Options(settings), Pop1(pop1), ShowMainWindow(std::move(showMainWindow)),
      Hotkey(std::make_unique<GlobalHotkey>())
{
    setObjectName(u"ConfigForm"_s);
    ConfigPage = new QTabWidget(this);
    ConfigPage->setObjectName(u"ConfigPage"_s);
    ConfigPage->tabBar()->setUsesScrollButtons(false);
    CreateGeneralTab();
    CreateConnectionTab();
    CreateNotifyTab();
    CreateAccountsTab();
    CreateFiltersTab();
    CreateButtons();
    SetDialogFrame(*this, u"Postwatch Configuration"_s, QSize(449, 320));
    ConnectEffects();
    Loaded();
    FormCreate();
}

TConfigForm::~TConfigForm() = default;

void TConfigForm::CreateGeneralTab()
{
    TabGeneral = new QWidget;
    TabGeneral->setObjectName(u"TabGeneral"_s);
    ConfigPage->addTab(TabGeneral, u"General Options"_s);

    radCheckEnabled = new TRadioGroup(u"radCheckEnabled"_s, u"Checking"_s, {u"Enable"_s, u"Disable"_s}, TabGeneral);
    SetHelpContext(radCheckEnabled, 301);
    connect(radCheckEnabled, &TRadioGroup::ItemIndexChanged, this,
            GuardedSlot([this](int index) { Options.SetCheckingEnabled(index == 0); }));
    fieldShows.push_back([this] {
        const QSignalBlocker quiet(radCheckEnabled);
        radCheckEnabled->SetItemIndex(Options.CheckingEnabled() ? 0 : 1);
    });

    auto* misc = new QGroupBox(u"Misc Options"_s, TabGeneral);
    chkLoadOnStartup = checkBox(u"chkLoadOnStartup"_s, u"Load On Startup"_s, 302, misc);
    chkStartVisible = checkBox(u"chkStartVisible"_s, u"Start Visible"_s, 303, misc);
    Bind(chkLoadOnStartup, &Settings::LoadOnStartup, &Settings::SetLoadOnStartup);
    Bind(chkStartVisible, &Settings::StartVisible, &Settings::SetStartVisible);
    auto* miscLayout = new QVBoxLayout(misc);
    miscLayout->addWidget(chkLoadOnStartup);
    miscLayout->addWidget(chkStartVisible);

    auto* interval = new QGroupBox(u"Interval"_s, TabGeneral);
    spinInterval = new TSpinField(u"spinInterval"_s, 1, 999, interval);
    SetHelpContext(spinInterval, 304);
    Bind(spinInterval, &Settings::Interval, &Settings::SetInterval);
    interval->setLayout(spinLine(u"Check mail every"_s, spinInterval, u"minutes"_s));

    auto* timeout = new QGroupBox(u"POP Timeout"_s, TabGeneral);
    spinTimeout = new TSpinField(u"spinTimeout"_s, 1, 999, timeout);
    SetHelpContext(spinTimeout, 305);
    Bind(spinTimeout, &Settings::Timeout, &Settings::SetTimeout);
    timeout->setLayout(spinLine(u"Timeout after"_s, spinTimeout, u"seconds"_s));

    auto* layout = new QGridLayout(TabGeneral);
    layout->addWidget(radCheckEnabled, 0, 0);
    layout->addWidget(misc, 0, 1);
    layout->addWidget(interval, 1, 0);
    layout->addWidget(timeout, 1, 1);
    layout->addWidget(CreateHotkeyGroup(), 2, 0);
    layout->addWidget(CreateEmailClientGroup(), 2, 1);
}

QWidget* TConfigForm::CreateHotkeyGroup()
{
    auto* group = new QGroupBox(u"Hotkey"_s, TabGeneral);
    chkHKEnabled = checkBox(u"chkHKEnabled"_s, u"Hotkey Enabled"_s, 306, group);
    cmbHotkey = named(new QComboBox(group), u"cmbHotkey"_s, 307);
    for (int key = 1; key <= Settings::HotkeyCount; ++key)
        cmbHotkey->addItem(u"F%1"_s.arg(key));
    cmbModifier = named(new QComboBox(group), u"cmbModifier"_s, 308);
    cmbModifier->addItems({u"None"_s, u"Alt"_s, u"Control"_s, u"Shift"_s});
    Bind(chkHKEnabled, &Settings::HotkeyEnabled, &Settings::SetHotkeyEnabled);
    Bind(cmbHotkey, &Settings::Hotkey, &Settings::SetHotkey);
    Bind(cmbModifier, &Settings::Modifier, &Settings::SetModifier);

    auto* layout = new QGridLayout(group);
    layout->addWidget(chkHKEnabled, 0, 0, 1, 2);
    layout->addWidget(new QLabel(u"Hotkey"_s, group), 1, 0);
    layout->addWidget(new QLabel(u"Modifier"_s, group), 1, 1);
    layout->addWidget(cmbHotkey, 2, 0);
    layout->addWidget(cmbModifier, 2, 1);
    return group;
}

QWidget* TConfigForm::CreateEmailClientGroup()
{
    auto* group = new QGroupBox(u"Email Client"_s, TabGeneral);
    radClientDef = named(new QRadioButton(u"Use Default Client"_s, group), u"radClientDef"_s, 309);
    radClientSpec = named(new QRadioButton(u"Use Specified Client"_s, group), u"radClientSpec"_s, 310);
    cmbClients = named(new QComboBox(group), u"cmbClients"_s, 311);
    cmbClients->setEditable(true);
    radClientDef->setChecked(true);
    connect(radClientSpec, &QRadioButton::toggled, this,
            GuardedSlot([this](bool checked) { Options.SetUseSpecifiedClient(checked); }));
    fieldShows.push_back([this] {
        const QSignalBlocker quiet(radClientSpec);
        (Options.UseSpecifiedClient() ? radClientSpec : radClientDef)->setChecked(true);
    });
    BindCombo(cmbClients, &Settings::Clients);

    auto* layout = new QVBoxLayout(group);
    layout->addWidget(radClientDef);
    layout->addWidget(radClientSpec);
    layout->addWidget(cmbClients);
    return group;
}

void TConfigForm::CreateConnectionTab()
{
    TabConnection = new QWidget;
    TabConnection->setObjectName(u"TabConnection"_s);
    ConfigPage->addTab(TabConnection, u"Connection"_s);

    radLanConn = named(new QRadioButton(u"Always-on/LAN connection"_s, TabConnection), u"radLanConn"_s, 312);
    radWaitConn = named(new QRadioButton(u"Wait for internet connection"_s, TabConnection), u"radWaitConn"_s, 313);
    radInitConn =
        named(new QRadioButton(u"Initiate internet connection using"_s, TabConnection), u"radInitConn"_s, 314);
    cmbConnectoids = named(new QComboBox(TabConnection), u"cmbConnectoids"_s, 314);
    cmbConnectoids->setEditable(true);
    BindChoice(radLanConn, LanConn, &Settings::ConnType, &Settings::SetConnType);
    BindChoice(radWaitConn, WaitConn, &Settings::ConnType, &Settings::SetConnType);
    BindChoice(radInitConn, InitConn, &Settings::ConnType, &Settings::SetConnType);
    BindCombo(cmbConnectoids, &Settings::Connectoids);

    chkHangUp = checkBox(u"chkHangUp"_s, u"Hang up when done"_s, 315, TabConnection);
    chkHangUpWait = checkBox(u"chkHangUpWait"_s, u"If messages are found, wait to hang up for"_s, 316, TabConnection);
    Bind(chkHangUp, &Settings::HangUpWhenDone, &Settings::SetHangUpWhenDone);
    Bind(chkHangUpWait, &Settings::HangUpWait, &Settings::SetHangUpWait);
    spinDelayMin = named(new QSpinBox(TabConnection), u"spinDelayMin"_s, 316);
    spinDelaySec = named(new QSpinBox(TabConnection), u"spinDelaySec"_s, 316);
    spinDelayMin->setRange(0, std::numeric_limits<int>::max());
    spinDelaySec->setRange(0, std::numeric_limits<int>::max());
    Bind(spinDelayMin, &Settings::HangUpDelayMin, &Settings::SetHangUpDelayMin);
    Bind(spinDelaySec, &Settings::HangUpDelaySec, &Settings::SetHangUpDelaySec);

    auto* dial = new QHBoxLayout;
    dial->addWidget(radInitConn);
    dial->addWidget(cmbConnectoids, 1);
    auto* delay = spinLine({}, spinDelayMin, u"minutes"_s);
    delay->insertSpacing(0, 24);
    delay->insertWidget(delay->count() - 1, spinDelaySec);
    delay->insertWidget(delay->count() - 1, new QLabel(u"seconds"_s, TabConnection));
    auto* layout = new QVBoxLayout(TabConnection);
    layout->addWidget(radLanConn);
    layout->addWidget(radWaitConn);
    layout->addLayout(dial);
    layout->addSpacing(12);
    layout->addWidget(chkHangUp);
    layout->addWidget(chkHangUpWait);
    layout->addLayout(delay);
    layout->addStretch();
}

void TConfigForm::CreateNotifyTab()
{
    TabNotify = new QWidget;
    TabNotify->setObjectName(u"TabNotify"_s);
    ConfigPage->addTab(TabNotify, u"Notification"_s);
    auto* layout = new QVBoxLayout(TabNotify);
    layout->setSpacing(4);
    Norm = CreateNotifyGroup(u"Norm"_s, u"Normal Priority"_s, &Settings::NormNotify, &Settings::SetNormNotify,
                             &Settings::NormSoundfile, &Settings::SetNormSoundfile);
    High = CreateNotifyGroup(u"High"_s, u"High Priority"_s, &Settings::HighNotify, &Settings::SetHighNotify,
                             &Settings::HighSoundfile, &Settings::SetHighSoundfile);
    Low = CreateNotifyGroup(u"Low"_s, u"Low Priority"_s, &Settings::LowNotify, &Settings::SetLowNotify,
                            &Settings::LowSoundfile, &Settings::SetLowSoundfile);
    chkNotifyNewOnly = checkBox(u"chkNotifyNewOnly"_s, u"Only announce messages that were not there at the last check"_s,
                                346, TabNotify);
    Bind(chkNotifyNewOnly, &Settings::NotifyNewOnly, &Settings::SetNotifyNewOnly);
    layout->addWidget(chkNotifyNewOnly);
    layout->addWidget(CreateQuietHoursGroup());
}

// The times are the option's text whenever the box is ticked; a stored text
// that does not read as quiet hours shows as none and stays until changed.
QWidget* TConfigForm::CreateQuietHoursGroup()
{
    auto* box = new QGroupBox(u"Quiet Hours"_s, TabNotify);
    chkQuietHours = checkBox(u"chkQuietHours"_s, u"Keep quiet from"_s, 350, box);
    const auto timeEdit = [box](const QString& name) {
        QTimeEdit* edit = named(new QTimeEdit(box), name, 350);
        edit->setDisplayFormat(u"HH:mm"_s);
        return edit;
    };
    timeQuietFrom = timeEdit(u"timeQuietFrom"_s);
    timeQuietTo = timeEdit(u"timeQuietTo"_s);
    chkQuietBreakThrough = checkBox(u"chkQuietBreakThrough"_s, u"High priority breaks through"_s, 351, box);
    Bind(chkQuietBreakThrough, &Settings::QuietBreakThrough, &Settings::SetQuietBreakThrough);
    lblQuietError = new TErrorLabel(u"lblQuietError"_s, 1, box);
    connect(chkQuietHours, &QCheckBox::toggled, this, GuardedSlot([this] { StoreQuietHours(); }));
    for (QTimeEdit* edit : {timeQuietFrom, timeQuietTo})
        connect(edit, &QTimeEdit::timeChanged, this, GuardedSlot([this] { StoreQuietHours(); }));
    fieldShows.push_back([this] { ShowQuietHours(); });

    auto* times = new QHBoxLayout;
    times->setSpacing(6);
    times->addWidget(chkQuietHours);
    times->addWidget(timeQuietFrom);
    times->addWidget(new QLabel(u"to"_s, box));
    times->addWidget(timeQuietTo);
    times->addStretch();
    times->addWidget(chkQuietBreakThrough);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->setSpacing(0);
    layout->addLayout(times);
    layout->addWidget(lblQuietError);
    return box;
}

void TConfigForm::StoreQuietHours()
{
    lblQuietError->clear();
    Options.SetQuietHours(chkQuietHours->isChecked() ? TQuietHours{timeQuietFrom->time(), timeQuietTo->time()}.Text()
                                                     : QString());
}

void TConfigForm::ShowQuietHours()
{
    const std::optional<TQuietHours> hours = Options.QuietHoursRule();
    const QSignalBlocker quietBox(chkQuietHours);
    const QSignalBlocker quietFrom(timeQuietFrom);
    const QSignalBlocker quietTo(timeQuietTo);
    chkQuietHours->setChecked(hours.has_value());
    timeQuietFrom->setTime(hours ? hours->From : DefaultQuietFrom);
    timeQuietTo->setTime(hours ? hours->To : DefaultQuietTo);
    lblQuietError->clear();
}

// Quiet hours that end where they start would be all day or never.
bool TConfigForm::QuietHoursRefused()
{
    if (!chkQuietHours->isChecked() || timeQuietFrom->time() != timeQuietTo->time())
        return false;
    ConfigPage->setCurrentWidget(TabNotify);
    lblQuietError->Refuse(timeQuietTo, u"The quiet hours end when they start: choose another end."_s);
    return true;
}

TConfigForm::NotifyGroup TConfigForm::CreateNotifyGroup(const QString& prefix, const QString& caption,
                                                        NotifyFlags (Settings::*get)() const,
                                                        void (Settings::*set)(NotifyFlags),
                                                        QString (Settings::*getSound)() const,
                                                        void (Settings::*setSound)(const QString&))
{
    NotifyGroup group = TNotifyGroup::Create(prefix, caption, TabNotify);
    for (const auto& [box, bit] : group.Flags())
        BindFlag(box, bit, get, set);
    Bind(group.SoundFile, getSound, setSound);
    TabNotify->layout()->addWidget(group.Box);
    return group;
}

void TConfigForm::CreateAccountsTab()
{
    TabAccounts = new QWidget;
    TabAccounts->setObjectName(u"TabAccounts"_s);
    ConfigPage->addTab(TabAccounts, u"Accounts"_s);
    listAccounts = named(new QListWidget(TabAccounts), u"listAccounts"_s, 323);
    btnAccNew = button(u"btnAccNew"_s, u"New"_s, 324, TabAccounts);
    btnAccEdit = button(u"btnAccEdit"_s, u"Edit"_s, 325, TabAccounts);
    btnAccDel = button(u"btnAccDel"_s, u"Delete"_s, 326, TabAccounts);
    connect(listAccounts, &QListWidget::itemChanged, this, GuardedSlot([this](QListWidgetItem* item) {
        listAccounts->setCurrentItem(item);
        Options.Accounts().SetChecked(listAccounts->row(item), item->checkState() == Qt::Checked);
    }));
    connect(btnAccNew, &QPushButton::clicked, this, GuardedSlot([this] { btnAccNewClick(); }));
    connect(btnAccEdit, &QPushButton::clicked, this, GuardedSlot([this] { btnAccEditClick(); }));
    connect(btnAccDel, &QPushButton::clicked, this, GuardedSlot([this] { btnAccDelClick(); }));

    auto* buttons = new QVBoxLayout;
    buttons->addSpacing(20);
    buttons->addWidget(btnAccNew);
    buttons->addWidget(btnAccEdit);
    buttons->addWidget(btnAccDel);
    buttons->addStretch();
    auto* list = new QVBoxLayout;
    list->addWidget(new QLabel(u"Accounts List"_s, TabAccounts));
    list->addWidget(listAccounts);
    auto* layout = new QHBoxLayout(TabAccounts);
    layout->addLayout(list, 1);
    layout->addLayout(buttons);
}

void TConfigForm::CreateFiltersTab()
{
    TabFilters = new QWidget;
    TabFilters->setObjectName(u"TabFilters"_s);
    ConfigPage->addTab(TabFilters, u"Message Filters"_s);
    listBS = named(new QListWidget(TabFilters), u"listBS"_s, 327);
    btnBSAdd = button(u"btnBSAdd"_s, u"Add"_s, 328, TabFilters);
    btnBSDel = button(u"btnBSDel"_s, u"Delete"_s, 329, TabFilters);
    connect(listBS, &QListWidget::itemChanged, this, GuardedSlot([this](QListWidgetItem* item) {
        listBS->setCurrentItem(item);
        Options.BlockedSenders().SetChecked(listBS->row(item), item->checkState() == Qt::Checked);
    }));
    connect(btnBSAdd, &QPushButton::clicked, this, GuardedSlot([this] { btnBSAddClick(); }));
    connect(btnBSDel, &QPushButton::clicked, this, GuardedSlot([this] { btnBSDelClick(); }));

    auto* block = new QGroupBox(u"Block Messages With"_s, TabFilters);
    chkBlankFrom = checkBox(u"chkBlankFrom"_s, u"Blank \"From\" Line"_s, 330, block);
    chkBlankTo = checkBox(u"chkBlankTo"_s, u"Blank \"To\" Line"_s, 331, block);
    chkBlankSubject = checkBox(u"chkBlankSubject"_s, u"Blank \"Subject\" Line"_s, 332, block);
    chkZeroLength = checkBox(u"chkZeroLength"_s, u"Zero Length"_s, 333, block);
    Bind(chkBlankFrom, &Settings::BlockBlankFrom, &Settings::SetBlockBlankFrom);
    Bind(chkBlankTo, &Settings::BlockBlankTo, &Settings::SetBlockBlankTo);
    Bind(chkBlankSubject, &Settings::BlockBlankSubject, &Settings::SetBlockBlankSubject);
    Bind(chkZeroLength, &Settings::BlockZeroLength, &Settings::SetBlockZeroLength);
    auto* blockLayout = new QVBoxLayout(block);
    for (QCheckBox* check : {chkBlankFrom, chkBlankTo, chkBlankSubject, chkZeroLength})
        blockLayout->addWidget(check);

    grpResponse = new TRadioGroup(u"grpResponse"_s, u"Response"_s,
                                  {u"Delete blocked messages"_s, u"Leave blocked messages on server"_s}, TabFilters);
    SetHelpContext(grpResponse, 334);
    connect(grpResponse, &TRadioGroup::ItemIndexChanged, this,
            GuardedSlot([this](int index) { Options.SetSaveBlocked(index == 1); }));
    fieldShows.push_back([this] {
        const QSignalBlocker quiet(grpResponse);
        grpResponse->SetItemIndex(Options.SaveBlocked() ? 1 : 0);
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnBSAdd);
    buttons->addWidget(btnBSDel);
    buttons->addStretch();
    auto* list = new QVBoxLayout;
    list->addWidget(new QLabel(u"Blocked Senders"_s, TabFilters));
    list->addWidget(listBS);
    list->addLayout(buttons);
    auto* right = new QVBoxLayout;
    right->addWidget(block);
    right->addWidget(grpResponse);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(list, 1);
    columns->addLayout(right);
    auto* note = new QLabel(u"Mail from ticked senders is hidden; with \"Delete blocked messages\" it is deleted on "
                            u"the server."_s,
                            TabFilters);
    note->setObjectName(u"lblBlockedMail"_s);
    note->setWordWrap(true);
    auto* layout = new QVBoxLayout(TabFilters);
    layout->addLayout(columns);
    layout->addWidget(note);
}

void TConfigForm::CreateButtons()
{
    const TDialogButtons buttons = CreateDialogButtons(*this, u"Done"_s, u"btnDone"_s, false);
    btnDone = buttons.Accept;
    btnCancel = buttons.Cancel;
    btnHelp = buttons.Help;
    connect(btnDone, &QPushButton::clicked, this, GuardedSlot([this] { btnDoneClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, GuardedSlot([this] { btnCancelClick(); }));
    connect(btnHelp, &QPushButton::clicked, this, GuardedSlot([this] { btnHelpClick(); }));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(ConfigPage);
    layout->addWidget(buttons.Box);
}

// The effects follow the options however they change: in a control, from
// the main window's menu, or by a load; the blocked list follows a sender
// blocked from any window.
void TConfigForm::ConnectEffects()
{
    connect(&Options, &Settings::TimeoutChanged, this,
            GuardedSlot([this](int milliseconds) { spinTimeoutChange(milliseconds); }));
    connect(&Options, &Settings::HotkeyChanged, this, GuardedSlot([this] { ApplyHotkey(); }));
    connect(&Options, &Settings::LoadOnStartupChanged, this,
            GuardedSlot([this](bool checked) { chkLoadOnStartupClick(checked); }));
    connect(&Options, &Settings::SenderBlocked, this, GuardedSlot([this] { ShowBlockedList(); }));
    connect(Hotkey.get(), &GlobalHotkey::Pressed, this, GuardedSlot([this] { ShowMainWindow(); }));
}

void TConfigForm::Loaded()
{
    Options.FillLists();
    Options.LoadSettings();
    ShowAccountList();
    ShowBlockedList();
    ShowFields();
}

void TConfigForm::FormCreate()
{
    if (Options.StartVisible())
        ShowMainWindow();
}

void TConfigForm::Execute()
{
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    ShowFields();
    exec();
}

void TConfigForm::btnDoneClick()
{
    if (QuietHoursRefused())
        return;
    Options.SaveSettings();
    accept();
}

void TConfigForm::btnCancelClick()
{
    Options.LoadSettings();
    ShowFields();
    reject();
}

void TConfigForm::btnHelpClick()
{
    ShowHelpContext(HelpTopicOfFirstTab + ConfigPage->currentIndex());
}

// Escape is Cancel; the close button only hides the window.
void TConfigForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btnCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TConfigForm::chkLoadOnStartupClick(bool checked)
{
    StartAtLogin(checked);
}

void TConfigForm::spinTimeoutChange(int milliseconds)
{
    Pop1.TimeOut = milliseconds;
}

void TConfigForm::ApplyHotkey()
{
    if (Options.HotkeyEnabled())
        Hotkey->Register(Options.Hotkey(), Options.Modifier());
    else
        Hotkey->Unregister();
}

void TConfigForm::FillAccountList()
{
    Options.Accounts().Fill();
    ShowAccountList();
}

void TConfigForm::btnAccNewClick()
{
    TAccountForm form(Options.Store(), {}, this);
    form.exec();
    FillAccountList();
}

void TConfigForm::btnAccEditClick()
{
    const QListWidgetItem* item = selectedOrBeep(listAccounts);
    if (!item)
        return;
    TAccountForm form(Options.Store(), item->text(), this);
    form.exec();
    FillAccountList();
}

void TConfigForm::btnAccDelClick()
{
    const QListWidgetItem* item = selectedOrBeep(listAccounts);
    if (!item || !confirmed(this, u"Are you sure you want to delete this account?"_s, u"Delete Account"_s))
        return;
    Options.Accounts().Delete(item->text());
    ShowAccountList();
}

// The list follows the settings when the dialog adds an entry.
void TConfigForm::btnBSAddClick()
{
    TBSForm form(Options, this);
    form.exec();
}

void TConfigForm::btnBSDelClick()
{
    const QListWidgetItem* item = selectedOrBeep(listBS);
    if (!item || !confirmed(this, u"Are you sure you want to delete this item?"_s, u"Confirm Delete"_s))
        return;
    Options.BlockedSenders().Delete(item->text());
    ShowBlockedList();
}

// The slots capture the settings rather than the dialog: GCC's vptr check
// (UBSan) misreads a captured this beside a member pointer and fails the
// sanitizer build.
void TConfigForm::Bind(QCheckBox* box, bool (Settings::*get)() const, void (Settings::*set)(bool))
{
    connect(box, &QCheckBox::toggled, this,
            GuardedSlot([&options = Options, set](bool checked) { (options.*set)(checked); }));
    fieldShows.push_back([&options = Options, box, get] {
        const QSignalBlocker quiet(box);
        box->setChecked((options.*get)());
    });
}

void TConfigForm::Bind(QSpinBox* spin, int (Settings::*get)() const, void (Settings::*set)(int))
{
    connect(spin, &QSpinBox::valueChanged, this,
            GuardedSlot([&options = Options, set](int value) { (options.*set)(value); }));
    fieldShows.push_back([&options = Options, spin, get] {
        const QSignalBlocker quiet(spin);
        spin->setValue((options.*get)());
    });
}

void TConfigForm::Bind(QLineEdit* field, QString (Settings::*get)() const, void (Settings::*set)(const QString&))
{
    connect(field, &QLineEdit::textChanged, this,
            GuardedSlot([&options = Options, set](const QString& text) { (options.*set)(text); }));
    fieldShows.push_back([&options = Options, field, get] {
        const QSignalBlocker quiet(field);
        field->setText((options.*get)());
    });
}

void TConfigForm::Bind(QComboBox* combo, int (Settings::*get)() const, void (Settings::*set)(int))
{
    connect(combo, &QComboBox::currentIndexChanged, this,
            GuardedSlot([&options = Options, set](int index) { (options.*set)(index); }));
    fieldShows.push_back([&options = Options, combo, get] {
        const QSignalBlocker quiet(combo);
        combo->setCurrentIndex((options.*get)());
    });
}

// A list with a free-text field: the list comes from the option's entries,
// and what the field shows, chosen or typed, is the option's text.
void TConfigForm::BindCombo(QComboBox* combo, ComboField& (Settings::*field)())
{
    connect(combo, &QComboBox::currentTextChanged, this,
            GuardedSlot([&options = Options, field](const QString& text) { (options.*field)().SetText(text); }));
    fieldShows.push_back([&options = Options, combo, field] {
        const QSignalBlocker quiet(combo);
        const ComboField& shown = (options.*field)();
        combo->clear();
        combo->addItems(shown.Items());
        combo->setCurrentIndex(shown.ItemIndex());
        combo->setEditText(shown.Text());
    });
}

void TConfigForm::BindFlag(QCheckBox* box, NotifyFlag flag, NotifyFlags (Settings::*get)() const,
                           void (Settings::*set)(NotifyFlags))
{
    connect(box, &QCheckBox::toggled, this, GuardedSlot([&options = Options, flag, get, set](bool checked) {
        (options.*set)((options.*get)().setFlag(flag, checked));
    }));
    fieldShows.push_back([&options = Options, box, flag, get] {
        const QSignalBlocker quiet(box);
        box->setChecked((options.*get)().testFlag(flag));
    });
}

void TConfigForm::BindChoice(QRadioButton* button, int value, int (Settings::*get)() const,
                             void (Settings::*set)(int))
{
    connect(button, &QRadioButton::toggled, this, GuardedSlot([&options = Options, value, set](bool checked) {
        if (checked)
            (options.*set)(value);
    }));
    fieldShows.push_back([&options = Options, button, value, get] {
        const QSignalBlocker quiet(button);
        button->setChecked((options.*get)() == value);
    });
}

void TConfigForm::ShowFields()
{
    for (const auto& show : fieldShows)
        show();
}

void TConfigForm::ShowAccountList()
{
    showChecks(listAccounts, Options.Accounts().Items());
}

void TConfigForm::ShowBlockedList()
{
    showChecks(listBS, Options.BlockedSenders().Items());
}
