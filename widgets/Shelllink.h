#pragma once

#include <QString>

// Writes what starts a program from a handful of properties: on Windows a
// shell link (.lnk), on Linux a desktop entry, the kind of file the Startup
// folder or the desktop's autostart folder reads at login.
class TShellLink
{
public:
    QString Arguments;   // quoted by the caller, as the Exec key or the command line reads them
    QString Description; // the link's description, the entry's Comment
    QString Name;        // what a Linux desktop lists; the file's name without .desktop when empty
    quint16 Hotkey = 0; // the shell's hot key encoding; a desktop entry has none
    QString IconPath;
    int IconIndex = 0;  // within IconPath; a Linux icon file holds one picture
    QString Path;
    int ShowCommand = 0; // an SW_ value, 0 for the shell's default; a Linux desktop decides itself
    QString WorkingDirectory;
    QString LinkPath;

    // Nothing is written without LinkPath, Path and Description; an existing
    // file is replaced. Reports nothing.
    void Save() const;
};

// Path quoted for a desktop entry's Exec key (Linux only).
QString DesktopEntryExec(const QString& path);

// "Load On Startup": on writes a start for the running program, off deletes
// it; "Could not locate startup folder." when there is no such folder. On
// Windows that is Postwatch.lnk in the user's Startup folder; on Linux
// Postwatch.desktop in the autostart folder ($XDG_CONFIG_HOME/autostart,
// made if missing). A copy on a profile other than the usual one writes and
// deletes a start of its own instead, which starts the program on that
// profile.
void StartAtLogin(bool on);
