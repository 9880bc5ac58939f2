#pragma once

#include <QString>

// Writes a desktop entry that starts a program, from a handful of
// properties: what the desktop's autostart folder reads at login.
class TShellLink
{
public:
    QString Arguments;   // as the Exec key reads them: quoted by the caller
    QString Description; // the entry's Comment
    QString Name;        // what the desktop lists; the file's name without .desktop when empty
    quint16 Hotkey = 0; // kept for callers; a desktop entry has no hot key
    QString IconPath;
    int IconIndex = 0;  // kept for callers; an icon file holds one picture
    QString Path;
    int ShowCommand = 0; // kept for callers; the desktop decides how windows show
    QString WorkingDirectory;
    QString LinkPath;

    // Nothing is written without LinkPath, Path and Description; an existing
    // file is replaced. Reports nothing.
    void Save() const;
};

// Path quoted for a desktop entry's Exec key.
QString DesktopEntryExec(const QString& path);

// "Load On Startup": on writes Postwatch.desktop for the running program
// into the autostart folder ($XDG_CONFIG_HOME/autostart, made if missing,
// "Could not locate startup folder." if it cannot be); off deletes it. A
// copy on a profile other than the usual one writes and deletes an entry of
// its own instead, which starts the program on that profile.
void StartAtLogin(bool on);
