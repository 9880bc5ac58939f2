#include "platform/MailPrograms.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using testing::Field;
using testing::UnorderedElementsAre;

namespace {

const QByteArray MailtoEntry = "[Desktop Entry]\nType=Application\nMimeType=text/plain;x-scheme-handler/mailto;\n";

// A home and a system data folder, a config folder, and what the test puts in them.
class DesktopFolders : public testing::Test
{
protected:
    QString dataHome() const { return root.filePath("home/share"); }
    QString systemData() const { return root.filePath("usr/share"); }
    QString configHome() const { return root.filePath("home/config"); }

    XdgFolders folders(QStringList desktops = {}) const
    {
        return {{dataHome(), systemData()}, {configHome()}, desktops};
    }

    void put(const QString& path, const QByteArray& content) const
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    void putEntry(const QString& dataDir, const QString& relativePath, const QByteArray& lines) const
    {
        put(dataDir + "/applications/" + relativePath, lines);
    }

    QTemporaryDir root;
};

MATCHER_P2(Program, name, command, "")
{
    return arg.Name == name && arg.Command == command;
}

}

TEST_F(DesktopFolders, ProgramsAreTheEntriesThatOpenMailtoLinks)
{
    putEntry(systemData(), "thunderbird.desktop", MailtoEntry + "Name=Old Thunderbird\nExec=thunderbird-old %u\n");
    putEntry(dataHome(), "thunderbird.desktop", MailtoEntry + "Name=Thunderbird\nName[de]=Donnervogel\nExec=thunderbird %u\n");
    putEntry(systemData(), "kde/kmail.desktop", MailtoEntry + "# comment\nName=KMail\nExec=\"/opt/k mail/kmail\" --composer %U\n");
    putEntry(systemData(), "viewer.desktop", "[Desktop Entry]\nType=Application\nMimeType=text/plain;\nName=Viewer\nExec=viewer %f\n");
    putEntry(systemData(), "gone.desktop", MailtoEntry + "Name=Gone\nExec=gone\nHidden=true\n");
    putEntry(systemData(), "link.desktop", "[Desktop Entry]\nType=Link\nMimeType=x-scheme-handler/mailto;\nName=Link\nExec=x\n");
    putEntry(systemData(), "noexec.desktop", MailtoEntry + "Name=No Exec\n");
    putEntry(systemData(), "actions.desktop",
             "[Desktop Entry]\nType=Application\nName=Actions\nExec=actions\n[Desktop Action compose]\nMimeType=x-scheme-handler/mailto;\n");

    const MailPrograms found = MailPrograms::Find(folders());
    EXPECT_THAT(found.Programs, UnorderedElementsAre(Program("Thunderbird", "thunderbird"),
                                                     Program("KMail", "\"/opt/k mail/kmail\" --composer")));
}

TEST_F(DesktopFolders, DefaultIsTheFirstInstalledChoiceOfTheMimeappsLists)
{
    putEntry(systemData(), "thunderbird.desktop", MailtoEntry + "Name=Thunderbird\nExec=thunderbird %u\n");
    putEntry(systemData(), "kde/kmail.desktop", MailtoEntry + "Name=KMail\nExec=kmail %u\n");
    putEntry(systemData(), "evolution.desktop", MailtoEntry + "Name=Evolution\nExec=evolution %U\n");

    put(systemData() + "/applications/mimeapps.list", "[Default Applications]\nx-scheme-handler/mailto=evolution.desktop\n");
    EXPECT_EQ(MailPrograms::Find(folders()).DefaultName, "Evolution");

    put(systemData() + "/applications/gnome-mimeapps.list",
        "[Default Applications]\nx-scheme-handler/mailto=thunderbird.desktop\n");
    EXPECT_EQ(MailPrograms::Find(folders({"gnome"})).DefaultName, "Thunderbird") << "the desktop's own list first";
    EXPECT_EQ(MailPrograms::Find(folders({"kde"})).DefaultName, "Evolution");

    put(configHome() + "/mimeapps.list", "[Added Associations]\nx-scheme-handler/mailto=evolution.desktop;\n"
                                         "[Default Applications]\nx-scheme-handler/mailto=missing.desktop;kde-kmail.desktop;\n");
    EXPECT_EQ(MailPrograms::Find(folders({"gnome"})).DefaultName, "KMail") << "the user's choice over the system's";
}

TEST_F(DesktopFolders, WithoutAChoiceTheFirstProgramIsTheDefault)
{
    EXPECT_EQ(MailPrograms::Find(folders()).DefaultName, "") << "no programs, no default";
    putEntry(systemData(), "b.desktop", MailtoEntry + "Name=Beta\nExec=beta\n");
    putEntry(systemData(), "a.desktop", MailtoEntry + "Name=Alpha\nExec=alpha\n");
    EXPECT_EQ(MailPrograms::Find(folders()).DefaultName, "Alpha");
}

// The names become key names: unique, and without the key separator.
TEST_F(DesktopFolders, NamesAreUsableAsKeyNames)
{
    putEntry(systemData(), "a.desktop", MailtoEntry + "Name=Mail\nExec=a\n");
    putEntry(systemData(), "b.desktop", MailtoEntry + "Name=mail\nExec=b\n");
    putEntry(systemData(), "c.desktop", MailtoEntry + "Name=Mail\\\\Work\nExec=c\n");
    putEntry(systemData(), "d.desktop", MailtoEntry + "Exec=d\n");
    EXPECT_THAT(MailPrograms::Find(folders()).Programs,
                ElementsAre(Field(&MailProgram::Name, "Mail"), Field(&MailProgram::Name, "mail (b.desktop)"),
                            Field(&MailProgram::Name, "Mail/Work"), Field(&MailProgram::Name, "d")));
}

TEST(CommandLine, FieldCodesAreDroppedAndEscapesUndone)
{
    EXPECT_EQ(CommandWithoutFieldCodes("thunderbird %u"), "thunderbird");
    EXPECT_EQ(CommandWithoutFieldCodes("mailer --compose %U --new-window"), "mailer --compose --new-window");
    EXPECT_EQ(CommandWithoutFieldCodes("mailer %i %c %k %f"), "mailer");
    EXPECT_EQ(CommandWithoutFieldCodes("mailer --to=%u"), "mailer --to=");
    EXPECT_EQ(CommandWithoutFieldCodes("mailer --rate=100%% --x=%%u"), "mailer --rate=100% --x=%u");
    EXPECT_EQ(CommandWithoutFieldCodes("my\\smailer\\t%u"), "my mailer");
    EXPECT_EQ(CommandWithoutFieldCodes("sh -c \"echo \\\\\\\\$HOME \\\\\"x\\\\\"\""), "sh -c \"echo \\\\$HOME \\\"x\\\"\"")
        << "the Exec line's own quoting is kept";
}
