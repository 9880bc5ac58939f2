// The start-at-login entry: what a desktop entry holds, when it is written,
// and the autostart folder.

#include "desktop/MsgBox.h"
#include "desktop/Shelllink.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(ShellLink, WrittenOnlyWithLinkPathPathAndDescriptionReplacingAnOldOne)
{
    QTemporaryDir dir;
    TShellLink link;
    link.LinkPath = dir.filePath("a.desktop");
    link.Path = "/usr/bin/postwatch";
    link.Save();
    EXPECT_FALSE(QFile::exists(link.LinkPath)) << "no description, no entry";

    link.Description = "Postwatch";
    link.Arguments = "visible";
    link.Save();
    link.Arguments.clear();
    link.Save();
    EXPECT_EQ(Read(link.LinkPath), "[Desktop Entry]\nType=Application\nName=Postwatch\nComment=Postwatch\n"
                                   "Exec=\"/usr/bin/postwatch\"\nIcon=org.tallowfen.Postwatch\nX-GNOME-Autostart-enabled=true\n");
}

// Escaped for the quotes first, then each backslash doubled for the key.
TEST(ShellLink, ExecQuotesWhatTheDesktopEntryFormatReserves)
{
    EXPECT_EQ(DesktopEntryExec(R"(/opt/My Mail/a"b$c`d\e%f)"), R"("/opt/My Mail/a\\"b\\$c\\`d\\\\e%%f")");
}

TEST(ShellLink, StartAtLoginWritesTheRunningProgramAndRemovesItAgain)
{
    QTemporaryDir home;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8() + "/config");
    const QString entry = home.filePath("config/autostart/Postwatch.desktop");
    StartAtLogin(true);
    EXPECT_TRUE(Read(entry).contains("Exec=\"" + QCoreApplication::applicationFilePath() + "\"\n"));
    StartAtLogin(false);
    EXPECT_FALSE(QFile::exists(entry));
    StartAtLogin(false); // a missing entry is no error

    QFile blocker(home.filePath("config"));
    QDir(home.filePath("config")).removeRecursively();
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder must go
    blocker.close();
    QStringList boxes;
    SetMsgBoxHook([&](const TMsgBoxRequest& box) {
        boxes << box.Caption + " | " + box.Text;
        return QMessageBox::Ok;
    });
    StartAtLogin(true);
    SetMsgBoxHook({});
    EXPECT_EQ(boxes, QStringList{"Error | Could not locate startup folder."});
    qputenv("XDG_CONFIG_HOME", saved);
}

}
