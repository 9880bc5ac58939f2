#include "app/Program.h"

#include "app/Mainformdlg.h"
#include "base/Exception.h"
#include "base/Guard.h"
#include "config/Configdlg.h"
#include "config/FileStore.h"
#include "config/Settings.h"
#include "config/SystemKeys.h"
#include "desktop/Runformdlg.h"
#include "desktop/HelpViewer.h"
#include "engine/CheckCommand.h"
#include "platform/InstanceChannel.h"
#include "platform/NetworkManagerDialUp.h"
#include "platform/Profile.h"
#include "pop3/Pop3client.h"
#include "viewer/Quickviewdlg.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>

#include <cstring>

Program::Program(RegistryStore& store, TDialUp& dialUp, const CommandLine& commandLine)
    : settings(std::make_unique<Settings>(store)), runForm(std::make_unique<TRunForm>(*settings))
{
    runForm->show();
    mainForm = std::make_unique<TMainForm>(store, *settings, dialUp, *runForm, commandLine.Text);
    configForm = std::make_unique<TConfigForm>(*settings, *mainForm->Pop1, [this] { mainForm->ShowAndRaise(); });
    mainForm->ConfigForm = configForm.get();
    quickView = std::make_unique<TQuickView>(*configForm, mainForm->actDelete, mainForm->actLaunch);
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
    channel.SetReady();
}

namespace {
void showErrorBox(const QString& message)
{
    WriteErrorLine(message);
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), message, QMessageBox::Ok);
    box.exec();
}
}

int RunPostwatch(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--check") == 0)
        return RunCheckCommand(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Postwatch"));
    QApplication::setApplicationVersion(QStringLiteral(POSTWATCH_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    SetErrorReport(showErrorBox);
    InstallHelpKey(app);

    const CommandLine commandLine = CommandLine::Parse(QApplication::arguments());
    InstanceChannel channel(Profile::StoreFilePath());
    if (channel.ForwardOrListen(commandLine.ForwardedWords()) == InstanceChannel::Forwarded)
        return 0;

    try {
        TNetworkManagerDialUp dialUp;
        FileStore store(Profile::StoreFilePath());
        SystemKeys::AddTo(store, dialUp);
        Program program(store, dialUp, commandLine);
        program.Listen(channel);
        return app.exec();
    } catch (const Exception& e) {
        showErrorBox(e.Message);
        return 1;
    }
}
