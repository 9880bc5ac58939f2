#include "app/Program.h"

#include "engine/CheckCommand.h"
#include "app/Mainformdlg.h"
#include "engine/CheckCommand.h"
#include "base/Exception.h"
#include "base/Guard.h"
#include "config/FileStore.h"
#include "config/Settings.h"
#include "config/SystemKeys.h"
#include "desktop/Runformdlg.h"
#include "desktop/Shelllink.h"
#include "platform/GlobalHotkey.h"
#include "platform/InstanceChannel.h"
#include "platform/NetworkManagerDialUp.h"
#include "platform/Profile.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>

#include <cstring>

Program::Program(RegistryStore& store, TDialUp& dialUp, const CommandLine& commandLine)
    : settings(std::make_unique<Settings>(store)), runForm(std::make_unique<TRunForm>(*settings))
{
    runForm->show();
    mainForm = std::make_unique<TMainForm>(store, *settings, dialUp, *runForm, commandLine.Text);
    ConnectOptionEffects();
    settings->FillLists();
    settings->LoadSettings();
    if (settings->StartVisible())
        mainForm->show();
}

Program::~Program() = default;

// The options' effects outside the check: they follow every load, so the
// autostart entry is written again at each start while it is on.
void Program::ConnectOptionEffects()
{
    hotkey = std::make_unique<GlobalHotkey>();
    QObject::connect(hotkey.get(), &GlobalHotkey::Pressed, mainForm.get(),
                     GuardedSlot([this] { mainForm->ShowAndRaise(); }));
    QObject::connect(settings.get(), &Settings::HotkeyChanged, mainForm.get(), GuardedSlot([this] { ApplyHotkey(); }));
    QObject::connect(settings.get(), &Settings::LoadOnStartupChanged, mainForm.get(),
                     GuardedSlot([](bool on) { StartAtLogin(on); }));
}

void Program::ApplyHotkey()
{
    if (settings->HotkeyEnabled())
        hotkey->Register(settings->Hotkey(), settings->Modifier());
    else
        hotkey->Unregister();
}

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
