// The configuration dialog and the account and block-sender dialogs,
// offscreen, driven by their controls' names as a user would.

#include "config/AccountRecord.h"
#include "config/AccountVoice.h"
#include "config/FileStore.h"
#include "config/OAuthAccount.h"
#include "config/Registry.h"
#include "config/RegistryStore.h"
#include "config/StoreKeys.h"
#include "dialogs/Accountdlg.h"
#include "dialogs/Bsdlg.h"
#include "dialogs/Configdlg.h"
#include "pop3/Pop3client.h"
#include "tests/support/ModalSteps.h"
#include "tests/support/OAuthProvider.h"
#include "tests/support/TestAccounts.h"
#include "tests/support/UrlCatcher.h"
#include "widgets/Beep.h"
#include "widgets/DialogFrame.h"
#include "widgets/ErrorLabel.h"
#include "widgets/FileDialog.h"
#include "widgets/HelpViewer.h"
#include "widgets/MsgBox.h"
#include "widgets/RadioGroup.h"
#include "widgets/SpinField.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The designed size, grown only where the font needs more: no control is
// squeezed below what its text needs, and the user cannot resize.
void ExpectFixedSizeHoldingEverything(const QWidget& dialog, QSize designed)
{
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.size(), HoldingSize(dialog, designed));
}

// A wrapped line shown with room for all of it.
void ExpectWholeText(const QLabel* label, const char* text)
{
    EXPECT_EQ(label->text(), QLatin1String(text));
    EXPECT_GE(label->height(), label->heightForWidth(label->width())) << text;
}

class ConfigFormTest : public testing::Test
{
protected:
    void SetUp() override
    {
        savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", Home.path().toUtf8());
        SetBeepHook([this] { ++Beeps; });
        SetMsgBoxHook([this](const TMsgBoxRequest& box) {
            Boxes << box.Caption + " | " + box.Text;
            return Answer;
        });
    }

    void TearDown() override
    {
        Form.reset();
        SetBeepHook({});
        SetMsgBoxHook({});
        SetFileDialogHook({});
        qputenv("XDG_CONFIG_HOME", savedConfigHome);
    }

    void Start()
    {
        Form = std::make_unique<TConfigForm>(Options, Pop1, [this] { ++MainWindowShown; });
    }

    template <typename T = QWidget> T* Find(const QString& name, QWidget* in = nullptr)
    {
        T* found = (in ? in : Form.get())->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }

    // Opens the dialog, runs the steps inside it and returns once it closed.
    void Open(std::function<void()> steps)
    {
        OnNextModal([steps = std::move(steps)](QDialog&) { steps(); });
        Form->Execute();
    }

    QString Stored(const QString& key, const QString& name)
    {
        TRegistry reg(Store);
        if (!reg.OpenKey(key, false) || !reg.ValueExists(name))
            return u"(none)"_s;
        switch (reg.GetDataType(name)) {
        case RegType::DWord:
            return QString::number(reg.ReadInteger(name));
        default:
            return reg.ReadString(name);
        }
    }

    QStringList Items(const QString& listName)
    {
        QStringList items;
        const auto* list = Find<QListWidget>(listName);
        for (int row = 0; row < list->count(); ++row)
            items << list->item(row)->text() + (list->item(row)->checkState() == Qt::Checked ? " [x]" : " [ ]");
        return items;
    }

    QString AutostartEntry() const { return Home.filePath(u"autostart/Postwatch.desktop"_s); }

    QTemporaryDir Home;
    QByteArray savedConfigHome;
    MemoryStore Store;
    Settings Options{Store};
    TPop3Client Pop1;
    std::unique_ptr<TConfigForm> Form;
    int MainWindowShown = 0;
    int Beeps = 0;
    QStringList Boxes;
    QMessageBox::StandardButton Answer = QMessageBox::Yes;
};

TEST_F(ConfigFormTest, LaidOutWithItsTabsControlsAndRanges)
{
    Start();
    EXPECT_EQ(Form->windowTitle(), "Postwatch Configuration");
    ExpectFixedSizeHoldingEverything(*Form, QSize(449, 320));
    auto* pages = Find<QTabWidget>(u"ConfigPage"_s);
    QStringList tabs;
    for (int i = 0; i < pages->count(); ++i)
        tabs << pages->widget(i)->objectName() + ":" + pages->tabText(i);
    EXPECT_EQ(tabs, (QStringList{"TabGeneral:General Options", "TabConnection:Connection", "TabNotify:Notification",
                                 "TabAccounts:Accounts", "TabFilters:Message Filters"}));

    const std::pair<const char*, const char*> captions[] = {
        {"chkLoadOnStartup", "Load On Startup"}, {"chkStartVisible", "Start Visible"},
        {"chkHKEnabled", "Hotkey Enabled"}, {"radClientDef", "Use Default Client"},
        {"radClientSpec", "Use Specified Client"}, {"radLanConn", "Always-on/LAN connection"},
        {"radWaitConn", "Wait for internet connection"}, {"radInitConn", "Initiate internet connection using"},
        {"chkHangUp", "Hang up when done"}, {"chkHangUpWait", "If messages are found, wait to hang up for"},
        {"chkHighShowList", "Show Message List"}, {"chkNormFlashIcon", "Flash Tray Icon"},
        {"chkLowLaunch", "Launch Email Client"}, {"chkNormPlaySound", "Play Sound"},
        {"chkHighDesktop", "Show Desktop Notification"},
        {"chkNotifyNewOnly", "Only announce messages that were not there at the last check"}, {"btnAccNew", "New"}, {"btnAccEdit", "Edit"},
        {"btnAccDel", "Delete"}, {"btnBSAdd", "Add"}, {"btnBSDel", "Delete"},
        {"chkBlankFrom", "Blank \"From\" Line"}, {"chkBlankTo", "Blank \"To\" Line"},
        {"chkBlankSubject", "Blank \"Subject\" Line"}, {"chkZeroLength", "Zero Length"}, {"btnDone", "Done"},
        {"btnCancel", "Cancel"}, {"btnHelp", "Help"}};
    for (const auto& [name, caption] : captions)
        EXPECT_EQ(Find<QAbstractButton>(QLatin1String(name))->text(), QLatin1String(caption)) << name;

    EXPECT_EQ(Find<QGroupBox>(u"radCheckEnabled"_s)->title(), "Checking");
    EXPECT_EQ(Find<TRadioGroup>(u"grpResponse"_s)->Button(0)->text(), "Delete blocked messages");
    EXPECT_EQ(Find<TRadioGroup>(u"grpResponse"_s)->Button(1)->text(), "Leave blocked messages on server");
    pages->setCurrentWidget(Find(u"TabFilters"_s));
    Form->show();
    ExpectWholeText(Find<QLabel>(u"lblBlockedMail"_s),
                    "Mail from ticked senders is hidden; with \"Delete blocked messages\" it is deleted on the server.");
    EXPECT_EQ(Find<QComboBox>(u"cmbHotkey"_s)->count(), 12);
    EXPECT_EQ(Find<QComboBox>(u"cmbHotkey"_s)->itemText(11), "F12");
    EXPECT_EQ(Find<QComboBox>(u"cmbModifier"_s)->itemText(3), "Shift");
    for (const char* spin : {"spinInterval", "spinTimeout"}) {
        auto* field = Find<QSpinBox>(QLatin1String(spin));
        EXPECT_EQ(field->minimum(), 1);
        EXPECT_EQ(field->maximum(), 999);
        QTest::keyClicks(field, "5");
        EXPECT_NE(field->text().right(1), "5") << spin << " takes no typing";
    }
    EXPECT_EQ(HelpContext(Find(u"chkZeroLength"_s)), 333);
    EXPECT_EQ(HelpContext(Find(u"cmbConnectoids"_s)), 314);
}

// Each control shows its option and a change is the option's change at once.
TEST_F(ConfigFormTest, ControlsShowAndEditTheSettingsThemselves)
{
    {
        TRegistry reg(Store);
        reg.OpenKey(StoreKeys::Program, true);
        reg.WriteInteger(u"HighNotify"_s, NotifyPlaySound | NotifyDesktop);
    }
    Start();
    EXPECT_EQ(MainWindowShown, 1) << "Start Visible is on by default";
    EXPECT_TRUE(Find<QCheckBox>(u"chkHighPlaySound"_s)->isChecked());
    EXPECT_TRUE(Find<QCheckBox>(u"chkHighDesktop"_s)->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(u"chkHighShowList"_s)->isChecked());
    EXPECT_TRUE(Find<QRadioButton>(u"radWaitConn"_s)->isChecked());

    Open([this] {
        Find<QCheckBox>(u"chkHighDesktop"_s)->click();
        Find<QCheckBox>(u"chkLowLaunch"_s)->click();
        Find<QRadioButton>(u"radInitConn"_s)->click();
        Find<TRadioGroup>(u"radCheckEnabled"_s)->Button(1)->click();
        Find<QComboBox>(u"cmbModifier"_s)->setCurrentIndex(3);
        Find<QSpinBox>(u"spinDelayMin"_s)->setValue(2);
        EXPECT_EQ(Options.HighNotify(), NotifyFlags(NotifyPlaySound));
        EXPECT_EQ(Options.LowNotify(), NotifyShowList | NotifyFlashIcon | NotifyLaunchClient);
        EXPECT_EQ(Options.ConnType(), InitConn);
        EXPECT_FALSE(Options.CheckingEnabled());
        EXPECT_EQ(Options.Modifier(), 3);
        EXPECT_EQ(Options.HangUpDelay(), 120);
        Find<QPushButton>(u"btnDone"_s)->click();
    });
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Stored(StoreKeys::Program, u"HighNotify"_s), "8");
    EXPECT_EQ(Stored(StoreKeys::Program, u"HangUpDelay"_s), "120");

    Options.SetInterval(25); // from elsewhere while the dialog was hidden
    Open([this] {
        EXPECT_EQ(Find<QSpinBox>(u"spinInterval"_s)->value(), 25);
        Form->close();
    });
}

TEST_F(ConfigFormTest, CancelLoadsBackAndTheTimeoutFollowsTheCloseButtonDoesNeither)
{
    Start();
    EXPECT_EQ(Pop1.TimeOut, 30000);
    Open([this] {
        Find<QSpinBox>(u"spinTimeout"_s)->setValue(45);
        EXPECT_EQ(Pop1.TimeOut, 45000) << "at once, while the dialog is open";
        QTest::keyClick(Form.get(), Qt::Key_Escape);
    });
    EXPECT_EQ(Pop1.TimeOut, 30000);
    EXPECT_EQ(Options.Timeout(), 30);
    EXPECT_EQ(Find<QSpinBox>(u"spinTimeout"_s)->value(), 30);

    Open([this] {
        Find<QSpinBox>(u"spinTimeout"_s)->setValue(50);
        Form->close();
    });
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Options.Timeout(), 50) << "closing keeps the edit";
    EXPECT_EQ(Stored(StoreKeys::Program, u"Timeout"_s), "30") << "and stores nothing";
}

// Quiet hours that end where they start are refused in words, on their tab.
TEST_F(ConfigFormTest, QuietHoursAreSetByTheirTimesAndDoneRefusesAnEndEqualToTheStart)
{
    Start();
    EXPECT_TRUE(Find<QCheckBox>(u"chkQuietBreakThrough"_s)->isChecked());
    Open([this] {
        Find<QTabWidget>(u"ConfigPage"_s)->setCurrentIndex(0);
        Find<QCheckBox>(u"chkQuietHours"_s)->click();
        EXPECT_EQ(Options.QuietHours(), "22:00-07:00");
        Find<QTimeEdit>(u"timeQuietTo"_s)->setTime(QTime(22, 0));
        Find<QPushButton>(u"btnDone"_s)->click();
        EXPECT_TRUE(Form->isVisible());
        EXPECT_EQ(Beeps, 1);
        EXPECT_EQ(Find<QTabWidget>(u"ConfigPage"_s)->currentWidget(), Find(u"TabNotify"_s));
        EXPECT_EQ(Find<QLabel>(u"lblQuietError"_s)->text(),
                  "The quiet hours end when they start: choose another end.");
        Find<QTimeEdit>(u"timeQuietTo"_s)->setTime(QTime(6, 30));
        EXPECT_EQ(Find<QLabel>(u"lblQuietError"_s)->text(), "");
        Find<QPushButton>(u"btnDone"_s)->click();
    });
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Stored(StoreKeys::Program, u"QuietHours"_s), "22:00-06:30");
}

TEST_F(ConfigFormTest, LoadOnStartupCheckedThenCancelledRemovesTheAutostartEntryAgain)
{
    Start();
    Open([this] {
        Find<QCheckBox>(u"chkLoadOnStartup"_s)->click();
        EXPECT_TRUE(QFile::exists(AutostartEntry()));
        Find<QPushButton>(u"btnCancel"_s)->click();
    });
    EXPECT_FALSE(QFile::exists(AutostartEntry()));
    EXPECT_FALSE(Find<QCheckBox>(u"chkLoadOnStartup"_s)->isChecked());
}

TEST_F(ConfigFormTest, SoundBrowseOffersWavFilesAndFillsTheField)
{
    Start();
    QStringList filters;
    SetFileDialogHook([&](const TFileDialogRequest& request) {
        filters = request.Filters;
        return u"/usr/share/sounds/new mail.wav"_s;
    });
    Find<QToolButton>(u"btnLowBrowse"_s)->click();
    EXPECT_EQ(filters, (QStringList{"Wav files (*.wav)", "All files (*)"}));
    EXPECT_EQ(Find<QLineEdit>(u"editLowSoundFile"_s)->text(), "/usr/share/sounds/new mail.wav");
    EXPECT_EQ(Options.LowSoundfile(), "/usr/share/sounds/new mail.wav");

    SetFileDialogHook([](const TFileDialogRequest&) { return QString(); });
    Find<QToolButton>(u"btnLowBrowse"_s)->click();
    EXPECT_EQ(Options.LowSoundfile(), "/usr/share/sounds/new mail.wav") << "cancelled: unchanged";
}

TEST_F(ConfigFormTest, HelpOpensTheTopicOfTheTabShown)
{
    Start();
    Find<QPushButton>(u"btnHelp"_s)->click();
    EXPECT_EQ(THelpViewer::Instance().CurrentTopic(), 338);
    Find<QTabWidget>(u"ConfigPage"_s)->setCurrentIndex(4);
    Find<QPushButton>(u"btnHelp"_s)->click();
    EXPECT_EQ(THelpViewer::Instance().CurrentTopic(), 342);
    THelpViewer::Instance().close();
}

TEST_F(ConfigFormTest, TabOnTheNotificationTabGoesRowByRow)
{
    Start();
    QStringList order;
    for (QWidget* w = Find(u"chkNormShowList"_s); order.size() < 8; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            order << w->objectName();
    EXPECT_EQ(order, (QStringList{"chkNormShowList", "chkNormFlashIcon", "chkNormLaunch", "chkNormDesktop",
                                  "chkNormPlaySound", "editNormSoundFile", "btnNormBrowse", "chkHighShowList"}));
}

TEST_F(ConfigFormTest, AccountsAreAddedMarkedAndDeletedAsTheyAreMade)
{
    StoreAccount(Store, "Home", "pop.example.org", 110, "ann", "secret", false);
    Start();
    EXPECT_EQ(Items(u"listAccounts"_s), QStringList{"Home [ ]"});

    OnNextModal([this](QDialog& account) {
        EXPECT_EQ(account.windowTitle(), "Add Account");
        QTest::keyClicks(Find<QLineEdit>(u"editAccName"_s, &account), "Work");
        QTest::keyClicks(Find<QLineEdit>(u"editServer"_s, &account), "mail.example.com");
        QTest::keyClicks(Find<QLineEdit>(u"editUsername"_s, &account), "bob");
        QTest::keyClicks(Find<QLineEdit>(u"editPassword"_s, &account), "pw");
        Find<QPushButton>(u"btnOK"_s, &account)->click();
    });
    Find<QPushButton>(u"btnAccNew"_s)->click();
    EXPECT_EQ(Items(u"listAccounts"_s), (QStringList{"Home [ ]", "Work [x]"}));
    EXPECT_EQ(Options.SelectedAccounts(), QStringList{"Work"});

    auto* list = Find<QListWidget>(u"listAccounts"_s);
    list->item(0)->setCheckState(Qt::Checked);
    EXPECT_EQ(Stored(StoreKeys::Accounts + u"\\Home"_s, u"Selected"_s), "1") << "stored at once";
    EXPECT_EQ(list->currentRow(), 0) << "ticking an account selects it";

    list->setCurrentRow(-1);
    Find<QPushButton>(u"btnAccEdit"_s)->click();
    Find<QPushButton>(u"btnAccDel"_s)->click();
    EXPECT_EQ(Beeps, 2) << "nothing selected";
    EXPECT_TRUE(Boxes.isEmpty());

    for (const char* name : {"Home", "Work"}) {
        list->setCurrentRow(0);
        Answer = name == QLatin1String("Home") ? QMessageBox::No : QMessageBox::Yes;
        Find<QPushButton>(u"btnAccDel"_s)->click();
        Answer = QMessageBox::Yes;
        Find<QPushButton>(u"btnAccDel"_s)->click();
    }
    EXPECT_EQ(Boxes.first(), "Delete Account | Are you sure you want to delete this account?");
    EXPECT_TRUE(Items(u"listAccounts"_s).isEmpty());
    TRegistry reg(Store);
    EXPECT_TRUE(reg.OpenKey(StoreKeys::Accounts, false)) << "the Accounts key stays";
    EXPECT_TRUE(reg.GetKeyNames().isEmpty());
}

// A blank in front is part of the sender text a message is matched by.
TEST_F(ConfigFormTest, BlockSenderRefusesBlanksAloneInWordsAndStoresALeadingBlank)
{
    Start();
    TBSForm form(Options);
    auto* sender = Find<QLineEdit>(u"editSenderName"_s, &form);
    QTest::keyClicks(sender, "   ");
    Find<QPushButton>(u"btnOK"_s, &form)->click();
    EXPECT_EQ(Beeps, 1);
    EXPECT_EQ(Find<QLabel>(u"lblError"_s, &form)->text(), "The sender to block is empty.");
    sender->setText(u" Spam <spam@example.com>"_s);
    EXPECT_EQ(Find<QLabel>(u"lblError"_s, &form)->text(), "") << "an edit clears the reason";
    Find<QPushButton>(u"btnOK"_s, &form)->click();
    EXPECT_EQ(Items(u"listBS"_s), QStringList{" Spam <spam@example.com> [x]"});
}

TEST_F(ConfigFormTest, BlockingASenderTwiceLeavesOneCheckedEntry)
{
    Start();
    for (int time = 0; time < 2; ++time) {
        OnNextModal([this](QDialog& block) {
            EXPECT_EQ(block.windowTitle(), "Block Sender");
            ExpectFixedSizeHoldingEverything(block, QSize(241, 89));
            ExpectWholeText(Find<QLabel>(u"lblBlockedMail"_s, &block),
                            "Mail from this sender is hidden; with \"Delete blocked messages\" it is deleted on the "
                            "server.");
            Find<QPushButton>(u"btnOK"_s, &block)->click();
            EXPECT_EQ(Beeps, 1) << "an empty name is refused";
            QTest::keyClicks(Find<QLineEdit>(u"editSenderName"_s, &block), "Spam <spam@example.com>");
            Find<QPushButton>(u"btnOK"_s, &block)->click();
        });
        Find<QPushButton>(u"btnBSAdd"_s)->click();
        Beeps = 0;
        Find<QListWidget>(u"listBS"_s)->item(0)->setCheckState(Qt::Unchecked);
    }
    Find<QListWidget>(u"listBS"_s)->item(0)->setCheckState(Qt::Checked);
    EXPECT_EQ(Items(u"listBS"_s), QStringList{"Spam <spam@example.com> [x]"});
    EXPECT_TRUE(Options.IsSenderBlocked(u"spam@example.com"_s));

    Find<QListWidget>(u"listBS"_s)->item(0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(Stored(StoreKeys::BlockedSenders, u"Spam <spam@example.com>"_s), "0") << "the mark stored at once";
    Find<QListWidget>(u"listBS"_s)->setCurrentRow(0);
    Find<QPushButton>(u"btnBSDel"_s)->click();
    EXPECT_EQ(Boxes, QStringList{"Confirm Delete | Are you sure you want to delete this item?"});
    EXPECT_TRUE(Items(u"listBS"_s).isEmpty());
}

class AccountFormTest : public ConfigFormTest
{
protected:
    QString Field(TAccountForm& form, const char* name) { return Find<QLineEdit>(QLatin1String(name), &form)->text(); }
    void Type(TAccountForm& form, const char* name, const QString& text)
    {
        auto* field = Find<QLineEdit>(QLatin1String(name), &form);
        field->clear();
        QTest::keyClicks(field, text);
    }
};

TEST_F(AccountFormTest, AddModeLayoutDefaultsAndAMaskedPasswordShownWhileHeld)
{
    TAccountForm form(Store);
    EXPECT_EQ(form.windowTitle(), "Add Account");
    ExpectFixedSizeHoldingEverything(form, QSize(298, 229));
    EXPECT_TRUE(form.IsNewAccount);
    auto* port = Find<QSpinBox>(u"spinPort"_s, &form);
    auto* security = Find<QComboBox>(u"cmbSecurity"_s, &form);
    EXPECT_EQ(security->currentText(), "SSL/TLS");
    EXPECT_EQ(port->value(), 995);
    port->setValue(40110);
    Find<QPushButton>(u"btnUseDef"_s, &form)->click();
    EXPECT_EQ(port->value(), 995);

    QStringList order;
    for (QWidget* w = Find(u"editAccName"_s, &form); order.size() < 13; w = w->nextInFocusChain())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_") && w->focusPolicy() & Qt::TabFocus
            && !w->isHidden())
            order << w->objectName();
    EXPECT_EQ(order, (QStringList{"editAccName", "cmbProtocol", "cmbSignIn", "editServer", "spinPort", "cmbSecurity",
                                  "btnUseDef", "editUsername", "editPassword", "editFolder", "editCertFingerprint",
                                  "chkQuickCheck", "btnOK"}));

    auto* password = Find<QLineEdit>(u"editPassword"_s, &form);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    auto* show = Find<QToolButton>(u"btnShowPassword"_s, &form);
    emit show->pressed();
    EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
    emit show->released();
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
}

TEST_F(AccountFormTest, OkRefusesAnEmptyFieldOrABackslashNameWithABeepAndWritesNothing)
{
    TAccountForm form(Store);
    Type(form, "editAccName", "Home");
    Type(form, "editServer", "pop.example.org");
    Type(form, "editUsername", "ann");
    Find<QPushButton>(u"btnOK"_s, &form)->click();
    Type(form, "editAccName", "Home\\Nested");
    Type(form, "editPassword", "secret");
    Find<QPushButton>(u"btnOK"_s, &form)->click();
    EXPECT_EQ(Beeps, 2);
    EXPECT_FALSE(Store.Tree().Find(RootKey::HKEY_CURRENT_USER, StoreKeys::Accounts));
    EXPECT_NE(Find(u"editAccName"_s, &form)->toolTip(), "");
}

TEST_F(AccountFormTest, AddingTheNameOfADisabledAccountReplacesItEnabled)
{
    StoreAccount(Store, "Home", "old.example.org", 110, "old", "old", false);
    TAccountForm form(Store);
    Type(form, "editAccName", "Home");
    Type(form, "editServer", "new.example.org");
    Type(form, "editUsername", "ann");
    Type(form, "editPassword", "n3w pass!");
    Find<QSpinBox>(u"spinPort"_s, &form)->setValue(40110);
    Find<QPushButton>(u"btnOK"_s, &form)->click();
    const QString key = StoreKeys::Accounts + u"\\Home"_s;
    EXPECT_EQ(Stored(key, u"Server"_s), "new.example.org");
    EXPECT_EQ(Stored(key, u"Username"_s), "ann");
    EXPECT_EQ(Stored(key, u"Password"_s), ScramblePassword(u"n3w pass!"_s));
    EXPECT_EQ(Stored(key, u"Port"_s), "40110");
    EXPECT_EQ(Stored(key, u"Selected"_s), "1");
}

TEST_F(AccountFormTest, EditingCompletesMissingValuesAndARenameLeavesBoth)
{
    TRegistry reg(Store);
    reg.OpenKey(StoreKeys::Accounts + u"\\Home"_s, true);
    reg.WriteString(u"Server"_s, u"pop.example.org"_s);
    reg.WriteString(u"Password"_s, ScramblePassword(u"secret"_s));
    reg.CloseKey();

    TAccountForm form(Store, u"Home"_s);
    EXPECT_EQ(form.windowTitle(), "Edit Account");
    EXPECT_EQ(Find<QSpinBox>(u"spinPort"_s, &form)->value(), 110);
    EXPECT_EQ(Find<QComboBox>(u"cmbSecurity"_s, &form)->currentText(), "None") << "an old account stays as it was";
    EXPECT_EQ(Stored(StoreKeys::Accounts + u"\\Home"_s, u"Port"_s), "110") << "written when the dialog opened";
    EXPECT_EQ(Field(form, "editPassword"), "secret");
    EXPECT_TRUE(form.WasSelected);

    Type(form, "editAccName", "Home2");
    Type(form, "editUsername", "ann");
    Find<QPushButton>(u"btnOK"_s, &form)->click();
    Options.Accounts().Fill();
    EXPECT_EQ(Options.SelectedAccounts(), (QStringList{"Home", "Home2"}));
    EXPECT_EQ(Stored(StoreKeys::Accounts + u"\\Home"_s, u"Username"_s), "");
    EXPECT_EQ(Stored(StoreKeys::Accounts + u"\\Home2"_s, u"Username"_s), "ann");
}

// The port follows the security choice while it is the usual one; a
// fingerprint is stored as openssl prints it, and an edit keeps it.
TEST_F(AccountFormTest, SecurityMovesAUsualPortAndATrustedFingerprintIsKept)
{
    TAccountForm form(Store);
    auto* port = Find<QSpinBox>(u"spinPort"_s, &form);
    auto* security = Find<QComboBox>(u"cmbSecurity"_s, &form);
    security->setCurrentIndex(secStartTls);
    EXPECT_EQ(port->value(), 110);
    port->setValue(40110);
    security->setCurrentIndex(secTls);
    EXPECT_EQ(port->value(), 40110);
    port->setValue(110);

    Type(form, "editAccName", "Home");
    Type(form, "editServer", "pop.example.org");
    Type(form, "editUsername", "ann");
    Type(form, "editPassword", "secret");
    Type(form, "editCertFingerprint", "not a fingerprint");
    Find<QPushButton>(u"btnOK"_s, &form)->click();
    EXPECT_EQ(Beeps, 1);
    const QString hex = u"0123456789abcdef"_s.repeated(4);
    Type(form, "editCertFingerprint", "sha256 Fingerprint=" + hex);
    Find<QPushButton>(u"btnOK"_s, &form)->click();
    const QString key = StoreKeys::Accounts + u"\\Home"_s;
    const QString normal = u"01:23:45:67:89:AB:CD:EF:"_s.repeated(4).chopped(1);
    EXPECT_EQ(Stored(key, u"Security"_s), "2");
    EXPECT_EQ(Stored(key, u"Port"_s), "110");
    EXPECT_EQ(Stored(key, u"CertFingerprint"_s), normal);

    EXPECT_EQ(Stored(key, u"QuickCheck"_s), "1") << "on for a new account";

    TAccountForm edit(Store, u"Home"_s);
    EXPECT_EQ(Find<QComboBox>(u"cmbSecurity"_s, &edit)->currentText(), "SSL/TLS");
    EXPECT_EQ(Find<QSpinBox>(u"spinPort"_s, &edit)->value(), 110);
    EXPECT_EQ(Field(edit, "editCertFingerprint"), normal);
    Find<QCheckBox>(u"chkQuickCheck"_s, &edit)->setChecked(false);
    Find<QPushButton>(u"btnOK"_s, &edit)->click();
    EXPECT_EQ(Stored(key, u"CertFingerprint"_s), normal);
    EXPECT_EQ(Stored(key, u"QuickCheck"_s), "0");
    TAccountForm again(Store, u"Home"_s);
    EXPECT_FALSE(Find<QCheckBox>(u"chkQuickCheck"_s, &again)->isChecked());
}

// Each refusal names the field and why, takes the focus there and goes at
// the next edit; the beep stays for those who hear it.
TEST_F(AccountFormTest, ARefusedOkSaysWhichFieldIsWrongAndWhy)
{
    TAccountForm form(Store);
    form.show();
    auto* why = Find<QLabel>(u"lblError"_s, &form);
    const auto refusal = [&](const char* field, const QString& text) {
        Type(form, field, text);
        Find<QPushButton>(u"btnOK"_s, &form)->click();
        return why->text() + " @" + form.focusWidget()->objectName();
    };
    EXPECT_EQ(refusal("editAccName", u"  "_s), "The account name is empty. @editAccName");
    EXPECT_EQ(refusal("editAccName", u"Home\\Work"_s), "An account name cannot contain a backslash (\\). @editAccName");
    EXPECT_EQ(refusal("editAccName", u"Home"_s), "The server name is empty. @editServer");
    const QString pasted = u"pop.a-long-provider-name-for-mail.example.org imap.another-long-name.example.org"_s;
    EXPECT_EQ(refusal("editServer", pasted), "The server name \"" + pasted + "\" has a blank in it. @editServer");
    EXPECT_GE(why->height(), why->heightForWidth(why->width())) << "a long reason is not cut";
    auto* port = Find<QSpinBox>(u"spinPort"_s, &form);
    port->selectAll();
    QTest::keyClick(port, Qt::Key_0);
    EXPECT_EQ(refusal("editServer", u"pop.example.org"_s), "The port must be a number from 1 to 65535. @spinPort")
        << "stored would be another port than the one shown";
    QTest::keyClick(port, Qt::Key_2);
    EXPECT_EQ(why->text(), "");
    EXPECT_EQ(refusal("editServer", u"pop.example.org"_s), "The username is empty. @editUsername");
    EXPECT_EQ(refusal("editUsername", u"ann"_s), "The password is empty. @editPassword");
    Type(form, "editPassword", u"secret"_s);
    EXPECT_TRUE(refusal("editCertFingerprint", u"AB:CD"_s).startsWith("The trusted certificate must be a SHA-256"));
    EXPECT_EQ(Beeps, 8);
    Type(form, "editCertFingerprint", {});
    EXPECT_EQ(why->text(), "");
    Find<QPushButton>(u"btnOK"_s, &form)->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

// A pasted blank would fail every check; a password keeps its blanks.
TEST_F(AccountFormTest, BlanksAroundNamesAreNotStoredAndAnOldBlankNameIsMovedNotDoubled)
{
    TAccountForm form(Store);
    Type(form, "editAccName", u" Home "_s);
    Type(form, "editServer", u"\tpop.example.org "_s);
    Type(form, "editUsername", u" ann "_s);
    Type(form, "editPassword", u" pass word "_s);
    Find<QPushButton>(u"btnOK"_s, &form)->click();
    const QString key = StoreKeys::Accounts + u"\\Home"_s;
    EXPECT_EQ(Stored(key, u"Server"_s), "pop.example.org");
    EXPECT_EQ(Stored(key, u"Username"_s), "ann");
    EXPECT_EQ(Stored(key, u"Password"_s), ScramblePassword(u" pass word "_s));

    StoreAccount(Store, "Work ", "mail.example.com", 110, "bob", "pw");
    TAccountForm edit(Store, u"Work "_s);
    Find<QPushButton>(u"btnOK"_s, &edit)->click();
    Options.Accounts().Fill();
    EXPECT_EQ(Options.SelectedAccounts(), (QStringList{"Home", "Work"}));
    EXPECT_EQ(Stored(StoreKeys::Accounts + u"\\Work"_s, u"Server"_s), "mail.example.com");
}

// Typed as a provider's page gives it; the arrows step one by one as before.
// The general options as stored are where an account's own ways start.
TEST_F(AccountFormTest, TheNotificationTabStoresTheAccountsOwnWaysOnOkOnlyAndARenameCarriesThem)
{
    StoreAccount(Store, "Home", "pop.example.org", 110, "ann", "secret");
    TRegistry program(Store);
    program.OpenKey(StoreKeys::Program, true);
    TAccountVoice::Write(program, TAccountVoice{{NotifyFlashIcon, {}}, {NotifyShowList | NotifyPlaySound, "/s/general.wav"}, {}});
    program.CloseKey();
    const auto own = [this](TAccountForm& form) {
        Find<QRadioButton>(u"radVoiceOwn"_s, &form)->click();
        Find<QCheckBox>(u"chkNormShowList"_s, &form)->click();
        Find<QCheckBox>(u"chkHighPlaySound"_s, &form)->click();
        Find<QToolButton>(u"btnHighBrowse"_s, &form)->click();
    };
    SetFileDialogHook([](const TFileDialogRequest&) { return u"/s/urgent.wav"_s; });
    {
        TAccountForm form(Store, u"Home"_s);
        EXPECT_TRUE(Find<QRadioButton>(u"radVoiceGeneral"_s, &form)->isChecked());
        EXPECT_EQ(Field(form, "editNormSoundFile"), "/s/general.wav");
        EXPECT_FALSE(Find<QCheckBox>(u"chkNormPlaySound"_s, &form)->isEnabled());
        own(form);
        Find<QPushButton>(u"btnCancel"_s, &form)->click();
    }
    EXPECT_FALSE(TAccountVoice::Read(Store, u"Home"_s)) << "Cancel writes nothing";

    const TAccountVoice chosen{{NotifyFlashIcon | NotifyPlaySound, "/s/urgent.wav"}, {NotifyPlaySound, "/s/general.wav"}, {}};
    {
        TAccountForm form(Store, u"Home"_s);
        own(form);
        Type(form, "editAccName", "Home2");
        Find<QTabWidget>(u"AccountPages"_s, &form)->setCurrentIndex(1);
        Type(form, "editPassword", "");
        Find<QPushButton>(u"btnOK"_s, &form)->click();
        EXPECT_EQ(Find<QTabWidget>(u"AccountPages"_s, &form)->currentIndex(), 0) << "the refusal shows its field";
        Type(form, "editPassword", "secret");
        Find<QPushButton>(u"btnOK"_s, &form)->click();
    }
    EXPECT_EQ(TAccountVoice::Read(Store, u"Home2"_s), chosen);
    EXPECT_FALSE(TAccountVoice::Read(Store, u"Home"_s)) << "the old account is left as it was";

    TAccountForm back(Store, u"Home2"_s);
    EXPECT_TRUE(Find<QRadioButton>(u"radVoiceOwn"_s, &back)->isChecked());
    EXPECT_EQ(Field(back, "editHighSoundFile"), "/s/urgent.wav");
    Find<QRadioButton>(u"radVoiceGeneral"_s, &back)->click();
    Find<QPushButton>(u"btnOK"_s, &back)->click();
    EXPECT_FALSE(TAccountVoice::Read(Store, u"Home2"_s));
}

TEST_F(AccountFormTest, ThePortTakesTypedDigitsFrom1To65535)
{
    TAccountForm form(Store);
    auto* port = Find<QSpinBox>(u"spinPort"_s, &form);
    port->selectAll();
    QTest::keyClicks(port, "52300");
    EXPECT_EQ(port->value(), 52300);
    port->selectAll();
    QTest::keyClicks(port, "70000");
    EXPECT_EQ(port->text(), "7000") << "beyond 65535 the last digit is refused";
    QTest::keyClick(port, Qt::Key_Up);
    EXPECT_EQ(port->value(), 7001);
}

}

// A preset fills the server and asks for no password; an edit keeps the
// sign-in values, the kept token and QuickCheck across the rewrite of the
// key; Other's addresses must not send a code in the clear.
TEST_F(AccountFormTest, AProviderFillsItsServerAndAnEditKeepsTheSignIn)
{
    const QString key = StoreKeys::Accounts + u"\\Home"_s;
    {
        TAccountForm form(Store);
        Type(form, "editAccName", u"Home"_s);
        Type(form, "editUsername", u"ann@gmail.com"_s);
        form.cmbSignIn->setCurrentText(u"Google"_s);
        EXPECT_EQ(Field(form, "editServer"), "pop.gmail.com");
        EXPECT_EQ(form.spinPort->value(), 995);
        EXPECT_EQ(form.cmbSecurity->currentText(), "SSL/TLS");
        EXPECT_TRUE(form.editPassword->isHidden());
        EXPECT_TRUE(form.editAuthorizeUrl->isHidden());
        EXPECT_FALSE(form.editClientId->isHidden());
        EXPECT_FALSE(form.btnSignIn->isHidden());
        ExpectFixedSizeHoldingEverything(form, QSize(298, 229));
        form.show();
        Type(form, "editClientId", {});
        form.btnOK->click();
        EXPECT_EQ(form.lblError->text() + " @" + form.focusWidget()->objectName(), "The client id is empty. @editClientId");
        Type(form, "editClientId", u"123.apps.example"_s);
        form.btnOK->click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
    }
    EXPECT_EQ(Stored(key, u"Auth"_s), "1");
    EXPECT_EQ(Stored(key, u"OAuthScope"_s), "https://mail.google.com/");
    EXPECT_EQ(Stored(key, u"Password"_s), "(none)") << "none asked, none stored";
    StoreRefreshToken(Store, u"Home"_s, u"rt-kept"_s);
    {
        TRegistry reg(Store);
        reg.OpenKey(key, false);
        reg.WriteInteger(u"QuickCheck"_s, 0);
    }

    TAccountForm form(Store, u"Home"_s);
    EXPECT_EQ(form.cmbSignIn->currentText(), "Google");
    EXPECT_EQ(Field(form, "editClientId"), "123.apps.example");
    form.btnOK->click();
    EXPECT_EQ(ReadRefreshToken(Store, u"Home"_s), "rt-kept");
    EXPECT_EQ(Stored(key, u"QuickCheck"_s), "0");
    EXPECT_EQ(Stored(key, u"OAuthClientId"_s), "123.apps.example");

    TAccountForm other(Store, u"Home"_s);
    other.show();
    other.cmbSignIn->setCurrentText(u"Other"_s);
    EXPECT_FALSE(other.editAuthorizeUrl->isHidden());
    EXPECT_EQ(Field(other, "editAuthorizeUrl"), "https://accounts.google.com/o/oauth2/v2/auth") << "a start to edit";
    Type(other, "editAuthorizeUrl", u"http://mail.example.org/authorize"_s);
    other.btnOK->click();
    EXPECT_EQ(other.lblError->text() + " @" + other.focusWidget()->objectName(),
              "The sign-in address must be an https:// address. @editAuthorizeUrl");

    TAccountForm replacing(Store);
    Type(replacing, "editAccName", u"Home"_s);
    Type(replacing, "editServer", u"pop.example.org"_s);
    Type(replacing, "editUsername", u"bob"_s);
    Type(replacing, "editPassword", u"pw"_s);
    replacing.btnOK->click();
    EXPECT_EQ(ReadRefreshToken(Store, u"Home"_s), "") << "a new account of the name gets no one else's sign-in";
}

// "Sign in..." stores the new account first, signs in through the browser
// the desktop opens, and a later OK keeps what the sign-in kept.
TEST_F(AccountFormTest, SignInStoresTheAccountAndKeepsItsToken)
{
    TestProvider provider;
    UrlCatcher browser;
    browser.Then = OpenInFakeBrowser;
    QDesktopServices::setUrlHandler(u"http"_s, &browser, "Open");
    const auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler(u"http"_s); });
    TAccountForm form(Store);
    Type(form, "editAccName", u"Home"_s);
    Type(form, "editUsername", u"ann"_s);
    form.cmbSignIn->setCurrentText(u"Other"_s);
    Type(form, "editServer", u"127.0.0.1"_s);
    Type(form, "editAuthorizeUrl", provider.Url(u"/authorize"_s).toString());
    Type(form, "editTokenUrl", provider.Url(u"/token"_s).toString());
    Type(form, "editClientId", u"postwatch-test"_s);

    form.btnSignIn->click();

    EXPECT_EQ(form.lblSignIn->text(), "Signed in");
    ASSERT_EQ(browser.Urls.size(), 1);
    const QString kept = ReadRefreshToken(Store, u"Home"_s);
    EXPECT_TRUE(kept.startsWith("rt-")) << kept.toStdString();
    form.btnOK->click();
    EXPECT_EQ(ReadRefreshToken(Store, u"Home"_s), kept);
    EXPECT_EQ(TOAuthAccount::Read(Store, u"Home"_s).Auth, authOAuth2);

    TestProvider refusing({"--token", "error"});
    Type(form, "editTokenUrl", refusing.Url(u"/token"_s).toString());
    form.btnSignIn->click();
    EXPECT_TRUE(form.lblSignIn->text().contains("Home")) << form.lblSignIn->text().toStdString();
    EXPECT_EQ(ReadRefreshToken(Store, u"Home"_s), "") << "the old address's token is not kept for the new one";

    TestProvider denying({"--authorize", "error-redirect"});
    Type(form, "editAuthorizeUrl", denying.Url(u"/authorize"_s).toString());
    form.btnSignIn->click();
    EXPECT_TRUE(form.lblSignIn->text().endsWith("access_denied (The user said no  [2J)"))
        << "the provider's words without its escape codes: " << form.lblSignIn->text().toStdString();
}

// A kept sign-in serves the provider, client and mailbox it was given for:
// an edit that changes any of them, or turns to the password, drops it.
TEST_F(AccountFormTest, AnEditToAnotherProviderOrMailboxDropsTheKeptSignIn)
{
    const std::function<void(TAccountForm&)> edits[] = {
        [this](TAccountForm& form) { form.cmbSignIn->setCurrentText(u"Microsoft"_s), Type(form, "editClientId", u"456"_s); },
        [this](TAccountForm& form) { form.cmbSignIn->setCurrentText(u"Other"_s), Type(form, "editTokenUrl", u"https://x.example/t"_s); },
        [this](TAccountForm& form) { form.cmbSignIn->setCurrentText(u"Password"_s), Type(form, "editPassword", u"pw"_s); },
        [this](TAccountForm& form) { Type(form, "editServer", u"pop.example.org"_s); },
        [this](TAccountForm& form) { Type(form, "editUsername", u"bob@gmail.com"_s); },
        [this](TAccountForm& form) { Type(form, "editClientId", u"789.apps.example"_s); },
    };
    for (size_t i = 0; i < std::size(edits); ++i) {
        StoreAccount(Store, u"Home"_s, u"pop.gmail.com"_s, 995, u"ann@gmail.com"_s, {});
        TOAuthProvider google = OAuthPresets().at(0).Provider;
        google.ClientId = u"123.apps.example"_s;
        TOAuthAccount{u"Home"_s, authOAuth2, google}.Write(Store);
        {
            TRegistry reg(Store);
            reg.OpenKey(StoreKeys::Accounts + u"\\Home"_s, false);
            reg.WriteInteger(u"Security"_s, 2);
        }
        StoreRefreshToken(Store, u"Home"_s, u"rt-google"_s);
        TAccountForm form(Store, u"Home"_s);
        edits[i](form);
        form.btnOK->click();
        EXPECT_EQ(form.result(), QDialog::Accepted) << i << form.lblError->text().toStdString();
        EXPECT_EQ(ReadRefreshToken(Store, u"Home"_s), "") << i;
    }
}

// The token would be readable on the network; on this machine it is not.
TEST_F(AccountFormTest, AnAccountThatSignsInRefusesAPlainConnection)
{
    TAccountForm form(Store);
    form.show();
    Type(form, "editAccName", u"Home"_s);
    Type(form, "editUsername", u"ann"_s);
    form.cmbSignIn->setCurrentText(u"Other"_s);
    Type(form, "editServer", u"pop.example.org"_s);
    Type(form, "editAuthorizeUrl", u"https://id.example.org/authorize"_s);
    Type(form, "editTokenUrl", u"https://id.example.org/token"_s);
    Type(form, "editClientId", u"postwatch"_s);
    form.cmbSecurity->setCurrentText(u"None"_s);
    for (QPushButton* button : {form.btnOK, form.btnSignIn}) {
        button->click();
        EXPECT_EQ(form.lblError->text() + " @" + form.focusWidget()->objectName(),
                  "An account that signs in through its provider needs an encrypted connection: choose SSL/TLS or STARTTLS. "
                  "@cmbSecurity");
    }
    EXPECT_EQ(Beeps, 2);
    EXPECT_FALSE(Store.Tree().Find(RootKey::HKEY_CURRENT_USER, StoreKeys::Accounts));

    Type(form, "editServer", u"127.0.0.1"_s);
    form.btnOK->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

// The protocol moves a usual port and shows what belongs to it; the folder
// must name one; both come back from the settings file on disk.
TEST_F(AccountFormTest, AnImapAccountKeepsItsProtocolAndFolderInTheSettingsFile)
{
    const QString path = Home.filePath(u"registry.reg"_s);
    const QString key = StoreKeys::Accounts + u"\\Home"_s;
    {
        FileStore file(path);
        TAccountForm form(file);
        form.show();
        EXPECT_EQ(form.cmbProtocol->currentText(), "POP3");
        EXPECT_FALSE(form.editFolder->isEnabled());
        form.cmbProtocol->setCurrentText(u"IMAP"_s);
        EXPECT_EQ(form.spinPort->value(), 993);
        EXPECT_TRUE(form.editFolder->isEnabled());
        EXPECT_FALSE(form.chkQuickCheck->isEnabled());
        form.cmbSecurity->setCurrentText(u"STARTTLS"_s);
        EXPECT_EQ(form.spinPort->value(), 143);
        form.spinPort->setValue(40143);
        form.btnUseDef->click();
        EXPECT_EQ(form.spinPort->value(), 143);
        Type(form, "editAccName", u"Home"_s);
        Type(form, "editServer", u"imap.example.org"_s);
        Type(form, "editUsername", u"ann"_s);
        Type(form, "editPassword", u"secret"_s);
        Type(form, "editFolder", u"  "_s);
        form.btnOK->click();
        EXPECT_EQ(form.lblError->text() + " @" + form.focusWidget()->objectName(),
                  "The folder is empty: name the folder to watch, INBOX for the inbox. @editFolder");
        EXPECT_FALSE(TRegistry(file).KeyExists(key));
        Type(form, "editFolder", u" Lists/Qt "_s);
        form.btnOK->click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
    }
    FileStore reopened(path);
    TAccountForm edit(reopened, u"Home"_s);
    EXPECT_EQ(edit.cmbProtocol->currentText(), "IMAP");
    EXPECT_EQ(Field(edit, "editFolder"), "Lists/Qt");
    EXPECT_EQ(edit.spinPort->value(), 143);
    edit.cmbProtocol->setCurrentText(u"POP3"_s);
    EXPECT_EQ(edit.spinPort->value(), 110);
    EXPECT_TRUE(edit.chkQuickCheck->isEnabled());
    edit.btnOK->click();
    FileStore again(path);
    const std::optional<TAccountRecord> stored = TAccountRecord::Read(again, u"Home"_s);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->Protocol + " " + stored->Folder + " " + QString::number(stored->Port), "POP3 Lists/Qt 110")
        << "a POP3 account keeps the folder it had for a later IMAP";
}

// Picking IMAP and a provider, in either order, ends with the provider's IMAP
// server and scope. A kept sign-in serves only the scope it was given for.
TEST_F(AccountFormTest, APresetFollowsTheProtocolWithItsServerAndScope)
{
    {
        TAccountForm form(Store);
        form.cmbProtocol->setCurrentText(u"IMAP"_s);
        form.cmbSignIn->setCurrentText(u"Google"_s);
        EXPECT_EQ(Field(form, "editServer") + " " + form.spinPort->text(), "imap.gmail.com 993");
        EXPECT_EQ(Field(form, "editScope"), "https://mail.google.com/");
        form.cmbSignIn->setCurrentText(u"Microsoft"_s);
        form.cmbProtocol->setCurrentText(u"POP3"_s);
        EXPECT_EQ(Field(form, "editServer") + " " + form.spinPort->text(), "outlook.office365.com 995");
        EXPECT_EQ(Field(form, "editScope"), "https://outlook.office.com/POP.AccessAsUser.All offline_access");
        form.cmbSignIn->setCurrentText(u"Google"_s);
        form.cmbProtocol->setCurrentText(u"IMAP"_s);
        EXPECT_EQ(Field(form, "editServer") + " " + form.spinPort->text(), "imap.gmail.com 993");
    }
    TAccountForm form(Store);
    Type(form, "editAccName", u"Work"_s);
    Type(form, "editUsername", u"ann@example.com"_s);
    form.cmbSignIn->setCurrentText(u"Microsoft"_s);
    form.cmbProtocol->setCurrentText(u"IMAP"_s);
    Type(form, "editClientId", u"456"_s);
    form.btnOK->click();
    const QString key = StoreKeys::Accounts + u"\\Work"_s;
    EXPECT_EQ(Stored(key, u"OAuthScope"_s), "https://outlook.office.com/IMAP.AccessAsUser.All offline_access");
    EXPECT_EQ(Stored(key, u"Port"_s), "993");

    StoreRefreshToken(Store, u"Work"_s, u"rt-imap"_s);
    TAccountForm unchanged(Store, u"Work"_s);
    unchanged.btnOK->click();
    EXPECT_EQ(ReadRefreshToken(Store, u"Work"_s), "rt-imap");
    TAccountForm toPop3(Store, u"Work"_s);
    toPop3.cmbProtocol->setCurrentText(u"POP3"_s);
    toPop3.btnOK->click();
    EXPECT_EQ(Stored(key, u"Server"_s), "outlook.office365.com");
    EXPECT_EQ(ReadRefreshToken(Store, u"Work"_s), "") << "POP3 needs a sign-in that allows it";
}
