#include "desktop/Runformdlg.h"

#include "base/Guard.h"
#include "config/Settings.h"
#include "desktop/Systray.h"
#include "resources/Images.h"
#include "widgets/ActionLink.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QMenu>
#include <QLabel>
#include <QScreen>
#include <QTimer>

namespace {

constexpr QSize ClientSize(410, 239);
constexpr QSize LogoSize(188, 104);
constexpr int TrademarkPixels = 19;

QFont logoFont(int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}

TRunForm::TRunForm(Settings& settings, QWidget* parent)
    : QFrame(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      options(settings)
{
    setObjectName(QStringLiteral("RunForm"));
    setWindowTitle(QStringLiteral("Postwatch"));
    setWindowIcon(Images::AppIcon());
    setAutoFillBackground(true);
    QPalette look = palette();
    look.setColor(QPalette::Window, Qt::white);
    look.setColor(QPalette::WindowText, QColor(0x37, 0x47, 0x4f));
    setPalette(look);

    // Being the application's main window in the framework's sense, this
    // window alone ends the program: the main window and the dialogs only hide.
    QApplication::setQuitOnLastWindowClosed(false);

    CreateLogo();
    CreateTray();
    setFixedSize(ClientSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(2000); // never stopped: a late show is still hidden within 2 s
    connect(Timer1, &QTimer::timeout, this, GuardedSlot([this] { Timer1Timer(); }));
    Timer1->start();
    Guarded([this] { FormCreate(); });
}

// The menu is the icon's own before the icon goes in, so every kind of tray
// offers it; its items come with the main window's actions.
void TRunForm::CreateTray()
{
    TrayPop = new QMenu(this);
    TrayPop->setObjectName(QStringLiteral("TrayPop"));
    connect(TrayPop, &QMenu::aboutToShow, this, GuardedSlot([this] { TrayPopPopup(); }));
    ShowPostwatch1 = new QAction(QStringLiteral("Show Postwatch"), this);
    ShowPostwatch1->setObjectName(QStringLiteral("ShowPostwatch1"));
    connect(ShowPostwatch1, &QAction::triggered, this, GuardedSlot([this] { SysTray1LButtonDblClk(); }));
    EnableChecking1 = new QAction(QStringLiteral("Enable Checking"), this);
    EnableChecking1->setObjectName(QStringLiteral("EnableChecking1"));
    EnableChecking1->setCheckable(true);
    connect(EnableChecking1, &QAction::triggered, this, GuardedSlot([this] { EnableChecking1Click(); }));
    CreateDoNotDisturbMenu();

    SysTray1 = new TSysTray(this);
    SysTray1->setObjectName(QStringLiteral("SysTray1"));
    SysTray1->SetImageList(Images::TrayImgs());
    SysTray1->ToolTip = QStringLiteral("Postwatch");
    SysTray1->SetAniSpeed(500);
    SysTray1->OnLButtonDown = [this](QObject*) { SysTray1LButtonDown(); };
    SysTray1->OnLButtonDblClk = [this](QObject*) { SysTray1LButtonDblClk(); };
    SysTray1->OnRButtonDown = [this](QObject*) { SysTray1RButtonDown(); };
    SysTray1->OnRButtonUp = [this](QObject*) { SysTray1RButtonUp(); };
    SysTray1->SetContextMenu(TrayPop);
    SysTray1->Loaded();
}

void TRunForm::CreateDoNotDisturbMenu()
{
    DoNotDisturb1 = new QMenu(QStringLiteral("Do Not Disturb"), this);
    DoNotDisturb1->setObjectName(QStringLiteral("DoNotDisturb1"));
    DoNotDisturb1->menuAction()->setObjectName(QStringLiteral("DoNotDisturb1"));
    auto* choices = new QActionGroup(DoNotDisturb1);
    auto item = [&](const char* name, const char* caption) {
        QAction* action = DoNotDisturb1->addAction(QString::fromLatin1(caption));
        action->setObjectName(QLatin1String(name));
        action->setCheckable(true);
        choices->addAction(action);
        return action;
    };
    DndForOneHour1 = item("DndForOneHour1", "For 1 Hour");
    DndUntilTomorrow1 = item("DndUntilTomorrow1", "Until Tomorrow");
    DndOff1 = item("DndOff1", "Off");
    DndOff1->setChecked(true);
}

void TRunForm::SetTrayActions(const TTrayActions& actions)
{
    auto item = [this](QAction* action, const char* name) { TrayPop->addAction(NewLinkedItem(action, QLatin1String(name), TrayPop)); };
    auto separator = [this](const char* name) { TrayPop->addSeparator()->setObjectName(QLatin1String(name)); };
    TrayPop->clear();
    TrayPop->addAction(ShowPostwatch1);
    TrayPop->setDefaultAction(ShowPostwatch1);
    separator("N5");
    item(actions.CheckNow, "CheckNow2");
    item(actions.Config, "OpenConfigWindow2");
    item(actions.Launch, "LaunchClient2");
    item(actions.Help, "HelpContents3");
    separator("N1");
    TrayPop->addAction(EnableChecking1);
    TrayPop->addMenu(DoNotDisturb1);
    separator("N4");
    item(actions.Close, "Exit2");
}

void TRunForm::FormCreate()
{
    SysTray1->SetInTray(true);
}

bool TRunForm::Flash()
{
    if (!SysTray1->Shown())
        return false;
    SysTray1->SetAnimate(true);
    return true;
}

void TRunForm::StopFlashing()
{
    SysTray1->SetAnimate(false);
    SysTray1->SetImageIndex(0);
}

void TRunForm::SetHint(const QStringList& lines)
{
    failureLines = lines;
    ShowHint();
}

void TRunForm::SetWatching(const QStringList& lines)
{
    watchLines = lines;
    ShowHint();
}

void TRunForm::SetWaitingCount(int count)
{
    waiting = count;
    ShowHint();
}

void TRunForm::SetQuiet(const QString& line)
{
    quietLine = line;
    ShowHint();
}

void TRunForm::ShowHint()
{
    QString name = QStringLiteral("Postwatch");
    if (waiting > 0)
        name += waiting == 1 ? QStringLiteral(": 1 message") : QStringLiteral(": %1 messages").arg(waiting);
    QStringList lines{name};
    if (!quietLine.isEmpty())
        lines << quietLine;
    SysTray1->ToolTip = (lines + failureLines + watchLines).join(u'\n');
    SysTray1->Loaded();
}

// A tray that never reports a double-click shows the window on a click, or
// the user could not reach it from there.
void TRunForm::SysTray1LButtonDown()
{
    StopFlashing();
    if (!SysTray1->ReportsDoubleClick() && ShowMainWindow)
        ShowMainWindow();
}

void TRunForm::SysTray1LButtonDblClk()
{
    if (ShowMainWindow)
        ShowMainWindow();
}

void TRunForm::SysTray1RButtonDown()
{
    StopFlashing();
}

// Most trays open the icon's menu themselves; where one leaves it to us, it
// opens at the cursor.
void TRunForm::SysTray1RButtonUp()
{
    if (!TrayPop->isVisible())
        TrayPop->popup(QCursor::pos());
}

void TRunForm::TrayPopPopup()
{
    EnableChecking1->setChecked(options.CheckingEnabled());
}

void TRunForm::EnableChecking1Click()
{
    options.SetCheckingEnabled(EnableChecking1->isChecked());
    options.SaveSettings();
}

// The labels stand where the logo was designed; where the desktop's font is
// wider than the designed one, the mark and the version move right rather
// than run into the name.
void TRunForm::CreateLogo()
{
    auto label = [this](const char* name, const QString& text, int pixelSize, const QPoint& place) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setFont(logoFont(pixelSize, pixelSize != TrademarkPixels));
        l->adjustSize();
        l->move(place);
        return l;
    };
    Label1 = label("Label1", QStringLiteral("Postwatch"), 40, QPoint(40, 16));
    Label3 = label("Label3", QStringLiteral("(tm)"), TrademarkPixels, QPoint(224, 32));
    Label3->move(qMax(Label3->x(), Label1->geometry().right() + 2), Label3->y());
    Label4 = label("Label4", QStringLiteral(POSTWATCH_VERSION), 40, QPoint(288, 16));
    Label4->move(qMax(Label4->x(), Label3->geometry().right() + 8), Label4->y());
    QPalette versionLook = Label4->palette();
    versionLook.setColor(QPalette::WindowText, QColor(0x1e, 0x88, 0xe5));
    Label4->setPalette(versionLook);
    Label2 = label("Label2", QStringLiteral("Copyright \u00a9 Tallowfen"), 16, QPoint(90, 72));
    QPalette copyrightLook = Label2->palette();
    copyrightLook.setColor(QPalette::WindowText, QColor(0x78, 0x90, 0x9c));
    Label2->setPalette(copyrightLook);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(QRect(QPoint(111, 120), LogoSize));
    Image1->setPixmap(Images::Logo(LogoSize, devicePixelRatioF()));
}

void TRunForm::Timer1Timer()
{
    hide();
}

void TRunForm::closeEvent(QCloseEvent* event)
{
    Guarded([this] { FormClose(); });
    event->accept();
}

// exit() rather than quit(): quit() would first close every window, and the
// main window's close handler must not run on the way out.
void TRunForm::FormClose()
{
    SysTray1->SetInTray(false);
    QCoreApplication::exit(0);
}
