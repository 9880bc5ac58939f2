#include "pop3/AttachFolder.h"
#include "pop3/FileStreamError.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(attachFolder, HostileNamesStayOneNameInTheFolder)
{
    const struct
    {
        QString given, safe;
    } cases[] = {
        {"report.pdf", "report.pdf"},
        {"../../.bashrc", "bashrc"},
        {"/etc/passwd", "passwd"},
        {"a/../../b", "b"},
        {"C:\\Windows\\win.ini", "win.ini"},
        {"..", "text.tmp"},
        {".", "text.tmp"},
        {"dir/", "text.tmp"},
        {"", "text.tmp"},
        {"a\nb\tc\x7f.txt", "abc.txt"},
        {QString::fromUtf8("photo\u202egpj.exe"), "photogpj.exe"},
        {"\x01..hidden", "hidden"},
        {QString::fromUtf8("Grüße.txt"), QString::fromUtf8("Grüße.txt")},
    };
    for (const auto& [given, safe] : cases)
        EXPECT_EQ(TAttachFolder::SafeFileName(given), safe) << given.toStdString();
}

TEST(attachFolder, LongNamesAreShortenedKeepingTheirExtension)
{
    const QString name = QString(300, 'x') + ".txt";
    const QString safe = TAttachFolder::SafeFileName(name);
    EXPECT_LE(safe.toUtf8().size(), 200);
    EXPECT_TRUE(safe.endsWith("x.txt"));
    const QString wide = TAttachFolder::SafeFileName(QString(300, QChar(0x00fc)));
    EXPECT_LE(wide.toUtf8().size(), 200);
    EXPECT_GT(wide.size(), 90);
}

class attachFolderFiles : public testing::Test
{
protected:
    QString Created(QString name)
    {
        folder.CreateNumbered(name);
        return name;
    }

    QTemporaryDir temporary;
    TAttachFolder folder{temporary.path()};
};

TEST_F(attachFolderFiles, TakenNamesAreNumberedBeforeTheirFirstDot)
{
    EXPECT_EQ(folder.Path(), temporary.path() + "/");
    EXPECT_EQ(Created("a.txt"), "a.txt");
    EXPECT_EQ(Created("a.txt"), "a_1.txt");
    EXPECT_EQ(Created("a.txt"), "a_2.txt");
    EXPECT_EQ(Created("a.tar.gz"), "a.tar.gz");
    EXPECT_EQ(Created("a.tar.gz"), "a_1.tar.gz");
    EXPECT_EQ(Created("README"), "README");
    EXPECT_EQ(Created("README"), "README_1");
}

TEST_F(attachFolderFiles, PlantedLinksAreNeverFollowed)
{
    const QString outside = temporary.path() + "/outside";
    ASSERT_TRUE(QDir().mkdir(outside));
    const QString target = outside + "/target";
    QString folderPath = temporary.path() + "/attach/";
    TAttachFolder attach(folderPath);
    attach.CreateScratch();
    ASSERT_TRUE(QFile::link(target, folderPath + "x.txt"));
    ASSERT_TRUE(QFile::remove(folderPath + "Temp.mme"));
    ASSERT_TRUE(QFile::link(target, folderPath + "Temp.mme"));

    QString name = "x.txt";
    attach.CreateNumbered(name)->write("data");
    EXPECT_EQ(name, "x_1.txt");
    auto scratch = attach.CreateScratch();
    scratch->write("scratch");
    scratch->close();
    EXPECT_FALSE(QFileInfo(folderPath + "Temp.mme").isSymLink());
    EXPECT_FALSE(QFileInfo::exists(target)) << "a write went through a link";
}

TEST_F(attachFolderFiles, FolderIsMadeOnDemandForItsOwnerAlone)
{
    const QString path = temporary.path() + "/cache/Postwatch/attachments";
    TAttachFolder attach(path);
    EXPECT_EQ(attach.Path(), path + "/");
    EXPECT_FALSE(QFileInfo::exists(path));
    attach.CreateScratch();
    for (const QString& made : {path, temporary.path() + "/cache"})
        EXPECT_EQ(QFileInfo(made).permissions() & 0x0077, QFileDevice::Permissions()) << made.toStdString();
    EXPECT_EQ(QFileInfo(path + "/Temp.mme").permissions() & 0x0077, QFileDevice::Permissions());
}

TEST_F(attachFolderFiles, FileThatCannotBeCreatedRaisesAFileError)
{
    TAttachFolder below(temporary.path() + "/file/attachments/");
    QFile file(temporary.path() + "/file");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_THROW(below.CreateScratch(), EFileStreamError);
    QDir().mkdir(temporary.path() + "/dir.txt");
    QString name = "dir.txt";
    folder.CreateNumbered(name);
    EXPECT_EQ(name, "dir_1.txt") << "a folder takes the name too";
}

// Another local user must not make the clean-up remove anything of ours
// elsewhere: links are not followed, not even as the folder itself.
TEST_F(attachFolderFiles, OnlyOldRegularFilesOfTheFolderItselfAreRemoved)
{
    const QDateTime now = QDateTime::currentDateTime();
    const auto write = [&](const QString& path, int daysOld) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.setFileTime(now.addDays(-daysOld), QFileDevice::FileModificationTime));
    };
    const QString outside = temporary.path() + "/outside/";
    const QString attachPath = temporary.path() + "/attach/";
    ASSERT_TRUE(QDir().mkpath(outside));
    ASSERT_TRUE(QDir().mkpath(attachPath + "sub"));
    write(attachPath + "old.txt", 8);
    write(attachPath + "Temp.mme", 30);
    write(attachPath + "recent.txt", 6);
    write(attachPath + "sub/inner.txt", 30);
    write(outside + "target.txt", 30);
    ASSERT_TRUE(QFile::link(outside + "target.txt", attachPath + "link.txt"));
    ASSERT_TRUE(QFile::link(outside, temporary.path() + "/linked"));

    TAttachFolder(attachPath).RemoveOlderThan(now.addDays(-7));
    EXPECT_EQ(QDir(attachPath).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
              QStringList({"link.txt", "recent.txt", "sub"}));
    EXPECT_TRUE(QFileInfo::exists(attachPath + "sub/inner.txt"));

    TAttachFolder(temporary.path() + "/linked").RemoveOlderThan(now.addDays(-7));
    ASSERT_TRUE(QFile::setPermissions(outside, QFileInfo(outside).permissions() | QFileDevice::WriteOther));
    TAttachFolder(outside).RemoveOlderThan(now.addDays(-7));
    EXPECT_TRUE(QFileInfo::exists(outside + "target.txt")) << "through a linked folder, or one others may write to";
    ASSERT_TRUE(QFile::setPermissions(outside, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner));
    TAttachFolder(outside).RemoveOlderThan(now.addDays(-7));
    EXPECT_FALSE(QFileInfo::exists(outside + "target.txt"));
}

TEST(attachFolderDefault, LivesInTheUsersCache)
{
    qputenv("XDG_CACHE_HOME", "/tmp/pw-cache-test");
    EXPECT_EQ(TAttachFolder::DefaultPath(), "/tmp/pw-cache-test/Postwatch/attachments/");
    EXPECT_EQ(TAttachFolder(QString()).Path(), TAttachFolder::DefaultPath());
    qunsetenv("XDG_CACHE_HOME");
}

} // namespace
