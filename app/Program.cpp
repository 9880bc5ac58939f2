#include "app/Program.h"

#include "app/Mainformdlg.h"
#include "base/Exception.h"
#include "base/Guard.h"
#include "config/AccountPassword.h"
#include "config/SecretStore.h"
#include "config/Settings.h"
#include "config/UserStore.h"
#include "desktop/Runformdlg.h"
#include "dialogs/Configdlg.h"
#include "engine/CheckCommand.h"
#include "engine/CheckEngine.h"
#include "engine/ListCommand.h"
#include "engine/SignInCommand.h"
#include "engine/Listing.h"
#include "engine/MessageList.h"
#include "platform/Console.h"
#include "platform/InstanceChannel.h"
#include "platform/DialUp.h"
#include "platform/Profile.h"
#include "pop3/Pop3client.h"
#include "viewer/Quickviewdlg.h"
#include "widgets/HelpViewer.h"
#include "widgets/MsgBox.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTextStream>

Program::Program(RegistryStore& store, TDialUp& dialUp, const CommandLine& commandLine)
    : settings(std::make_unique<Settings>(store)), runForm(std::make_unique<TRunForm>(*settings))
{
    runForm->show();
    mainForm = std::make_unique<TMainForm>(store, *settings, dialUp, *runForm, commandLine.Text);
    configForm = std::make_unique<TConfigForm>(*settings, *mainForm->Pop1, [this] { mainForm->ShowAndRaise(); });
    mainForm->ConfigForm = configForm.get();
    quickView = std::make_unique<TQuickView>(*settings, mainForm->actDelete, mainForm->actLaunch,
                                             [form = mainForm.get()] { return form->SelectedSender(); });
    mainForm->QuickView = quickView.get();
}

Program::~Program() = default;

// What later starts asked for while this one was starting runs now.
void Program::Listen(InstanceChannel& channel)
{
    QObject::connect(&channel, &InstanceChannel::CheckNowRequested, mainForm.get(),
                     GuardedSlot([this] { mainForm->actCheckNow->trigger(); }));
    QObject::connect(&channel, &InstanceChannel::ShowRequested, mainForm.get(),
                     GuardedSlot([this] { mainForm->ShowAndRaise(); }));
    channel.Listing = [this] {
        const QStringList status{mainForm->StatusText(0), mainForm->StatusText(1), mainForm->StatusText(2)};
        const TCheckEngine& engine = *mainForm->Engine;
        return TListing::Of(*mainForm->MessageList, status, &engine.StandingFailures(), engine.Watched()).ToJson();
    };
    channel.SetReady();
}

namespace {
void showErrorBox(const QString& message)
{
    WriteErrorLine(message);
    MsgBox({message, QApplication::applicationName(), nullptr, QMessageBox::Ok});
}

void nameTheApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Postwatch"));
    QCoreApplication::setApplicationVersion(QStringLiteral(POSTWATCH_VERSION));
}

// The desktop finds the window's icon and name in the installed entry.
void nameTheDesktopApplication()
{
    nameTheApplication();
    QGuiApplication::setDesktopFileName(QStringLiteral(POSTWATCH_APP_ID));
}

// --help, --version and a wrong option answer on the terminal, with no window.
int runInfoCommand(int argc, char** argv, const CommandLine& commandLine)
{
    QCoreApplication app(argc, argv);
    nameTheApplication();
    if (commandLine.Mode == CommandLine::Invalid) {
        QTextStream(stderr) << "postwatch: " << commandLine.Problem << " See postwatch --help." << Qt::endl;
        return 2;
    }
    QTextStream out(stdout);
    if (commandLine.Mode == CommandLine::Help)
        out << CommandLine::HelpText();
    else
        out << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion() << '\n';
    return 0;
}
}

int RunPostwatch(int argc, char** argv)
{
    UseParentConsole();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = CommandLine::Parse(arguments);
    switch (commandLine.Mode) {
    case CommandLine::Check: return RunCheckCommand(argc, argv);
    case CommandLine::List: return RunListCommand(argc, argv, commandLine.Json);
    case CommandLine::SignIn: return RunSignInCommand(argc, argv, commandLine.Account);
    case CommandLine::Help:
    case CommandLine::Version:
    case CommandLine::Invalid: return runInfoCommand(argc, argv, commandLine);
    case CommandLine::Run: break;
    }
    QApplication app(argc, argv);
    nameTheDesktopApplication();
    QApplication::setQuitOnLastWindowClosed(false);
    SetErrorReport(showErrorBox);
    InstallHelpKey(app);

    InstanceChannel channel(Profile::StoreFilePath());
    if (channel.ForwardOrListen(commandLine.ForwardedWords()) == InstanceChannel::Forwarded)
        return 0;

    try {
        const std::unique_ptr<TDialUp> systemDialUp = SystemDialUp();
        TDialUp& dialUp = *systemDialUp;
        const auto store = OpenUserStore(dialUp);
        const auto secrets = UseSecretStore(*store, UserStoreName(*store));
        Program program(*store, dialUp, commandLine);
        program.Listen(channel);
        return app.exec();
    } catch (const Exception& e) {
        showErrorBox(e.Message);
        return 1;
    }
}
