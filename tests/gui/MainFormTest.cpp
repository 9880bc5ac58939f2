// The main window, offscreen: its texts, controls, commands,
// menus, timers, the window rectangle kept in "WndRect", and Exit.

#include "app/Mainformdlg.h"
#include "app/NoAccountsHint.h"
#include "engine/CheckEngine.h"
#include "engine/MessageList.h"
#include "dialogs/Configdlg.h"
#include "widgets/HelpViewer.h"
#include "widgets/MsgBox.h"
#include "config/Registry.h"
#include "config/RegistryStore.h"
#include "config/Settings.h"
#include "config/StoreKeys.h"
#include "config/SystemKeys.h"
#include "desktop/Runformdlg.h"
#include "desktop/Systray.h"
#include "desktop/WindowRect.h"
#include "pop3/Pop3client.h"
#include "tests/support/ModalSteps.h"
#include "tests/support/ScriptedMailSource.h"
#include "tests/support/ScriptedDialUp.h"
#include "tests/support/TestAccounts.h"
#include "tests/unit/pop3/ScriptServer.h"
#include "tests/support/UrlCatcher.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

const QString Key = QStringLiteral("Software\\Tallowfen\\Postwatch\\2.0");

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values)
        bytes.append(char(v));
    return bytes;
}

// A stored rectangle: Left 16, Top 32, Width 576, Height 344.
const QByteArray ExampleWndRect =
    Bytes({0x10, 0, 0, 0, 0x20, 0, 0, 0, 0x40, 0x02, 0, 0, 0x58, 0x01, 0, 0});

// A fresh start of the program's two first windows on one store.
class MainFormTest : public testing::Test
{
protected:
    void Start(const QString& commandLine = QStringLiteral("postwatch"), TMailSources::TMake makeSource = {})
    {
        Form.reset();
        Run = std::make_unique<TRunForm>(Options);
        Form = std::make_unique<TMainForm>(Store, Options, DialUp, *Run, commandLine, std::move(makeSource));
    }

    void CreateKey()
    {
        TRegistry reg(Store);
        ASSERT_TRUE(reg.OpenKey(Key, true));
        reg.CloseKey();
    }

    void WriteWndRect(const QByteArray& bytes)
    {
        TRegistry reg(Store);
        ASSERT_TRUE(reg.OpenKey(Key, true));
        reg.WriteBinaryData(QStringLiteral("WndRect"), bytes);
        reg.CloseKey();
    }

    // Empty when the key or the value is missing.
    QByteArray StoredWndRect()
    {
        TRegistry reg(Store);
        if (!reg.OpenKey(Key, false) || !reg.ValueExists(QStringLiteral("WndRect")))
            return {};
        return reg.ReadBinaryData(QStringLiteral("WndRect"));
    }

    template <typename T> T* Find(const char* name)
    {
        T* found = Form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // The entries of a menu or toolbar: object names, "-" for a separator.
    static QStringList Entries(const QList<QAction*>& actions)
    {
        QStringList names;
        for (QAction* action : actions)
            names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
        return names;
    }

    static QStringList Texts(const QList<QAction*>& actions)
    {
        QStringList texts;
        for (QAction* action : actions)
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return texts;
    }

    // Commands that end in a message box get it answered, never shown.
    void SetUp() override
    {
        SetMsgBoxHook([this](const TMsgBoxRequest& box) {
            Boxes << box.Text;
            return box.Buttons.testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok;
        });
    }

    void TearDown() override
    {
        Form.reset();
        Run.reset();
        SetMsgBoxHook({});
    }

    QStringList Boxes;

    MemoryStore Store;
    Settings Options{Store};
    TScriptedDialUp DialUp;
    std::unique_ptr<TRunForm> Run;
    std::unique_ptr<TMainForm> Form;
};

TEST_F(MainFormTest, CaptionSizeAndCentredPlacement)
{
    Start();
    EXPECT_EQ(Form->objectName(), "MainForm");
    EXPECT_EQ(Form->windowTitle(), "Postwatch");
    EXPECT_EQ(Form->size(), QSize(570, 344));
    const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(Form->geometry().center(), desktop.center());
}

TEST_F(MainFormTest, OnlyACloseBoxNoMinimiseOrMaximise)
{
    Start();
    const Qt::WindowFlags flags = Form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
}

TEST_F(MainFormTest, ToolbarListAndStatusBarFromTopToBottom)
{
    Start(QStringLiteral("postwatch visible"));
    auto* toolBar = Find<QToolBar>("ToolBar1");
    auto* list = Find<QTreeView>("listMessages");
    auto* statusBar = Find<QStatusBar>("StatusBar1");
    EXPECT_EQ(Form->centralWidget(), list);
    EXPECT_EQ(Form->statusBar(), statusBar);
    EXPECT_EQ(Form->toolBarArea(toolBar), Qt::TopToolBarArea);
    EXPECT_LT(toolBar->geometry().bottom(), list->geometry().top());
    EXPECT_LT(list->geometry().bottom(), statusBar->geometry().top());
}

TEST_F(MainFormTest, HelpContentsAndContextHelpNumbers)
{
    Start();
    ShowHelpContext(101);
    Form->actHelp->trigger();
    EXPECT_EQ(THelpViewer::Instance().CurrentTopic(), HelpContents);
    EXPECT_TRUE(THelpViewer::Instance().isVisible());
    THelpViewer::Instance().close();
    EXPECT_EQ(HelpContext(Find<QToolBar>("ToolBar1")), 101);
    EXPECT_EQ(HelpContext(Find<QTreeView>("listMessages")), 102);
    EXPECT_EQ(HelpContext(Find<QStatusBar>("StatusBar1")), 103);
}

struct ActionRow {
    const char* Name;
    const char* Caption;
    const char* Hint;
    int Image; // -1: none
};

const ActionRow ActionList1[] = {
    {"actCheckNow", "&Check Now", "Check For New Mail", 0},
    {"actCancel", "Ca&ncel", "Cancel Action", 1},
    {"actDelete", "&Delete", "Delete Message", 2},
    {"actMinimize", "&Minimize", "Minimize To System Tray", 3},
    {"actConfig", "&Open Config Window", "Configuration", 4},
    {"actWebsite", "&Visit Tallowfen", "Visit Tallowfen On The Web", 5},
    {"actLaunch", "&Launch Client", "Launch Email Client", 6},
    {"actHelp", "&Help Contents", "Help", 7},
    {"actClose", "E&xit", "Close", 8},
    {"actAboutBox", "&About...", "About...", -1},
    {"actView", "&Quick View", "Quick View", 9},
    {"actBlockSender", "&Block Sender", "Block Sender", 10},
    {"actMarkRead", "Mark as &Read", "Mark Message As Read", 11},
};

TEST_F(MainFormTest, ThirteenActionsWithCaptionsHintsAndImages)
{
    Start();
    for (const ActionRow& row : ActionList1) {
        SCOPED_TRACE(row.Name);
        auto* action = Find<QAction>(row.Name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->parent(), Form.get());
        EXPECT_EQ(action->text(), row.Caption);
        EXPECT_EQ(action->toolTip(), row.Hint);
        EXPECT_EQ(action->statusTip(), row.Hint);
        EXPECT_EQ(action->property("ImageIndex").toInt(), row.Image);
        if (row.Image < 0) {
            EXPECT_TRUE(action->icon().isNull());
        } else {
            ASSERT_FALSE(action->icon().isNull());
            const QImage picture = action->icon().pixmap(24, 24).toImage();
            ASSERT_FALSE(picture.isNull());
            // Drawn, not blank: some pixel is opaque.
            bool drawn = false;
            for (int y = 0; y < picture.height() && !drawn; ++y)
                for (int x = 0; x < picture.width() && !drawn; ++x)
                    drawn = qAlpha(picture.pixel(x, y)) > 200;
            EXPECT_TRUE(drawn);
        }
    }
}

TEST_F(MainFormTest, ImagesAreTwelveDifferentPictures)
{
    Start();
    QList<QImage> seen;
    for (const ActionRow& row : ActionList1) {
        if (row.Image < 0)
            continue;
        const QImage picture = Find<QAction>(row.Name)->icon().pixmap(24, 24).toImage();
        for (const QImage& other : seen)
            EXPECT_NE(picture, other) << row.Name;
        seen << picture;
    }
    EXPECT_EQ(seen.size(), 12);
}

TEST_F(MainFormTest, ToolbarButtonsInOrderWithSeparators)
{
    Start();
    auto* toolBar = Find<QToolBar>("ToolBar1");
    QStringList order;
    for (QAction* action : toolBar->actions())
        order << (action->isSeparator() ? QStringLiteral("-") : toolBar->widgetForAction(action)->objectName());
    EXPECT_EQ(order, (QStringList{"btnCheckMail", "btnMinimize", "btnConfig", "btnCancel", "-", "btnQuickView",
                                  "btnBlockSender", "btnMarkRead", "btnDeleteMsg", "-", "btnLaunch", "btnWebsite", "btnHelp", "-",
                                  "btnExit"}));
}

TEST_F(MainFormTest, ToolbarButtonsRunTheirActionsAndShowTheirHints)
{
    Start();
    const struct {
        const char* Button;
        const char* Action;
        const char* Hint;
    } buttons[] = {
        {"btnCheckMail", "actCheckNow", "Check Mail"},
        {"btnMinimize", "actMinimize", "Minimize To System Tray"},
        {"btnConfig", "actConfig", "Configure"},
        {"btnCancel", "actCancel", "Cancel Action"},
        {"btnQuickView", "actView", "QuickView"},
        {"btnBlockSender", "actBlockSender", "Block Sender"},
        {"btnMarkRead", "actMarkRead", "Mark Message As Read"},
        {"btnDeleteMsg", "actDelete", "Delete Message"},
        {"btnLaunch", "actLaunch", "Launch Client"},
        {"btnWebsite", "actWebsite", "Visit Tallowfen On The Web"},
        {"btnHelp", "actHelp", "Help"},
        {"btnExit", "actClose", "Close"},
    };
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.Button);
        auto* button = Find<QToolButton>(b.Button);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->defaultAction(), Find<QAction>(b.Action));
        EXPECT_EQ(button->toolTip(), b.Hint);
        EXPECT_TRUE(button->autoRaise()); // flat
        EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
        EXPECT_FALSE(button->icon().isNull());
    }
}

TEST_F(MainFormTest, AButtonKeepsItsOwnHintWhenItsActionChanges)
{
    Start();
    Find<QAction>("actCheckNow")->setEnabled(false);
    auto* button = Find<QToolButton>("btnCheckMail");
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(button->toolTip(), "Check Mail");
}

TEST_F(MainFormTest, MessageListHasSixColumnsAndNoRows)
{
    Start();
    auto* list = Find<QTreeView>("listMessages");
    QAbstractItemModel* model = list->model();
    ASSERT_EQ(model->columnCount(), 6);
    EXPECT_EQ(model->rowCount(), 0);
    QStringList captions;
    for (int column = 0; column < 6; ++column)
        captions << model->headerData(column, Qt::Horizontal).toString();
    EXPECT_EQ(captions, (QStringList{"From", "Subject", "Size", "Priority", "Received", "Account"}));
    EXPECT_EQ(list->columnWidth(0), 100);
    EXPECT_EQ(list->columnWidth(1), 150);
    EXPECT_GE(list->columnWidth(2), list->header()->defaultSectionSize()); // Size: its longest text
    EXPECT_GT(list->columnWidth(2), list->fontMetrics().horizontalAdvance(QStringLiteral("1023 bytes")));
    EXPECT_EQ(list->columnWidth(3), list->header()->defaultSectionSize()); // Priority: default
    EXPECT_EQ(list->columnWidth(4), 100);
    EXPECT_TRUE(list->header()->stretchLastSection()); // Account fills the rest
    EXPECT_EQ(model, Form->SortedMessages);
    EXPECT_EQ(Form->SortedMessages->sourceModel(), Form->MessageList);
    EXPECT_TRUE(list->isSortingEnabled());
    EXPECT_EQ(list->header()->sortIndicatorSection(), -1) << "arrival order until a header is clicked";
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(MainFormTest, AccountColumnFillsTheRestOfTheList)
{
    Start(QStringLiteral("visible"));
    QApplication::processEvents(); // the header lays its sections out on a posted event
    auto* list = Find<QTreeView>("listMessages");
    int used = 0;
    for (int column = 0; column < 5; ++column)
        used += list->columnWidth(column);
    EXPECT_EQ(used + list->columnWidth(5), list->viewport()->width());
}

TEST_F(MainFormTest, StatusBarHasThreePanelsAndReady)
{
    Start(QStringLiteral("visible"));
    QList<QLabel*> panels;
    for (int panel = 0; panel < 3; ++panel)
        panels << Find<QLabel>(QStringLiteral("StatusPanel%1").arg(panel).toLatin1().constData());
    EXPECT_EQ(Form->StatusText(0), "Ready");
    EXPECT_EQ(Form->StatusText(1), "");
    EXPECT_EQ(Form->StatusText(2), "");
    EXPECT_EQ(panels[0]->width(), 200);
    EXPECT_EQ(panels[1]->width(), 200);
    EXPECT_LT(panels[0]->x(), panels[1]->x());
    EXPECT_LT(panels[1]->x(), panels[2]->x());
    EXPECT_GT(panels[2]->width(), 100); // the rest of the 570-pixel window

    Form->SetStatusText(1, QStringLiteral("Checked at: 10:00"));
    Form->SetStatusText(2, QStringLiteral("No new messages"));
    EXPECT_EQ(panels[1]->text(), "Checked at: 10:00");
    EXPECT_EQ(Form->StatusText(2), "No new messages");
}

TEST_F(MainFormTest, MenuHintsDoNotOverwriteThePanels)
{
    Start(QStringLiteral("visible"));
    QStatusTipEvent tip(QStringLiteral("Check For New Mail"));
    QApplication::sendEvent(Form.get(), &tip);
    EXPECT_EQ(Form->StatusText(0), "Ready");
    EXPECT_TRUE(Find<QLabel>("StatusPanel0")->isVisible());
}

TEST_F(MainFormTest, MainMenuWithItsThreeMenusInOrder)
{
    Start();
    auto* menuBar = Find<QMenuBar>("MainFormMenu");
    ASSERT_NE(menuBar, nullptr);
    EXPECT_EQ(Form->menuBar(), menuBar);
    EXPECT_EQ(Texts(menuBar->actions()), (QStringList{"&Action", "&Config", "&Help"}));

    auto* action1 = Find<QMenu>("Action1");
    EXPECT_EQ(Entries(action1->actions()), (QStringList{"CheckNow1", "Minimize1", "LaunchClient1", "-", "QuickView1",
                                                         "Delete1", "MarkRead1", "BlockSender1", "-", "Exit1"}));
    EXPECT_EQ(Texts(action1->actions()),
              (QStringList{"&Check Now", "&Minimize", "&Launch Client", "-", "&Quick View", "&Delete", "Mark as &Read",
                           "&Block Sender", "-", "E&xit"}));

    auto* config1 = Find<QMenu>("Config1");
    EXPECT_EQ(config1->menuAction(), menuBar->actions().at(1));
    EXPECT_EQ(Entries(config1->actions()),
              (QStringList{"OpenConfigWindow1", "-", "LoadOnStartup1", "StartVisible1", "EnableChecking1"}));
    EXPECT_EQ(Texts(config1->actions()), (QStringList{"&Open Config Window", "-", "&Load On Startup",
                                                       "&Start Visible", "&Enable Checking"}));
    for (const char* name : {"LoadOnStartup1", "StartVisible1", "EnableChecking1"})
        EXPECT_TRUE(Find<QAction>(name)->isCheckable()) << name;

    auto* help1 = Find<QMenu>("Help1");
    EXPECT_EQ(Entries(help1->actions()), (QStringList{"HelpContents1", "About1", "-", "VisitTallowfen1"}));
    EXPECT_EQ(Texts(help1->actions()), (QStringList{"&Help Contents", "&About...", "-", "&Visit Tallowfen"}));
}

TEST_F(MainFormTest, MenuItemsRunTheirActionsAndFollowThem)
{
    Start();
    const struct {
        const char* Item;
        const char* Action;
    } links[] = {
        {"CheckNow1", "actCheckNow"},   {"Minimize1", "actMinimize"},     {"LaunchClient1", "actLaunch"},
        {"QuickView1", "actView"},      {"Delete1", "actDelete"},         {"BlockSender1", "actBlockSender"},
        {"Exit1", "actClose"},          {"OpenConfigWindow1", "actConfig"}, {"HelpContents1", "actHelp"},
        {"About1", "actAboutBox"},      {"VisitTallowfen1", "actWebsite"}, {"BlockSender2", "actBlockSender"},
        {"Delete2", "actDelete"},       {"QuickView2", "actView"},        {"MarkRead1", "actMarkRead"},
        {"MarkRead2", "actMarkRead"},
    };
    UrlCatcher browser;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "Open");
    for (const auto& link : links) {
        SCOPED_TRACE(link.Item);
        auto* item = Find<QAction>(link.Item);
        auto* action = Find<QAction>(link.Action);
        ASSERT_TRUE(item && action);
        EXPECT_EQ(item->text(), action->text());
        EXPECT_EQ(item->toolTip(), action->toolTip());
        EXPECT_EQ(item->icon().cacheKey(), action->icon().cacheKey());
        if (action == Find<QAction>("actClose"))
            continue; // Exit ends the program: its own test
        action->setEnabled(true); // Mark as Read waits for a row it can mark
        int runs = 0;
        auto connection = QObject::connect(action, &QAction::triggered, [&runs] { ++runs; });
        if (action == Form->actAboutBox)
            OnNextModal([](QDialog& about) { about.reject(); });
        item->trigger();
        EXPECT_EQ(runs, 1);
        QObject::disconnect(connection);
        action->setEnabled(false);
        EXPECT_FALSE(item->isEnabled());
        action->setEnabled(true);
        EXPECT_TRUE(item->isEnabled());
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    EXPECT_EQ(browser.Urls.size(), 1) << "Visit Tallowfen opens the maker's site";
    THelpViewer::Instance().close();
}

TEST_F(MainFormTest, ListContextMenuOpensOnTheList)
{
    Start(QStringLiteral("visible"));
    auto* popup = Find<QMenu>("MsgListPop");
    EXPECT_EQ(Entries(popup->actions()), (QStringList{"BlockSender2", "Delete2", "MarkRead2", "QuickView2"}));
    EXPECT_EQ(Texts(popup->actions()), (QStringList{"&Block Sender", "&Delete", "Mark as &Read", "&Quick View"}));
    auto* list = Find<QTreeView>("listMessages");
    EXPECT_EQ(list->contextMenuPolicy(), Qt::CustomContextMenu);
    emit list->customContextMenuRequested(QPoint(20, 20));
    EXPECT_TRUE(popup->isVisible());
    popup->close();
}

TEST_F(MainFormTest, ThreeTimers)
{
    Start();
    auto* timerMain = Find<QTimer>("TimerMain");
    auto* timer1 = Find<QTimer>("Timer1");
    auto* timerHangUp = Find<QTimer>("TimerHangUp");
    EXPECT_EQ(timerMain->interval(), 60000);
    EXPECT_TRUE(timerMain->isActive());
    EXPECT_FALSE(timerMain->isSingleShot());
    EXPECT_EQ(timer1->interval(), 100);
    EXPECT_FALSE(timer1->isActive());
    EXPECT_TRUE(timer1->isSingleShot());
    EXPECT_EQ(timerHangUp->interval(), 1000);
    EXPECT_FALSE(timerHangUp->isActive());
    EXPECT_EQ(Form->Engine->CheckCycle().MinutesElapsed, 0);
}

TEST_F(MainFormTest, HiddenWithoutVisibleOnTheCommandLine)
{
    Start(QStringLiteral("/usr/bin/postwatch /CheckNow"));
    EXPECT_FALSE(Form->isVisible());
}

TEST_F(MainFormTest, VisibleOnTheCommandLineShowsTheWindowInAnyCaseAndPlace)
{
    for (const char* commandLine : {"postwatch visible", "postwatch /VISIBLE", "postwatch -xInvisiblex"}) {
        SCOPED_TRACE(commandLine);
        Start(QString::fromLatin1(commandLine));
        EXPECT_TRUE(Form->isVisible());
    }
}

TEST_F(MainFormTest, ShowAndRaiseShowsAHiddenWindow)
{
    Start();
    ASSERT_FALSE(Form->isVisible());
    Form->ShowAndRaise();
    EXPECT_TRUE(Form->isVisible());
    EXPECT_FALSE(Form->isMinimized());
}

// Started by the desktop's autostart, nobody may see the box: its text goes
// to standard error too, the session's journal.
TEST_F(MainFormTest, AFailureBoxAlsoWritesItsTextToStandardError)
{
    Start();
    testing::internal::CaptureStderr();
    Form->actCheckNow->trigger();
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Boxes, QStringList{"There are no accounts to check"});
    EXPECT_NE(written.find("postwatch: There are no accounts to check\n"), std::string::npos) << written;
}

TEST_F(MainFormTest, WndRectBytesGiveLeftTopWidthHeight)
{
    WriteWndRect(ExampleWndRect);
    Start();
    EXPECT_EQ(Form->pos(), QPoint(16, 32));
    EXPECT_EQ(Form->size(), QSize(576, 344));
    // The offscreen platform keeps the position when the window is shown.
    Form->show();
    QApplication::processEvents();
    EXPECT_EQ(Form->pos(), QPoint(16, 32));
    EXPECT_EQ(Form->size(), QSize(576, 344));
}

TEST_F(MainFormTest, NoWndRectKeepsTheDesignPlace)
{
    CreateKey();
    Start();
    EXPECT_EQ(Form->size(), QSize(570, 344));
    EXPECT_EQ(Form->geometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
}

TEST_F(MainFormTest, AWndRectOfAnotherLengthKeepsTheDesignPlace)
{
    WriteWndRect(ExampleWndRect.left(12));
    Start();
    EXPECT_EQ(Form->size(), QSize(570, 344));
}

// A monitor that was unplugged since: the window comes back onto the
// primary screen at its centre, in its stored size; a window that still
// shows enough of itself stays where it was put.
TEST_F(MainFormTest, AWndRectNoScreenShowsIsCentredOnThePrimaryScreen)
{
    WriteWndRect(Bytes({0x88, 0x13, 0, 0, 0x10, 0x27, 0, 0, 0x40, 0x02, 0, 0, 0x58, 0x01, 0, 0})); // 5000, 10000
    Start();
    EXPECT_EQ(Form->size(), QSize(576, 344));
    EXPECT_EQ(Form->geometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect cornerShowing(screen.right() - 100, screen.bottom() - 40, 576, 344);
    EXPECT_EQ(WindowRect::OnSomeScreen(cornerShowing), cornerShowing);
    const QRect slivers(screen.right() - 10, screen.bottom() - 10, 576, 344);
    EXPECT_NE(WindowRect::OnSomeScreen(slivers), slivers);
}

TEST_F(MainFormTest, ClosingStoresTheRectangleAndTheNextStartRestoresIt)
{
    CreateKey();
    Start(QStringLiteral("visible"));
    Form->move(40, 50);
    Form->resize(600, 400);
    QApplication::processEvents();
    EXPECT_TRUE(Form->close());
    EXPECT_FALSE(Form->isVisible()); // only hidden
    EXPECT_EQ(StoredWndRect(), Bytes({40, 0, 0, 0, 50, 0, 0, 0, 0x58, 0x02, 0, 0, 0x90, 0x01, 0, 0}));

    Start(QStringLiteral("visible"));
    EXPECT_EQ(Form->pos(), QPoint(40, 50));
    EXPECT_EQ(Form->size(), QSize(600, 400));
}

TEST_F(MainFormTest, ClosingWritesNegativePositionsAsSignedNumbers)
{
    CreateKey();
    Start(QStringLiteral("visible"));
    Form->move(-8, -2);
    EXPECT_TRUE(Form->close());
    EXPECT_EQ(StoredWndRect().left(8), Bytes({0xf8, 0xff, 0xff, 0xff, 0xfe, 0xff, 0xff, 0xff}));
    Start();
    EXPECT_EQ(Form->pos(), QPoint(-8, -2));
}

TEST_F(MainFormTest, ClosingWithoutTheKeyStoresNothingAndCreatesNoKey)
{
    Start(QStringLiteral("visible"));
    EXPECT_TRUE(Form->close());
    EXPECT_FALSE(Form->isVisible());
    TRegistry reg(Store);
    EXPECT_FALSE(reg.OpenKey(Key, false));
}

TEST_F(MainFormTest, ClosingDoesNotEndTheProgram)
{
    CreateKey();
    Start(QStringLiteral("visible"));
    EXPECT_FALSE(QApplication::quitOnLastWindowClosed());
    QTimer::singleShot(0, Form.get(), [this] { Form->close(); });
    QTimer end;
    end.setSingleShot(true);
    QObject::connect(&end, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    end.start(200);
    const int result = QApplication::exec();
    EXPECT_EQ(result, 7); // ended by the test's own timer, not by the close
}

TEST_F(MainFormTest, ExitClosesTheRunFormWhichEndsTheProgramWithoutStoringWndRect)
{
    WriteWndRect(ExampleWndRect);
    Start(QStringLiteral("visible"));
    Run->show();
    Form->move(100, 100);
    auto* exitAction = Find<QAction>("actClose");
    QTimer::singleShot(0, exitAction, &QAction::trigger);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(5000);
    const int result = QApplication::exec();
    EXPECT_EQ(result, 0); // the run form's close ended the loop, not the guard
    EXPECT_FALSE(Run->isVisible());
    EXPECT_TRUE(Form->isVisible()); // the main window's close handler did not run
    EXPECT_EQ(StoredWndRect(), ExampleWndRect);
}

TEST_F(MainFormTest, TheExitButtonAndTheMenuItemEndTheProgramToo)
{
    for (const char* name : {"btnExit", "Exit1"}) {
        SCOPED_TRACE(name);
        Start();
        Run->show();
        QObject* trigger = Form->findChild<QObject*>(QLatin1String(name));
        ASSERT_NE(trigger, nullptr);
        QTimer::singleShot(0, trigger, [trigger] {
            if (auto* button = qobject_cast<QToolButton*>(trigger))
                button->click();
            else
                qobject_cast<QAction*>(trigger)->trigger();
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(5000);
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_FALSE(Run->isVisible());
    }
}

TEST_F(MainFormTest, TheConfigMenuMirrorsItsOptionsAndEachItemTurnsOneOverAndSavesAll)
{
    Start();
    Options.SetStartVisible(false);
    Options.SetLoadOnStartup(false);
    Options.SetCheckingEnabled(true);
    emit Find<QMenu>("Config1")->aboutToShow();
    EXPECT_FALSE(Find<QAction>("StartVisible1")->isChecked());
    EXPECT_FALSE(Find<QAction>("LoadOnStartup1")->isChecked());
    EXPECT_TRUE(Find<QAction>("EnableChecking1")->isChecked());

    for (const char* name : {"StartVisible1", "LoadOnStartup1", "EnableChecking1"})
        Find<QAction>(name)->trigger();
    EXPECT_TRUE(Options.StartVisible());
    EXPECT_TRUE(Options.LoadOnStartup());
    EXPECT_FALSE(Options.CheckingEnabled());
    TRegistry reg(Store);
    ASSERT_TRUE(reg.OpenKey(Key, false));
    EXPECT_TRUE(reg.ReadBool("StartVisible"));
    EXPECT_TRUE(reg.ReadBool("LoadOnStartup"));
    EXPECT_FALSE(reg.ReadBool("CheckingEnabled"));
}

// Every row the list is told of repaints all it shows: rows show at once
// while there is room for them or the window is hidden, and those below the
// visible ones come together a moment later.
TEST_F(MainFormTest, RowsBelowTheVisibleOnesReachTheListTogether)
{
    Start(QStringLiteral("visible"));
    auto* list = Find<QTreeView>("listMessages");
    Form->MessageList->HoldBackMs = 20;
    TSummary summary;
    summary.From = QStringLiteral(" Ann");
    int added = 0;
    const auto add = [&] { Form->MessageList->AddSummary(summary, QStringLiteral("Home"), ++added); };
    const auto full = [list] { return list->indexAt({0, list->viewport()->height() - 1}).isValid(); };
    while (!full() && added < 100) {
        add();
        ASSERT_EQ(list->model()->rowCount(), added);
    }
    ASSERT_TRUE(full());
    EXPECT_GT(added, 3);

    add();
    add();
    EXPECT_EQ(list->model()->rowCount(), added - 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->model()->rowCount() == added; }, 5000));

    Form->hide();
    add();
    EXPECT_EQ(list->model()->rowCount(), added);
}

// Without a selected row the message actions do nothing; with one, Block
// Sender offers the row's sender text decoded, and that entry blocks it.
TEST_F(MainFormTest, MessageActionsOnTheSelectedRowAndMinimize)
{
    Start(QStringLiteral("visible"));
    TPop3Client pop;
    TConfigForm config(Options, pop, [] {});
    Form->ConfigForm = &config;
    for (const char* name : {"actDelete", "actView", "actBlockSender"})
        Find<QAction>(name)->trigger();
    EXPECT_TRUE(Boxes.isEmpty());

    TSummary spam;
    spam.From = QStringLiteral(" =?utf-8?q?Sp=C3=A4m?= <spam@example.com>");
    Form->MessageList->AddSummary(spam, QStringLiteral("Home"), 1);
    Form->listMessages->setCurrentIndex(Form->listMessages->model()->index(0, 0));
    OnNextModal([](QDialog& block) {
        EXPECT_EQ(block.findChild<QLineEdit*>("editSenderName")->text(), " Späm <spam@example.com>");
        block.findChild<QPushButton*>("btnOK")->click();
    });
    Find<QAction>("actBlockSender")->trigger();
    EXPECT_NE(Form->MessageList->AddSummary(spam, QStringLiteral("Home"), 2), TSummaryResult::Kept);
    EXPECT_EQ(config.findChild<QListWidget*>("listBS")->count(), 1) << "the configuration's list shows the entry";

    OnNextModal([](QDialog& about) {
        EXPECT_EQ(about.windowTitle(), "About Postwatch");
        about.accept();
    });
    Find<QAction>("actAboutBox")->trigger();

    Find<QAction>("actMinimize")->trigger();
    EXPECT_FALSE(Form->isVisible());
}


// Dead servers on Check Now: the rows of their last good check stay, greyed
// and dated, the status bar and the tray's hint say the check failed, and
// the two failures are one box, which stands until both accounts check well.
TEST_F(MainFormTest, DeadServersKeepTheirRowsAndAreToldInOneBox)
{
    QTemporaryDir profile;
    qputenv("POSTWATCH_PROFILE", profile.path().toUtf8());
    const auto unset = qScopeGuard([] { qunsetenv("POSTWATCH_PROFILE"); });
    std::map<QString, std::unique_ptr<TScriptServer>> servers;
    const auto serve = [&](const QString& account) {
        auto& server = servers[account] = std::make_unique<TScriptServer>();
        server->Replies = {{"USER", "+OK\r\n"}, {"PASS", "+OK\r\n"}, {"STAT", "+OK 1 90\r\n"}, {"LIST", "+OK 1 90\r\n"},
                           {"TOP", "+OK\r\nFrom: Ann\r\nSubject: Lunch\r\n\r\n.\r\n"}, {"QUIT", "+OK\r\n"}};
        StoreAccount(Store, account, "127.0.0.1", server->Port(), "ann", "pw");
    };
    serve("Home");
    serve("Work");
    Options.FillLists();
    Options.LoadSettings();
    Options.SetConnType(LanConn);
    Start(QStringLiteral("visible"));
    const auto checked = [this] {
        Find<QAction>("actCheckNow")->trigger();
        return QTest::qWaitFor([this] { return !Form->Engine->EngineBusy(); }, 20000);
    };
    const auto boxes = [] {
        QStringList texts;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible())
                texts << box->text();
        return texts;
    };
    ASSERT_TRUE(checked());
    ASSERT_EQ(Form->MessageList->Count(), 2);

    servers.clear();
    SetMsgBoxHook({});
    ASSERT_TRUE(checked());
    TMessageList& list = *Form->MessageList;
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.data(list.index(1, TMessageList::colFrom), Qt::ForegroundRole),
              QVariant(Form->listMessages->palette().brush(QPalette::Disabled, QPalette::Text)));
    EXPECT_TRUE(list.data(list.index(0, TMessageList::colAccount), Qt::ToolTipRole).toString().startsWith("as of "));
    EXPECT_EQ(Form->StatusText(2), "Check failed for Home, Work; 2 new messages");
    EXPECT_TRUE(Run->SysTray1->ToolTip.startsWith("Postwatch: 2 messages\nCheck failed:\nHome: Failed to connect"))
        << Run->SysTray1->ToolTip.toStdString();
    EXPECT_EQ(boxes(), QStringList{"Postwatch could not check 2 accounts:\n\nHome: Failed to connect\nWork: Failed to connect"});

    serve("Home");
    ASSERT_TRUE(checked());
    EXPECT_FALSE(list.data(list.index(0, TMessageList::colFrom), Qt::ForegroundRole).isValid());
    EXPECT_EQ(boxes().size(), 2) << "the first box still tells of Work, and Work failed again";
    serve("Work");
    ASSERT_TRUE(checked());
    EXPECT_TRUE(QTest::qWaitFor([&] { return boxes().isEmpty(); }, 5000)) << boxes().join('|').toStdString();
}

// Mark as Read is offered for a row whose server keeps read marks, and
// Ctrl+K or the command marks that row's message there.
TEST_F(MainFormTest, MarkAsReadIsOfferedWhereTheServerKeepsReadMarksAndMarksTheSelectedRow)
{
    std::map<QString, TScriptedMailSource*> sources;
    const auto make = [&sources](const QString& account) {
        auto made = std::make_unique<TScriptedMailSource>(account);
        made->KeepsReadMarks = account == "Home";
        made->Add(" Ann", " Lunch", account + "-1");
        sources[account] = made.get();
        return made;
    };
    StoreAccount(Store, "Home", "imap.example.org", 993, "ann", "pw");
    StoreAccount(Store, "Work", "pop.example.org", 995, "ann", "pw");
    Options.FillLists();
    Options.LoadSettings();
    Options.SetConnType(LanConn);
    Start(QStringLiteral("visible"), make);
    QAction* markRead = Find<QAction>("actMarkRead");
    EXPECT_FALSE(markRead->isEnabled());
    Find<QAction>("actCheckNow")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return Form->MessageList->rowCount() == 2; }, 5000));
    EXPECT_FALSE(markRead->isEnabled()) << "no row is selected";

    QTreeView& list = *Form->listMessages;
    list.setCurrentIndex(list.model()->index(1, 0));
    EXPECT_FALSE(markRead->isEnabled()) << "Work's server keeps no read marks";
    EXPECT_FALSE(Find<QToolButton>("btnMarkRead")->isEnabled());
    list.setCurrentIndex(list.model()->index(0, 0));
    EXPECT_TRUE(markRead->isEnabled());
    EXPECT_TRUE(Find<QToolButton>("btnMarkRead")->isEnabled());

    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    QTest::keyClick(&list, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(sources.at("Home")->Marked, QStringList{"Home-1"});
    EXPECT_TRUE(sources.at("Work")->Marked.isEmpty());
    ASSERT_EQ(Form->MessageList->Count(), 1);
    EXPECT_EQ(Form->MessageList->Entry(0).Account, "Work");
    EXPECT_FALSE(markRead->isEnabled()) << "Work's row is the one left";
}

// A mail program's path may hold a blank: the whole path is what starts.
TEST_F(MainFormTest, LaunchClientStartsTheProgramAtAQuotedPathWithABlank)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("Mail App"));
    QFile program(dir.filePath("Mail App/mail"));
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.write("#!/bin/sh\ntouch '" + dir.filePath("started").toUtf8() + "'\n");
    program.close();
    ASSERT_TRUE(program.setPermissions(program.permissions() | QFile::ExeOwner));
    TRegistry reg(Store, RootKey::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey(StoreKeys::MailClients, true));
    reg.WriteString(QString(), "Mail");
    ASSERT_TRUE(reg.OpenKey(StoreKeys::MailClients + "Mail\\Protocols\\mailto\\Shell\\Open\\Command", true));
    reg.WriteString(QString(), '"' + program.fileName() + "\" --compose %1");
    reg.CloseKey();

    Start();
    Find<QAction>("actLaunch")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(dir.filePath("started")); }, 10000));
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join(", ").toStdString();
}

// A desktop where nothing opens mailto links: Launch Client says how to set
// a mail program up.
TEST_F(MainFormTest, LaunchClientWithoutAMailProgramSaysHowToSetOneUp)
{
    QTemporaryDir empty;
    Store.AddSystemKey(SystemKeys::MailClients({{empty.path()}, {empty.path()}, {}}));
    Start();
    Find<QAction>("actLaunch")->trigger();
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_TRUE(Boxes[0].startsWith("No mail program is set up for mailto links.\n\n")) << Boxes[0].toStdString();
    EXPECT_TRUE(Boxes[0].endsWith("xdg-settings set default-url-scheme-handler mailto NAME.desktop"));
}

// Rows as the list shows them, top to bottom: the From column.
QStringList ShownSenders(const QTreeView& list)
{
    QStringList senders;
    for (int row = 0; row < list.model()->rowCount(); ++row)
        senders << list.model()->index(row, TMessageList::colFrom).data().toString();
    return senders;
}

void ClickHeader(QTreeView& list, int column)
{
    QHeaderView* header = list.header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      {header->sectionViewportPosition(column) + 5, header->height() / 2});
}

void AddMessage(TMessageList& list, const QString& from, qint64 bytes, const QString& date, int number)
{
    list.AddSummary({QStringLiteral(" s"), from, QString(), bytes, {"Date: " + date, "."}}, QStringLiteral("Home"),
                    number);
}

// A header click orders by that column, Received by time and Size by
// number; a third click brings arrival order back. The actions take the
// row the user selected, wherever the order put it.
TEST_F(MainFormTest, AHeaderClickSortsAndActionsTakeTheSelectedRow)
{
    Start(QStringLiteral("visible"));
    AddMessage(*Form->MessageList, " Ann <ann@example.org>", 900, "Tue, 2 Dec 2025 10:00:00 +0000", 1);
    AddMessage(*Form->MessageList, " Bea <bea@example.org>", 10240, "Mon, 1 Dec 2025 10:00:00 +0000", 2);
    AddMessage(*Form->MessageList, " Cid <cid@example.org>", 2048, "Wed, 3 Dec 2025 09:00:00 +0100", 3);
    AddMessage(*Form->MessageList, " Dee <dee@example.org>", 5, "someday", 4);
    QTreeView& list = *Form->listMessages;
    ClickHeader(list, TMessageList::colReceived);
    EXPECT_EQ(ShownSenders(list), (QStringList{"Dee", "Bea", "Ann", "Cid"}));
    ClickHeader(list, TMessageList::colSize);
    EXPECT_EQ(ShownSenders(list), (QStringList{"Dee", "Ann", "Cid", "Bea"}));
    ClickHeader(list, TMessageList::colSize);
    EXPECT_EQ(ShownSenders(list), (QStringList{"Bea", "Cid", "Ann", "Dee"}));

    list.setCurrentIndex(list.model()->index(1, 0));
    EXPECT_EQ(Form->SelectedRow(), 2);
    EXPECT_EQ(Form->SelectedSender(), " Cid <cid@example.org>");
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    QTest::keyClick(&list, Qt::Key_Delete);
    EXPECT_EQ(Boxes, QStringList{"Are you sure you want to delete this message?"});

    ClickHeader(list, TMessageList::colSize);
    EXPECT_EQ(ShownSenders(list), (QStringList{"Ann", "Bea", "Cid", "Dee"}));
}

TEST_F(MainFormTest, CellsShowReadableTextsAndTheWholeTextAsATip)
{
    Start();
    Form->MessageList->AddSummary({QStringLiteral(" A subject longer than its column"),
                                   QStringLiteral(" \"Smith, Ann\" <ann@example.org>"), QString(), 4300, {"."}},
                                  QStringLiteral("Home"), 1);
    const QAbstractItemModel& rows = *Form->listMessages->model();
    const auto cell = [&](int column, int role) { return rows.index(0, column).data(role).toString(); };
    EXPECT_EQ(cell(TMessageList::colFrom, Qt::DisplayRole), "Smith, Ann");
    EXPECT_EQ(cell(TMessageList::colFrom, Qt::ToolTipRole), "\"Smith, Ann\" <ann@example.org>");
    EXPECT_EQ(cell(TMessageList::colSubject, Qt::ToolTipRole), "A subject longer than its column");
    EXPECT_EQ(cell(TMessageList::colSize, Qt::DisplayRole), "4 KB");
}

// Enter opens the quick view, Delete deletes, F5 checks, wherever the
// window's focus is.
TEST_F(MainFormTest, KeysRunTheirActions)
{
    Start(QStringLiteral("visible"));
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    QStringList runs;
    for (QAction* action : {Form->actView, Form->actDelete, Form->actCheckNow})
        QObject::connect(action, &QAction::triggered, [&runs, action] { runs << action->objectName(); });
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Delete, Qt::Key_F5})
        QTest::keyClick(Form->listMessages, key);
    EXPECT_EQ(runs, (QStringList{"actView", "actView", "actDelete", "actCheckNow"}));
}

// The tray's hint counts the messages waiting and keeps the failures that
// stand; its menu shows the window.
TEST_F(MainFormTest, TheTrayNamesTheCountWaitingAndShowsTheWindow)
{
    Start();
    EXPECT_EQ(Run->SysTray1->ToolTip, "Postwatch");
    AddMessage(*Form->MessageList, " Ann", 10, "today", 1);
    EXPECT_EQ(Run->SysTray1->ToolTip, "Postwatch: 1 message");
    AddMessage(*Form->MessageList, " Bea", 10, "today", 2);
    Run->SetHint({QStringLiteral("Work: Login refused, 10:41")});
    EXPECT_EQ(Run->SysTray1->ToolTip, "Postwatch: 2 messages\nWork: Login refused, 10:41");
    Form->MessageList->Clear();
    EXPECT_EQ(Run->SysTray1->ToolTip, "Postwatch\nWork: Login refused, 10:41");

    ASSERT_FALSE(Form->isVisible());
    Run->findChild<QAction*>(QStringLiteral("ShowPostwatch1"))->trigger();
    EXPECT_TRUE(Form->isVisible());
}

// Without accounts the empty list says what to do, and its link opens a new
// account's dialog over the Accounts tab.
TEST_F(MainFormTest, AFirstStartWithoutAccountsLeadsToANewAccount)
{
    Start(QStringLiteral("visible"));
    TPop3Client pop;
    TConfigForm config(Options, pop, [] {});
    Form->ConfigForm = &config;
    auto* hint = Form->findChild<TNoAccountsHint*>(QStringLiteral("NoAccountsHint"));
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->isVisible());
    EXPECT_EQ(hint->text(), "No accounts yet: <a href=\"new\">Config, Accounts, New\u2026</a>");

    QString openedOver;
    OnNextModal([&](QDialog& accountDialog) {
        EXPECT_EQ(accountDialog.windowTitle(), "Add Account");
        EXPECT_EQ(accountDialog.parentWidget(), &config);
        openedOver = config.ConfigPage->currentWidget()->objectName();
        StoreAccount(Store, "Home", "127.0.0.1", 110, "ann", "pw");
        accountDialog.reject();
        QTimer::singleShot(0, &config, &QDialog::reject);
    });
    emit hint->linkActivated(QStringLiteral("new"));
    EXPECT_EQ(openedOver, "TabAccounts");
    EXPECT_FALSE(hint->isVisible()) << "gone once an account exists";
}

}

