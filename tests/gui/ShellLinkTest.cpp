// The start-at-login entry: what a desktop entry holds, when it is written,
// and the autostart folder.

#include "widgets/MsgBox.h"
#include "widgets/Shelllink.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// What desktop-file-validate finds wrong, warnings included; empty when all is well.
QString Complaints(const QString& path)
{
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start("desktop-file-validate", {path});
    if (!validate.waitForFinished(10000))
        return "desktop-file-validate did not run";
    return QString::fromUtf8(validate.readAll()) + (validate.exitCode() == 0 ? "" : "exit code not 0");
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
    EXPECT_EQ(Read(link.LinkPath), "[Desktop Entry]\nType=Application\nName=a\nComment=Postwatch\n"
                                   "Exec=\"/usr/bin/postwatch\"\nIcon=org.tallowfen.Postwatch\nX-GNOME-Autostart-enabled=true\n");
    link.Name = "Mail\nExec=/bin/false";
    link.Save();
    EXPECT_TRUE(Read(link.LinkPath).startsWith("[Desktop Entry]\nType=Application\nName=Mail\\nExec=/bin/false\n"))
        << "a line break in a value cannot start a key of its own";
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
    EXPECT_EQ(Complaints(entry), "");
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

// A demo or a test on a profile of its own must not replace or remove the
// entry that starts the user's own copy.
TEST(ShellLink, AnotherProfileHasAnEntryOfItsOwnThatStartsItOnThatProfile)
{
    QTemporaryDir home;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    const QString profile = home.filePath("my $demo");
    qputenv("POSTWATCH_PROFILE", profile.toUtf8());
    const QString own = home.filePath("autostart/Postwatch.desktop");
    const QByteArray usersEntry = "[Desktop Entry]\nType=Application\nName=Postwatch\nExec=postwatch\n";
    QFile userEntry(own);
    ASSERT_TRUE(QDir().mkpath(home.filePath("autostart")) && userEntry.open(QIODevice::WriteOnly));
    userEntry.write(usersEntry);
    userEntry.close();

    StartAtLogin(true);
    const QStringList entries = QDir(home.filePath("autostart")).entryList({"Postwatch-*.desktop"}, QDir::Files);
    ASSERT_EQ(entries.size(), 1);
    const QString entry = home.filePath("autostart/" + entries[0]);
    EXPECT_TRUE(Read(entry).contains("\nName=Postwatch (" + profile + ")\n"));
    EXPECT_TRUE(Read(entry).contains("\nExec=\"/usr/bin/env\" \"POSTWATCH_PROFILE=" + home.path() + "/my \\\\$demo\" \""
                                     + QCoreApplication::applicationFilePath() + "\"\n"))
        << Read(entry).toStdString();
    EXPECT_EQ(Complaints(entry), "");
    StartAtLogin(false);
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_EQ(Read(own), usersEntry);
    qunsetenv("POSTWATCH_PROFILE");
    qputenv("XDG_CONFIG_HOME", saved);
}

}
