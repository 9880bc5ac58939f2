#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The folders the freedesktop.org rules search, most important first.
struct XdgFolders {
    QStringList DataDirs;   // $XDG_DATA_HOME, then $XDG_DATA_DIRS
    QStringList ConfigDirs; // $XDG_CONFIG_HOME, then $XDG_CONFIG_DIRS
    QStringList Desktops;   // $XDG_CURRENT_DESKTOP, lower case

    static XdgFolders FromEnvironment();
};

struct MailProgram {
    QString Name;    // the entry's Name, made unique among the programs
    QString Command; // its Exec line without field codes, in the entry's own quoting
};

// The installed desktop entries that open mailto links, and the one the
// desktop uses by default.
struct MailPrograms {
    QList<MailProgram> Programs;
    QString DefaultName; // empty when there are no programs

    static MailPrograms Find(const XdgFolders& folders);
};

// What to tell where no installed program opens mailto links, with the
// ways to set one up.
QString NoMailProgramText();

// An Exec line as a command line: the desktop entry's escapes undone, field
// codes (%u, %F, %i ...) dropped and %% turned into %.
QString CommandWithoutFieldCodes(const QString& exec);
