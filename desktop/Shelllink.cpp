#include "desktop/Shelllink.h"

#include "desktop/MsgBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString EntryName = QStringLiteral("Postwatch.desktop");

QString autostartFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
}

QString entryText(const TShellLink& link)
{
    QStringList lines{QStringLiteral("[Desktop Entry]"), QStringLiteral("Type=Application"),
                      QStringLiteral("Name=") + link.Description, QStringLiteral("Comment=") + link.Description};
    QString exec = DesktopEntryExec(link.Path);
    if (!link.Arguments.isEmpty())
        exec += u' ' + link.Arguments;
    lines << QStringLiteral("Exec=") + exec;
    lines << QStringLiteral("Icon=") + (link.IconPath.isEmpty() ? QStringLiteral(POSTWATCH_APP_ID) : link.IconPath);
    if (!link.WorkingDirectory.isEmpty())
        lines << QStringLiteral("Path=") + link.WorkingDirectory;
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
    quoted.replace(u'\\', QStringLiteral("\\\\"));
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
        QFile::remove(folder + u'/' + EntryName);
        return;
    }
    if (!QDir().mkpath(folder)) {
        MsgBox({QStringLiteral("Could not locate startup folder."), QStringLiteral("Error"), nullptr, QMessageBox::Ok});
        return;
    }
    TShellLink link;
    link.Path = QCoreApplication::applicationFilePath();
    link.Description = QStringLiteral("Postwatch");
    link.LinkPath = folder + u'/' + EntryName;
    link.Save();
}
