#include "app/Mainformdlg.h"

#include "app/MainFormHost.h"
#include "app/NoAccountsHint.h"
#include "base/CleanText.h"
#include "base/Guard.h"
#include "config/Settings.h"
#include "desktop/Aboutdlg.h"
#include "desktop/Runformdlg.h"
#include "desktop/Systray.h"
#include "desktop/Website.h"
#include "desktop/WindowRect.h"
#include "dialogs/Bsdlg.h"
#include "dialogs/Configdlg.h"
#include "engine/CheckEngine.h"
#include "engine/MessageList.h"
#include "engine/SeenMessages.h"
#include "engine/AccessTokens.h"
#include "engine/SummaryCache.h"
#include "platform/DesktopNotifier.h"
#include "platform/DoNotDisturbWatch.h"
#include "platform/NetworkWatch.h"
#include "platform/Profile.h"
#include "platform/SleepWatch.h"
#include "pop3/Pop3client.h"
#include "resources/Images.h"
#include "widgets/ActionLink.h"
#include "widgets/HelpViewer.h"
#include "widgets/ToolButton.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <algorithm>

namespace {

constexpr QSize DesignSize(570, 344);
const char* const ImageIndexProperty = "ImageIndex";

// listMessages' column widths, From to Account; 0 = the list's default
// width, and the last column fills the rest.
constexpr int DefaultColumnWidth = 64;
constexpr int MessageColumnWidths[TMessageList::ColumnCount] = {100, 150, 0, 0, 100, 0};

}

TMainForm::TMainForm(RegistryStore& store, Settings& settings, TDialUp& dialUp, TRunForm& runForm,
                     const QString& commandLine, TMailSources::TMake makeSource, QWidget* parent)
    : QMainWindow(parent), Store(store), Options(settings), RunForm(runForm)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Postwatch"));
    setWindowIcon(Images::AppIcon());
    // Only the system-menu border icon: a close box, no minimise or maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    // No toolbar-hiding menu on a right click: the window has no such menu.
    setContextMenuPolicy(Qt::NoContextMenu);

    CreateEngine(settings, dialUp, std::move(makeSource));
    CreateActions();
    CreateToolBar();
    CreateMessageList();
    CreateStatusBar();
    CreateMenus();
    CreateTimers();
    CreateShortcuts();
    ConnectEngine();
    ConnectConfigMenu();
    ConnectMessageActions();
    ConnectQuiet();
    FollowListChanges();
    FollowSelection();
    RunForm.SetTrayActions({actCheckNow, actConfig, actLaunch, actHelp, actClose});
    RunForm.ShowMainWindow = [this] { ShowAndRaise(); };

    resize(DesignSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Guarded([this, &commandLine] { FormCreate(commandLine); });
}

TMainForm::~TMainForm() = default;

void TMainForm::CreateEngine(Settings& settings, TDialUp& dialUp, TMailSources::TMake makeSource)
{
    Pop1 = new TPop3Client(this);
    Pop1->setObjectName(QStringLiteral("Pop1"));
    Pop1->Port = 110;
    Pop1->TimeOut = 30000;
    Pop1->ReportLevel = 0;
    Pop1->AttachFilePath = Profile::CacheFolder() + QStringLiteral("/attachments/");
    // Said inside the client's retrieval: a box that does not wait for OK.
    Pop1->UUProcessor.ShowMessage = [this](const QString& text) { EngineHost->ShowFailure(QString(), text); };
    MessageList = new TMessageList(settings, this);
    MessageList->setObjectName(QStringLiteral("MessageList"));
    Notifier = new DesktopNotifier(this);
    Notifier->ShowTrayBubble = [this](const QString& title, const QString& text, DesktopNotice::Urgency level) {
        RunForm.SysTray1->ShowMessage(title, text, level == DesktopNotice::Critical);
    };
    RunForm.SysTray1->OnMessageClick = [this](QObject*) { Notifier->TrayBubbleClicked(); };
    EngineHost = std::make_unique<TMainFormHost>(*this, RunForm);
    SeenMessages = std::make_unique<TSeenMessages>(Profile::SeenMessagesFilePath());
    SummaryCache = std::make_unique<TSummaryCache>(Profile::SummaryCacheFilePath());
    AccessTokens = std::make_unique<TAccessTokens>(Store);
    NetworkWatch = new TNetworkWatch(this);
    SleepWatch = new TSleepWatch(this);
    DoNotDisturbWatch = new TDoNotDisturbWatch(this);
    TMainFormHost& host = *EngineHost;
    TEngineParts parts{settings, Store, dialUp, *MessageList, host, host, host, &host, *Pop1};
    parts.Cache = SummaryCache.get();
    parts.Seen = SeenMessages.get();
    parts.Tokens = AccessTokens.get();
    parts.Offline = [this] { return NetworkWatch->Offline(); };
    parts.MakeSource = std::move(makeSource);
    Engine = std::make_unique<TCheckEngine>(parts);
    Engine->NetworkChanged();
}

void TMainForm::CreateActions()
{
    auto make = [this](const char* name, const char* caption, const char* hint, int imageIndex) {
        auto* action = new QAction(this);
        action->setObjectName(QLatin1String(name));
        action->setText(QString::fromLatin1(caption));
        action->setToolTip(QString::fromLatin1(hint));
        action->setStatusTip(QString::fromLatin1(hint));
        action->setProperty(ImageIndexProperty, imageIndex);
        action->setIcon(Images::TBImgs(imageIndex));
        action->setIconVisibleInMenu(true);
        return action;
    };
    actCheckNow = make("actCheckNow", "&Check Now", "Check For New Mail", 0);
    actCancel = make("actCancel", "Ca&ncel", "Cancel Action", 1);
    actDelete = make("actDelete", "&Delete", "Delete Message", 2);
    actMinimize = make("actMinimize", "&Minimize", "Minimize To System Tray", 3);
    actConfig = make("actConfig", "&Open Config Window", "Configuration", 4);
    actWebsite = make("actWebsite", "&Visit Tallowfen", "Visit Tallowfen On The Web", 5);
    actLaunch = make("actLaunch", "&Launch Client", "Launch Email Client", 6);
    actHelp = make("actHelp", "&Help Contents", "Help", 7);
    actClose = make("actClose", "E&xit", "Close", 8);
    actAboutBox = make("actAboutBox", "&About...", "About...", -1);
    actView = make("actView", "&Quick View", "Quick View", 9);
    actBlockSender = make("actBlockSender", "&Block Sender", "Block Sender", 10);
    actMarkRead = make("actMarkRead", "Mark as &Read", "Mark Message As Read", 11);
    actMarkRead->setEnabled(false);

    connect(actClose, &QAction::triggered, this, GuardedSlot([this] { actCloseExecute(); }));
    connect(actConfig, &QAction::triggered, this, GuardedSlot([this] { actConfigExecute(); }));
    connect(actHelp, &QAction::triggered, this, GuardedSlot([this] { actHelpExecute(); }));
}

void TMainForm::CreateToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setWindowTitle(QStringLiteral("Toolbar"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(24, 24));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    SetHelpContext(ToolBar1, 101);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    auto button = [this](QAction* action, const char* name, const char* hint = "") {
        auto* btn = new TToolButton(action, QLatin1String(name), QString::fromLatin1(hint), ToolBar1);
        btn->setIconSize(ToolBar1->iconSize());
        ToolBar1->addWidget(btn);
        return btn;
    };
    auto separator = [this](const char* name) { ToolBar1->addSeparator()->setObjectName(QLatin1String(name)); };

    btnCheckMail = button(actCheckNow, "btnCheckMail", "Check Mail");
    btnMinimize = button(actMinimize, "btnMinimize");
    btnConfig = button(actConfig, "btnConfig", "Configure");
    btnCancel = button(actCancel, "btnCancel");
    separator("ToolButton1");
    btnQuickView = button(actView, "btnQuickView", "QuickView");
    btnBlockSender = button(actBlockSender, "btnBlockSender");
    btnMarkRead = button(actMarkRead, "btnMarkRead");
    btnDeleteMsg = button(actDelete, "btnDeleteMsg");
    separator("ToolButton2");
    btnLaunch = button(actLaunch, "btnLaunch", "Launch Client");
    btnWebsite = button(actWebsite, "btnWebsite");
    btnHelp = button(actHelp, "btnHelp");
    separator("ToolButton3");
    btnExit = button(actClose, "btnExit");
}

void TMainForm::CreateMessageList()
{
    listMessages = new QTreeView(this);
    listMessages->setObjectName(QStringLiteral("listMessages"));
    SetHelpContext(listMessages, 102);
    listMessages->header()->setDefaultSectionSize(DefaultColumnWidth);
    SortedMessages = new QSortFilterProxyModel(this);
    SortedMessages->setObjectName(QStringLiteral("SortedMessages"));
    SortedMessages->setSourceModel(MessageList);
    SortedMessages->setSortRole(TMessageList::SortRole);
    SortedMessages->setSortCaseSensitivity(Qt::CaseInsensitive);
    SortedMessages->setSortLocaleAware(true);
    listMessages->setModel(SortedMessages);
    listMessages->setRootIsDecorated(false);
    listMessages->setItemsExpandable(false);
    listMessages->setUniformRowHeights(true);
    listMessages->setAllColumnsShowFocus(true);
    // Arrival order until a header is clicked; a third click on it brings
    // arrival order back.
    listMessages->header()->setSortIndicator(-1, Qt::AscendingOrder);
    listMessages->header()->setSortIndicatorClearable(true);
    listMessages->setSortingEnabled(true);
    listMessages->setSelectionMode(QAbstractItemView::SingleSelection);
    listMessages->setSelectionBehavior(QAbstractItemView::SelectRows);
    listMessages->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listMessages->header()->setSectionsMovable(false);
    listMessages->header()->setStretchLastSection(true);
    for (int column = 0; column < TMessageList::ColumnCount; ++column)
        if (MessageColumnWidths[column] > 0)
            listMessages->setColumnWidth(column, MessageColumnWidths[column]);
    // The longest size text, "1023 bytes", is not cut.
    const int sizeWidth = listMessages->fontMetrics().horizontalAdvance(QStringLiteral("1023 bytes")) + 12;
    listMessages->setColumnWidth(TMessageList::colSize, std::max(DefaultColumnWidth, sizeWidth));
    // Each row announced repaints every row shown; one added below them
    // would only move the scroll bar.
    MessageList->AnnounceAtOnce = [this] {
        return !listMessages->isVisible()
               || !listMessages->indexAt({0, listMessages->viewport()->height() - 1}).isValid();
    };
    // The rows kept from an account's last good check, while a later one
    // fails, are greyed as disabled text is.
    MessageList->StaleForeground = listMessages->palette().brush(QPalette::Disabled, QPalette::Text);
    setCentralWidget(listMessages);
    NoAccountsHint = new TNoAccountsHint(
        *listMessages, [this] { return NoAccounts(); }, [this] { NewAccountExecute(); });
}

// Enter opens the quick view, Delete deletes, Ctrl+K marks read (as GNOME's
// mail program does), F5 checks: on the window, so they work wherever its
// focus is.
void TMainForm::CreateShortcuts()
{
    actView->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    actDelete->setShortcut(QKeySequence::Delete);
    actMarkRead->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    actCheckNow->setShortcut(QKeySequence(Qt::Key_F5));
    addActions({actView, actDelete, actMarkRead, actCheckNow});
}

// The tray's hint names how many messages wait, and the empty list says
// what to do while there are no accounts.
void TMainForm::FollowListChanges()
{
    const auto changed = [this] {
        RunForm.SetWaitingCount(MessageList->rowCount());
        NoAccountsHint->Update();
    };
    connect(MessageList, &QAbstractItemModel::rowsInserted, this, changed);
    connect(MessageList, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(MessageList, &QAbstractItemModel::modelReset, this, changed);
}

// Whether the row can be marked read is the engine's to say; it changes
// with the selection and with the rows under it.
void TMainForm::FollowSelection()
{
    const auto update = [this] { actMarkRead->setEnabled(Engine->CanMarkRead(SelectedRow())); };
    connect(listMessages->selectionModel(), &QItemSelectionModel::selectionChanged, this, update);
    connect(SortedMessages, &QAbstractItemModel::rowsRemoved, this, update);
    connect(SortedMessages, &QAbstractItemModel::modelReset, this, update);
    connect(SortedMessages, &QAbstractItemModel::layoutChanged, this, update);
}

bool TMainForm::NoAccounts() const
{
    return Options.Accounts().Items().isEmpty() && MessageList->rowCount() == 0;
}

void TMainForm::CreateStatusBar()
{
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    SetHelpContext(StatusBar1, 103);
    constexpr int widths[StatusPanelCount] = {200, 200, 0}; // 0: the rest
    for (int panel = 0; panel < StatusPanelCount; ++panel) {
        auto* label = new QLabel(StatusBar1);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(panel));
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        label->setIndent(3);
        label->setMinimumWidth(0);
        if (widths[panel] > 0)
            label->setFixedWidth(widths[panel]);
        StatusBar1->addWidget(label, widths[panel] > 0 ? 0 : 1);
        StatusPanels[panel] = label;
    }
    setStatusBar(StatusBar1);
    SetStatusText(0, QStringLiteral("Ready"));
}

void TMainForm::CreateMenus()
{
    MainFormMenu = new QMenuBar(this);
    MainFormMenu->setObjectName(QStringLiteral("MainFormMenu"));
    setMenuBar(MainFormMenu);

    auto item = [this](QMenu* m, QAction* action, const char* name) {
        QAction* linked = NewLinkedItem(action, QLatin1String(name), m);
        m->addAction(linked);
        return linked;
    };
    auto separator = [](QMenu* m, const char* name) { m->addSeparator()->setObjectName(QLatin1String(name)); };
    auto checkItem = [](QMenu* m, const char* name, const char* caption) {
        QAction* action = m->addAction(QString::fromLatin1(caption));
        action->setObjectName(QLatin1String(name));
        action->setCheckable(true);
        return action;
    };

    Action1 = new QMenu(QStringLiteral("&Action"), MainFormMenu);
    Action1->setObjectName(QStringLiteral("Action1"));
    item(Action1, actCheckNow, "CheckNow1");
    item(Action1, actMinimize, "Minimize1");
    item(Action1, actLaunch, "LaunchClient1");
    separator(Action1, "N1");
    item(Action1, actView, "QuickView1");
    item(Action1, actDelete, "Delete1");
    item(Action1, actMarkRead, "MarkRead1");
    item(Action1, actBlockSender, "BlockSender1");
    separator(Action1, "N2");
    item(Action1, actClose, "Exit1");
    MainFormMenu->addMenu(Action1);

    Config1 = new QMenu(QStringLiteral("&Config"), MainFormMenu);
    Config1->setObjectName(QStringLiteral("Config1"));
    item(Config1, actConfig, "OpenConfigWindow1");
    separator(Config1, "N3");
    LoadOnStartup1 = checkItem(Config1, "LoadOnStartup1", "&Load On Startup");
    StartVisible1 = checkItem(Config1, "StartVisible1", "&Start Visible");
    EnableChecking1 = checkItem(Config1, "EnableChecking1", "&Enable Checking");
    MainFormMenu->addMenu(Config1);

    Help1 = new QMenu(QStringLiteral("&Help"), MainFormMenu);
    Help1->setObjectName(QStringLiteral("Help1"));
    item(Help1, actHelp, "HelpContents1");
    item(Help1, actAboutBox, "About1");
    separator(Help1, "N4");
    VisitTallowfen1 = item(Help1, actWebsite, "VisitTallowfen1");
    MainFormMenu->addMenu(Help1);

    MsgListPop = new QMenu(this);
    MsgListPop->setObjectName(QStringLiteral("MsgListPop"));
    item(MsgListPop, actBlockSender, "BlockSender2");
    item(MsgListPop, actDelete, "Delete2");
    item(MsgListPop, actMarkRead, "MarkRead2");
    item(MsgListPop, actView, "QuickView2");
    listMessages->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(listMessages, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        MsgListPop->popup(listMessages->viewport()->mapToGlobal(pos));
    });
}

void TMainForm::CreateTimers()
{
    auto timer = [this](const char* name, int interval) {
        auto* t = new QTimer(this);
        t->setObjectName(QLatin1String(name));
        t->setInterval(interval);
        return t;
    };
    TimerMain = timer("TimerMain", 60000);
    Timer1 = timer("Timer1", 100);
    Timer1->setSingleShot(true);
    TimerHangUp = timer("TimerHangUp", 1000);
    TimerCatchUp = timer("TimerCatchUp", 0);
    TimerCatchUp->setSingleShot(true);
    TimerMain->start();
}

// Every entry point Qt calls runs through the guard: a failure that ends a
// check reaches the error report and leaves the engine where it stood.
void TMainForm::ConnectEngine()
{
    auto run = [this](void (TCheckEngine::*handler)()) {
        return GuardedSlot([this, handler] { (Engine.get()->*handler)(); });
    };
    connect(actCheckNow, &QAction::triggered, this, run(&TCheckEngine::actCheckNowExecute));
    connect(actCancel, &QAction::triggered, this, run(&TCheckEngine::actCancelExecute));
    connect(TimerMain, &QTimer::timeout, this, run(&TCheckEngine::TimerMainTimer));
    connect(Timer1, &QTimer::timeout, this, run(&TCheckEngine::Timer1Timer));
    connect(TimerHangUp, &QTimer::timeout, this, run(&TCheckEngine::TimerHangUpTimer));
    connect(TimerCatchUp, &QTimer::timeout, this, run(&TCheckEngine::CatchUpTimer));
    connect(NetworkWatch, &TNetworkWatch::Changed, this, run(&TCheckEngine::NetworkChanged));
    connect(SleepWatch, &TSleepWatch::Resumed, this, run(&TCheckEngine::SystemResumed));
    connect(actLaunch, &QAction::triggered, this, run(&TCheckEngine::LaunchMailClient));
    connect(Notifier, &DesktopNotifier::DefaultActionInvoked, this, GuardedSlot([this] { ShowAndRaise(); }));
    connect(Notifier, &DesktopNotifier::CheckNowInvoked, actCheckNow, &QAction::trigger);
    connect(Notifier, &DesktopNotifier::MessageActionInvoked, this,
            GuardedSlot([this](DesktopNotice::Action action, const QList<DesktopNotice::Message>& messages) {
                Engine->NoticeActionInvoked(action, messages);
            }));
}

void TMainForm::ConnectMessageActions()
{
    connect(actDelete, &QAction::triggered, this, GuardedSlot([this] { Engine->actDeleteExecute(SelectedRow()); }));
    connect(actView, &QAction::triggered, this, GuardedSlot([this] { Engine->actViewExecute(SelectedRow()); }));
    connect(actMarkRead, &QAction::triggered, this,
            GuardedSlot([this] { Engine->actMarkReadExecute(SelectedRow()); }));
    connect(listMessages, &QTreeView::doubleClicked, actView, &QAction::trigger);
    connect(actBlockSender, &QAction::triggered, this, GuardedSlot([this] { actBlockSenderExecute(); }));
    connect(actWebsite, &QAction::triggered, this, GuardedSlot([this] { actWebsiteExecute(); }));
    connect(actMinimize, &QAction::triggered, this, GuardedSlot([this] { actMinimizeExecute(); }));
    connect(actAboutBox, &QAction::triggered, this, GuardedSlot([this] { actAboutBoxExecute(); }));
}

// The tray's Do Not Disturb, and the desktop's own; the tray's hint says
// from the start whether news is kept back.
void TMainForm::ConnectQuiet()
{
    using TChoice = TQuietTime::TDoNotDisturb;
    const auto choose = [this](QAction* item, TChoice choice) {
        connect(item, &QAction::triggered, this, GuardedSlot([this, choice] { Engine->DoNotDisturb(choice); }));
    };
    choose(RunForm.DndForOneHour1, TChoice::ForOneHour);
    choose(RunForm.DndUntilTomorrow1, TChoice::UntilTomorrow);
    choose(RunForm.DndOff1, TChoice::Off);
    connect(RunForm.TrayPop, &QMenu::aboutToShow, this, GuardedSlot([this] { ShowDoNotDisturb(); }));
    connect(DoNotDisturbWatch, &TDoNotDisturbWatch::Changed, this,
            GuardedSlot([this](bool on) { Engine->SetDesktopDoNotDisturb(on); }));
    Engine->QuietChanged();
}

// A time chosen that has run out shows as Off.
void TMainForm::ShowDoNotDisturb()
{
    using TChoice = TQuietTime::TDoNotDisturb;
    switch (Engine->DoNotDisturbChoice()) {
    case TChoice::ForOneHour: RunForm.DndForOneHour1->setChecked(true); break;
    case TChoice::UntilTomorrow: RunForm.DndUntilTomorrow1->setChecked(true); break;
    case TChoice::Off: RunForm.DndOff1->setChecked(true); break;
    }
}

void TMainForm::ConnectConfigMenu()
{
    connect(Config1, &QMenu::aboutToShow, this, GuardedSlot([this] { Config1Click(); }));
    connect(LoadOnStartup1, &QAction::triggered, this, GuardedSlot([this] { LoadOnStartup1Click(); }));
    connect(StartVisible1, &QAction::triggered, this, GuardedSlot([this] { StartVisible1Click(); }));
    connect(EnableChecking1, &QAction::triggered, this, GuardedSlot([this] { EnableChecking1Click(); }));
}

void TMainForm::Config1Click()
{
    StartVisible1->setChecked(Options.StartVisible());
    LoadOnStartup1->setChecked(Options.LoadOnStartup());
    EnableChecking1->setChecked(Options.CheckingEnabled());
}

// The autostart entry follows the option's change.
void TMainForm::LoadOnStartup1Click()
{
    Options.SetLoadOnStartup(LoadOnStartup1->isChecked());
    Options.SaveSettings();
}

void TMainForm::StartVisible1Click()
{
    Options.SetStartVisible(StartVisible1->isChecked());
    Options.SaveSettings();
}

void TMainForm::EnableChecking1Click()
{
    Options.SetCheckingEnabled(EnableChecking1->isChecked());
    Options.SaveSettings();
}

void TMainForm::SetStatusText(int panel, const QString& text)
{
    if (panel < 0 || panel >= StatusPanelCount)
        return;
    // A failure's line quotes the server, and may be longer than its panel.
    const QString shown = CleanedLine(text);
    StatusPanels[panel]->setText(shown);
    StatusPanels[panel]->setToolTip(shown);
}

QString TMainForm::StatusText(int panel) const
{
    return panel >= 0 && panel < StatusPanelCount ? StatusPanels[panel]->text() : QString();
}

void TMainForm::actConfigExecute()
{
    if (ConfigForm)
        ConfigForm->Execute();
    NoAccountsHint->Update();
}

void TMainForm::NewAccountExecute()
{
    if (!ConfigForm)
        return;
    ConfigForm->ConfigPage->setCurrentWidget(ConfigForm->TabAccounts);
    QTimer::singleShot(0, ConfigForm->btnAccNew, &QPushButton::click);
    actConfigExecute();
}

void TMainForm::actHelpExecute()
{
    ShowHelpContents();
}

int TMainForm::SelectedRow() const
{
    const QModelIndexList rows = listMessages->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : SortedMessages->mapToSource(rows.first()).row();
}

// The entry is the dialog's to add; the list changes at the next check.
void TMainForm::actBlockSenderExecute()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    TBSForm form(Options, this);
    form.editSenderName->setText(SelectedSender());
    form.exec();
}

QString TMainForm::SelectedSender() const
{
    const int row = SelectedRow();
    return row < 0 ? QString() : MessageList->Entry(row).ReadableFrom;
}

void TMainForm::actWebsiteExecute()
{
    TimerHangUp->stop();
    QDesktopServices::openUrl(QUrl(MakerWebsite));
}

void TMainForm::actMinimizeExecute()
{
    EngineHost->StopFlashing();
    hide();
}

void TMainForm::actAboutBoxExecute()
{
    TAboutBox box(this);
    box.exec();
}

void TMainForm::ShowAndRaise()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

// The window is placed before it is shown. Moved right after being mapped, before the
// window manager has framed it, a window lands off by its frame and creeps
// up a title bar's height at every start.
void TMainForm::FormCreate(const QString& commandLine)
{
    const QString CmdLine = commandLine.toLower();
    const bool StartShown = CmdLine.contains(QLatin1String("visible"));
    Engine->CheckCycle().MinutesElapsed = 0;
    WindowRect::Restore(Store, *this);
    if (StartShown)
        show();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    Guarded([this] { FormClose(); });
    event->accept(); // only hides: the program runs on until RunForm closes
}

void TMainForm::FormClose()
{
    WindowRect::Save(Store, *this);
}

// The action hints are for tooltips and the tray menu; the status bar's
// panels belong to the engine, so menu hints do not overwrite them.
bool TMainForm::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip)
        return true;
    // Accounts come and go in the configuration window, which the tray opens too.
    if (NoAccountsHint && (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate))
        NoAccountsHint->Update();
    return QMainWindow::event(event);
}

void TMainForm::actCloseExecute()
{
    RunForm.close();
}
