#include "widgets/Shelllink.h"

#include "platform/Profile.h"
#include "widgets/MsgBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString Comment = QStringLiteral("Tells you about new mail on your POP3 accounts");

QString autostartFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
}

// The user's own profile keeps the name older versions wrote; any other
// profile has an entry of its own, so turning it on or off there leaves the
// user's alone.
QString entryName()
{
    if (Profile::IsDefault())
        return QStringLiteral("Postwatch.desktop");
    return QStringLiteral("Postwatch-%1.desktop").arg(Profile::FolderTag());
}

// What would end the line or read as an escape in a string value.
QString escapedValue(QString text)
{
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'\n', QStringLiteral("\\n"));
    text.replace(u'\t', QStringLiteral("\\t"));
    text.replace(u'\r', QStringLiteral("\\r"));
    return text;
}

// A desktop lists a shell link by its file name, as Windows does, unless
// the link names itself.
QString entryText(const TShellLink& link)
{
    const QString name = link.Name.isEmpty() ? QFileInfo(link.LinkPath).completeBaseName() : link.Name;
    QStringList lines{QStringLiteral("[Desktop Entry]"), QStringLiteral("Type=Application"),
                      QStringLiteral("Name=") + escapedValue(name),
                      QStringLiteral("Comment=") + escapedValue(link.Description)};
    QString exec = DesktopEntryExec(link.Path);
    if (!link.Arguments.isEmpty())
        exec += u' ' + link.Arguments;
    lines << QStringLiteral("Exec=") + exec;
    lines << QStringLiteral("Icon=")
                 + escapedValue(link.IconPath.isEmpty() ? QStringLiteral(POSTWATCH_APP_ID) : link.IconPath);
    if (!link.WorkingDirectory.isEmpty())
        lines << QStringLiteral("Path=") + escapedValue(link.WorkingDirectory);
    lines << QStringLiteral("X-GNOME-Autostart-enabled=true");
    return lines.join(u'\n') + u'\n';
}

}

// Inside the quotes a backslash, a double quote, a backquote and a dollar
// sign are escaped with a backslash; the key's own escape then doubles each
// backslash, and a percent sign is doubled as field codes require.
QString DesktopEntryExec(const QString& path)
{
    QString quoted;
    for (const QChar c : path) {
        if (c == u'\\' || c == u'"' || c == u'`' || c == u'$')
            quoted += u'\\';
        quoted += c;
    }
    quoted = escapedValue(quoted);
    quoted.replace(u'%', QStringLiteral("%%"));
    return u'"' + quoted + u'"';
}

void TShellLink::Save() const
{
    if (LinkPath.isEmpty() || Path.isEmpty() || Description.isEmpty())
        return;
    QSaveFile file(LinkPath);
    if (file.open(QIODevice::WriteOnly) && file.write(entryText(*this).toUtf8()) >= 0)
        file.commit();
}

void StartAtLogin(bool on)
{
    const QString folder = autostartFolder();
    if (!on) {
        QFile::remove(folder + u'/' + entryName());
        return;
    }
    if (!QDir().mkpath(folder)) {
        MsgBox({QStringLiteral("Could not locate startup folder."), QStringLiteral("Error"), nullptr, QMessageBox::Ok});
        return;
    }
    TShellLink link;
    link.Path = QCoreApplication::applicationFilePath();
    link.Description = Comment;
    link.LinkPath = folder + u'/' + entryName();
    if (!Profile::IsDefault()) {
        // At login nothing else would say which settings to open.
        link.Name = QStringLiteral("Postwatch (%1)").arg(Profile::ConfigFolder());
        link.Arguments = DesktopEntryExec(QStringLiteral("POSTWATCH_PROFILE=") + Profile::ConfigFolder()) + u' '
                         + DesktopEntryExec(link.Path);
        link.Path = QStringLiteral("/usr/bin/env");
    }
    link.Save();
}
