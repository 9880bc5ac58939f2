#include "platform/MailPrograms.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

const QString MailtoType = QStringLiteral("x-scheme-handler/mailto");

QStringList envList(const char* name, const QString& fallback)
{
    const QString value = qEnvironmentVariable(name);
    return (value.isEmpty() ? fallback : value).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

QString envFolder(const char* name, const QString& homeRelative)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QDir::home().filePath(homeRelative) : value;
}

// The key=value lines of one [group] of a desktop entry or mimeapps.list.
QHash<QString, QString> readGroup(const QString& path, const QString& group)
{
    QHash<QString, QString> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entries;
    const QString header = QLatin1Char('[') + group + QLatin1Char(']');
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == header;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inGroup || line.startsWith(QLatin1Char('#')) || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        if (!entries.contains(key)) // a repeated key is an error; the first one counts
            entries.insert(key, line.mid(equals + 1).trimmed());
    }
    return entries;
}

QString unescaped(const QString& value)
{
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            text += c;
            continue;
        }
        const QChar next = value[++i];
        if (next == QLatin1Char('s'))
            text += QLatin1Char(' ');
        else if (next == QLatin1Char('n'))
            text += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            text += QLatin1Char('\t');
        else if (next == QLatin1Char('r'))
            text += QLatin1Char('\r');
        else if (next == QLatin1Char('\\'))
            text += next;
        else // not an escape of the file format: the Exec line's own quoting keeps it
            text += QString(c) + next;
    }
    return text;
}

QStringList listValue(const QString& value)
{
    return value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

struct Handler {
    QString Id;
    MailProgram Program;
};

// Desktop entries by id ("kde-mail.desktop" for kde/mail.desktop); an id
// found in an earlier data folder hides the later ones.
QList<Handler> mailtoHandlers(const QStringList& dataDirs)
{
    QList<Handler> handlers;
    QStringList seen;
    for (const QString& dataDir : dataDirs) {
        const QDir applications(dataDir + QStringLiteral("/applications"));
        QDirIterator it(applications.path(), {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        QStringList found;
        while (it.hasNext())
            found << it.next();
        found.sort();
        for (const QString& path : found) {
            const QString id = applications.relativeFilePath(path).replace(QLatin1Char('/'), QLatin1Char('-'));
            if (seen.contains(id))
                continue;
            seen << id;
            const auto entry = readGroup(path, QStringLiteral("Desktop Entry"));
            if (entry.value(QStringLiteral("Type")) != QLatin1String("Application")
                || entry.value(QStringLiteral("Hidden")) == QLatin1String("true")
                || !listValue(entry.value(QStringLiteral("MimeType"))).contains(MailtoType)
                || entry.value(QStringLiteral("Exec")).isEmpty())
                continue;
            QString name = unescaped(entry.value(QStringLiteral("Name")));
            if (name.isEmpty())
                name = id.chopped(8);
            handlers.append({id, {name, CommandWithoutFieldCodes(entry.value(QStringLiteral("Exec")))}});
        }
    }
    return handlers;
}

// Key names cannot hold a backslash, and two programs cannot share a name.
void makeNamesUnique(QList<Handler>& handlers)
{
    QStringList taken;
    for (Handler& handler : handlers) {
        QString& name = handler.Program.Name;
        name.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (taken.contains(name, Qt::CaseInsensitive))
            name += QStringLiteral(" (") + handler.Id + QLatin1Char(')');
        taken << name;
    }
}

// The mimeapps.list files in the order the rules give: per folder, the
// desktop's own list before the common one.
QStringList mimeappsLists(const XdgFolders& folders)
{
    QStringList folderOrder = folders.ConfigDirs;
    for (const QString& dataDir : folders.DataDirs)
        folderOrder << dataDir + QStringLiteral("/applications");
    QStringList lists;
    for (const QString& folder : folderOrder) {
        for (const QString& desktop : folders.Desktops)
            lists << folder + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list");
        lists << folder + QStringLiteral("/mimeapps.list");
    }
    return lists;
}

// The first default named for mailto that is an installed handler; without
// one, the first handler found, as a desktop would pick.
QString defaultName(const XdgFolders& folders, const QList<Handler>& handlers)
{
    for (const QString& list : mimeappsLists(folders)) {
        const auto defaults = readGroup(list, QStringLiteral("Default Applications"));
        for (const QString& id : listValue(defaults.value(MailtoType))) {
            for (const Handler& handler : handlers)
                if (handler.Id == id)
                    return handler.Program.Name;
        }
    }
    return handlers.isEmpty() ? QString() : handlers.first().Program.Name;
}

}

XdgFolders XdgFolders::FromEnvironment()
{
    XdgFolders folders;
    folders.DataDirs = QStringList {envFolder("XDG_DATA_HOME", QStringLiteral(".local/share"))}
                       + envList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    folders.ConfigDirs = QStringList {envFolder("XDG_CONFIG_HOME", QStringLiteral(".config"))}
                         + envList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    folders.Desktops = envList("XDG_CURRENT_DESKTOP", {});
    for (QString& desktop : folders.Desktops)
        desktop = desktop.toLower();
    return folders;
}

MailPrograms MailPrograms::Find(const XdgFolders& folders)
{
    QList<Handler> handlers = mailtoHandlers(folders.DataDirs);
    makeNamesUnique(handlers);
    MailPrograms found;
    for (const Handler& handler : handlers)
        found.Programs << handler.Program;
    found.DefaultName = defaultName(folders, handlers);
    return found;
}

QString NoMailProgramText()
{
    return QStringLiteral("No mail program is set up for mailto links.\n\n"
                          "Choose one in your desktop's default applications, or with:\n"
                          "xdg-settings set default-url-scheme-handler mailto NAME.desktop");
}

QString CommandWithoutFieldCodes(const QString& exec)
{
    static const QRegularExpression codeArgument(QStringLiteral("\\s+%[fFuUdDnNickvm](?=\\s|$)"));
    const QString text = unescaped(exec).remove(codeArgument);
    QString command;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('%'))
            command += text[i];
        else if (i + 1 < text.size() && text[++i] == QLatin1Char('%'))
            command += QLatin1Char('%');
    }
    return command.trimmed();
}
