#pragma once


#include "engine/MailSources.h"

#include <QMainWindow>
#include <QString>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QSortFilterProxyModel;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeView;
class RegistryStore;
class Settings;
class DesktopNotifier;
class TCheckEngine;
class TConfigForm;
class TQuickView;
class TDialUp;
class TMainFormHost;
class TSeenMessages;
class TSummaryCache;
class TAccessTokens;
class TMessageList;
class TNoAccountsHint;
class TNetworkWatch;
class TDoNotDisturbWatch;
class TPop3Client;
class TSleepWatch;
class TRunForm;

// The main window: toolbar, message list and status bar, the actions with
// their menus, the timers, and where the window's rectangle is kept. It owns
// the mail client, the check engine and the engine's host. Every control and
// action carries its name as objectName.
class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    // commandLine: the process arguments joined with blanks (GetCommandLine).
    // The settings need not be loaded yet; they are read at each use.
    // makeSource: none makes each account's source by its protocol.
    TMainForm(RegistryStore& store, Settings& settings, TDialUp& dialUp, TRunForm& runForm,
              const QString& commandLine, TMailSources::TMake makeSource = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // ActionList1, images from TBImgs (resources/Images.h).
    QAction* actCheckNow;
    QAction* actCancel;
    QAction* actDelete;
    QAction* actMinimize;
    QAction* actConfig;
    QAction* actWebsite;
    QAction* actLaunch;
    QAction* actHelp;
    QAction* actClose;
    QAction* actAboutBox;
    QAction* actView;
    QAction* actBlockSender;
    // Enabled while the selected row's account keeps a read mark.
    QAction* actMarkRead;

    QToolBar* ToolBar1;
    QToolButton* btnCheckMail;
    QToolButton* btnMinimize;
    QToolButton* btnConfig;
    QToolButton* btnCancel;
    QToolButton* btnQuickView;
    QToolButton* btnBlockSender;
    QToolButton* btnMarkRead;
    QToolButton* btnDeleteMsg;
    QToolButton* btnLaunch;
    QToolButton* btnWebsite;
    QToolButton* btnHelp;
    QToolButton* btnExit;

    // Shows MessageList's rows, in the order of the column the user chose
    // (SortedMessages), in arrival order until then.
    QTreeView* listMessages;
    TMessageList* MessageList;
    QSortFilterProxyModel* SortedMessages;
    // Over the empty list while there are no accounts.
    TNoAccountsHint* NoAccountsHint = nullptr;

    TPop3Client* Pop1;
    // The new-mail bubble; clicking it shows this window.
    DesktopNotifier* Notifier;
    std::unique_ptr<TMainFormHost> EngineHost;
    std::unique_ptr<TCheckEngine> Engine;
    std::unique_ptr<TSeenMessages> SeenMessages;
    std::unique_ptr<TSummaryCache> SummaryCache;
    std::unique_ptr<TAccessTokens> AccessTokens;
    // The network's state and the machine's sleep, on the system bus.
    TNetworkWatch* NetworkWatch;
    TSleepWatch* SleepWatch;
    // The notification server's own do-not-disturb, on the session bus.
    TDoNotDisturbWatch* DoNotDisturbWatch;

    QStatusBar* StatusBar1;

    QMenuBar* MainFormMenu;
    QMenu* Action1;
    QMenu* Config1;
    QAction* LoadOnStartup1;
    QAction* StartVisible1;
    QAction* EnableChecking1;
    QMenu* Help1;
    QAction* VisitTallowfen1;
    QMenu* MsgListPop;

    QTimer* TimerMain;   // 60000 ms, running from creation
    QTimer* Timer1;      // 100 ms, one-shot, off until armed
    QTimer* TimerHangUp; // 1000 ms, off until armed
    QTimer* TimerCatchUp; // one-shot, armed after a wake or the network's return

    // StatusBar1's panels 0, 1 and 2.
    static constexpr int StatusPanelCount = 3;
    void SetStatusText(int panel, const QString& text);
    QString StatusText(int panel) const;

    // The hotkey's effect: show the main window and bring it to the front.
    void ShowAndRaise();

    // The configuration dialog and the quick view, made after this window.
    TConfigForm* ConfigForm = nullptr;
    TQuickView* QuickView = nullptr;

    // The list's selected row, -1 for none.
    int SelectedRow() const;
    // The selected row's sender as Block Sender offers it: as read, with the
    // blank after "From:" that the blocked test compares; empty for none.
    QString SelectedSender() const;

    void actCloseExecute();
    void actConfigExecute();
    // The configuration window on its Accounts tab with a new account's
    // dialog open.
    void NewAccountExecute();
    void actHelpExecute();
    void actBlockSenderExecute();
    void actWebsiteExecute();
    void actMinimizeExecute();
    void actAboutBoxExecute();
    // The Config menu mirrors three options when it opens; each item turns
    // its option over and saves all.
    void Config1Click();
    void LoadOnStartup1Click();
    void StartVisible1Click();
    void EnableChecking1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void CreateEngine(Settings& settings, TDialUp& dialUp, TMailSources::TMake makeSource);
    void CreateActions();
    void CreateToolBar();
    void CreateMessageList();
    void CreateShortcuts();
    void FollowListChanges();
    void FollowSelection();
    bool NoAccounts() const;
    void CreateStatusBar();
    void CreateMenus();
    void CreateTimers();
    void ConnectEngine();
    void ConnectConfigMenu();
    void ConnectMessageActions();
    void ConnectQuiet();
    void ShowDoNotDisturb();
    void FormCreate(const QString& commandLine);
    void FormClose();

    RegistryStore& Store;
    Settings& Options;
    TRunForm& RunForm;
    QLabel* StatusPanels[StatusPanelCount] = {};
};
