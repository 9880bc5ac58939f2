#include "app/Program.h"

#include "app/Mainformdlg.h"
#include "base/Exception.h"
#include "base/Guard.h"
#include "config/FileStore.h"
#include "config/Settings.h"
#include "desktop/Runformdlg.h"
#include "platform/InstanceChannel.h"
#include "platform/Profile.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>

Program::Program(RegistryStore& store, const CommandLine& commandLine)
    : runForm(std::make_unique<TRunForm>())
{
    runForm->show();
    mainForm = std::make_unique<TMainForm>(store, *runForm, commandLine.Text);
    settings = std::make_unique<Settings>(store);
    settings->FillLists();
    settings->LoadSettings();
    if (settings->StartVisible())
        mainForm->show();
}

Program::~Program() = default;

void Program::Listen(InstanceChannel& channel)
{
    QObject::connect(&channel, &InstanceChannel::CheckNowRequested, mainForm.get(),
                     [this] { Guarded([this] { mainForm->actCheckNow->trigger(); }); });
    QObject::connect(&channel, &InstanceChannel::ShowRequested, mainForm.get(),
                     [this] { Guarded([this] { mainForm->ShowAndRaise(); }); });
}

namespace {
void showErrorBox(const QString& message)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), message, QMessageBox::Ok);
    box.exec();
}
}

int RunPostwatch(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Postwatch"));
    QApplication::setApplicationVersion(QStringLiteral(POSTWATCH_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    SetErrorReport(showErrorBox);

    const CommandLine commandLine = CommandLine::Parse(QApplication::arguments());
    InstanceChannel channel(Profile::StoreFilePath());
    if (channel.Forward(commandLine.ForwardedWords()))
        return 0;
    channel.Listen();

    try {
        FileStore store(Profile::StoreFilePath());
        Program program(store, commandLine);
        program.Listen(channel);
        return app.exec();
    } catch (const Exception& e) {
        showErrorBox(e.Message);
        return 1;
    }
}
