#include "widgets/Shelllink.h"

#include "base/ComApartment.h"
#include "base/WinText.h"
#include "platform/Profile.h"
#include "widgets/MsgBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

// Empty when the shell knows no Startup folder for this user.
QString startupFolder()
{
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_STARTUP, FALSE))
        return {};
    return QString::fromWCharArray(folder);
}

// The user's own profile keeps the name older versions wrote; any other
// profile has a link of its own, so turning it on or off there leaves the
// user's alone.
QString linkName()
{
    if (Profile::IsDefault())
        return QStringLiteral("Postwatch.lnk");
    return QStringLiteral("Postwatch-%1.lnk").arg(Profile::FolderTag());
}

void applyProperties(const TShellLink& link, IShellLinkW& shell)
{
    if (!link.Arguments.isEmpty())
        shell.SetArguments(WideText(link.Arguments));
    shell.SetDescription(WideText(link.Description));
    if (link.Hotkey != 0)
        shell.SetHotkey(link.Hotkey);
    if (!link.IconPath.isEmpty())
        shell.SetIconLocation(WideText(QDir::toNativeSeparators(link.IconPath)), link.IconIndex);
    shell.SetPath(WideText(QDir::toNativeSeparators(link.Path)));
    if (link.ShowCommand != 0)
        shell.SetShowCmd(link.ShowCommand);
    if (!link.WorkingDirectory.isEmpty())
        shell.SetWorkingDirectory(WideText(QDir::toNativeSeparators(link.WorkingDirectory)));
}

}

void TShellLink::Save() const
{
    if (LinkPath.isEmpty() || Path.isEmpty() || Description.isEmpty())
        return;
    const ComApartment com(COINIT_APARTMENTTHREADED);
    IShellLinkW* shell = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shell))))
        return;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        applyProperties(*this, *shell);
        file->Save(WideText(QDir::toNativeSeparators(LinkPath)), TRUE);
        file->Release();
    }
    shell->Release();
}

void StartAtLogin(bool on)
{
    const QString folder = startupFolder();
    if (folder.isEmpty()) {
        MsgBox({QStringLiteral("Could not locate startup folder."), QStringLiteral("Error"), nullptr, QMessageBox::Ok});
        return;
    }
    const QString linkPath = folder + u'\\' + linkName();
    if (!on) {
        QFile::remove(linkPath);
        return;
    }
    const QString program = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    TShellLink link;
    link.Path = program;
    link.Description = QStringLiteral("Postwatch");
    link.IconPath = program;
    link.WorkingDirectory = QFileInfo(program).absolutePath();
    link.LinkPath = linkPath;
    if (!Profile::IsDefault()) {
        // A link cannot set the environment, so the command interpreter sets
        // it and starts the program, its window minimised meanwhile.
        link.Path = qEnvironmentVariable("ComSpec", QStringLiteral("cmd.exe"));
        link.Arguments = QStringLiteral("/c set \"POSTWATCH_PROFILE=%1\" && start \"\" \"%2\"")
                             .arg(QDir::toNativeSeparators(Profile::ConfigFolder()), program);
        link.ShowCommand = SW_SHOWMINNOACTIVE;
    }
    link.Save();
}
