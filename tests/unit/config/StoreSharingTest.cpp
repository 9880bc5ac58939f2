#include "StoreFileTest.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLockFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

using testing::AllOf;
using testing::Contains;
using testing::HasSubstr;

using SharedStoreFile = StoreFileTest;

// Some tests start copies of this test program as a second running
// Postwatch. The environment variable tells a copy which part to play; it
// plays it before main, so the test framework never starts in it.
namespace {

const char* const RoleVariable = "POSTWATCH_STORE_TEST_ROLE";

void writeString(FileStore& store, const QString& name, const QString& text)
{
    TRegistry reg(store);
    reg.OpenKey(ProgramKey, true);
    reg.WriteString(name, text);
    reg.CloseKey();
}

// Stands still between writing the new file and renaming it over the old
// one, where a crash does the most harm.
class StoppingStore : public FileStore
{
public:
    using FileStore::FileStore;

protected:
    void BeforeReplace() override
    {
        std::puts("written");
        std::fflush(stdout);
        for (;;)
            ::pause();
    }
};

int playRole(const QStringList& role)
{
    const QString& path = role.value(1);
    if (role.first() == "write") {
        FileStore store(path);
        for (int i = 0; i < role.value(3).toInt(); ++i)
            writeString(store, role.value(2) + QString::number(i), "x");
        return 0;
    }
    if (role.first() == "stop") {
        StoppingStore store(path);
        writeString(store, "Server", "new");
        return 0;
    }
    if (role.first() == "rewrite") {
        FileStore store(path);
        for (int round = 0;; ++round) {
            writeString(store, "Data", QString(20000, QChar(u'a' + round % 26)));
            if (round == 0) {
                std::puts("writing");
                std::fflush(stdout);
            }
        }
    }
    return 2;
}

[[maybe_unused]] const bool playedRole = [] {
    const QString role = qEnvironmentVariable(RoleVariable);
    if (role.isEmpty())
        return false;
    int result = 1;
    try {
        result = playRole(role.split(u'|'));
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    std::_Exit(result);
}();

void startRole(QProcess& process, const QStringList& role)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(RoleVariable, role.join(u'|'));
    process.setProcessEnvironment(environment);
    process.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=-*"});
    ASSERT_TRUE(process.waitForStarted()) << process.errorString().toStdString();
}

void waitForLine(QProcess& process, const QByteArray& line)
{
    while (!process.canReadLine())
        ASSERT_TRUE(process.waitForReadyRead(60000)) << "no \"" << line.constData() << "\" from the second copy";
    ASSERT_EQ(process.readLine().trimmed(), line);
}

void kill(QProcess& process)
{
    process.kill();
    ASSERT_TRUE(process.waitForFinished(10000));
}

QString readString(const QString& path, const QString& name)
{
    FileStore store(path);
    TRegistry reg(store);
    return reg.OpenKey(ProgramKey, false) && reg.ValueExists(name) ? reg.ReadString(name) : QString();
}

}

TEST_F(SharedStoreFile, AKeyOpenedAfterAnotherCopyWroteSeesTheNewContent)
{
    FileStore first(FilePath());
    FileStore second(FilePath());
    writeString(first, "Server", "one");

    TRegistry reg(second);
    ASSERT_TRUE(reg.OpenKey(ProgramKey, false));
    EXPECT_EQ(reg.ReadString("Server"), "one");

    // Same size, same second: a change the file's size and time cannot show.
    writeString(first, "Server", "two");
    EXPECT_EQ(reg.ReadString("Server"), "one") << "an open key keeps what it read";
    ASSERT_TRUE(reg.OpenKey(ProgramKey, false));
    EXPECT_EQ(reg.ReadString("Server"), "two");
}

TEST_F(SharedStoreFile, CommitsOfTwoCopiesMergeInsteadOfOverwritingEachOther)
{
    FileStore first(FilePath());
    FileStore second(FilePath());
    writeString(first, "Interval", "shared");

    TRegistry inFirst(first);
    TRegistry inSecond(second);
    ASSERT_TRUE(inFirst.OpenKey(ProgramKey, false));
    ASSERT_TRUE(inSecond.OpenKey(ProgramKey, false));
    inFirst.WriteString("FromFirst", "1");
    inSecond.WriteString("FromSecond", "2");
    inSecond.DeleteValue("Interval");
    inFirst.CloseKey();
    inSecond.CloseKey();

    FileStore third(FilePath());
    TRegistry reg(third);
    ASSERT_TRUE(reg.OpenKey(ProgramKey, false));
    EXPECT_EQ(reg.GetValueNames(), QStringList({"FromFirst", "FromSecond"}));
}

TEST_F(SharedStoreFile, TakingInAnotherCopysChangesKeepsThoseOfKeysStillOpen)
{
    FileStore mine(FilePath());
    FileStore other(FilePath());
    TRegistry account(mine);
    ASSERT_TRUE(account.OpenKey(ProgramKey + "\\Accounts\\Work", true));
    account.WriteString("Server", "pop.work.example");

    writeString(other, "Interval", "from the other copy");

    TRegistry options(mine);
    ASSERT_TRUE(options.OpenKey(ProgramKey, false));
    EXPECT_EQ(options.ReadString("Interval"), "from the other copy");
    EXPECT_EQ(account.ReadString("Server"), "pop.work.example");
    account.CloseKey();

    EXPECT_EQ(readString(FilePath(), "Interval"), "from the other copy");
    FileStore reloaded(FilePath());
    TRegistry check(reloaded);
    ASSERT_TRUE(check.OpenKey(ProgramKey + "\\Accounts\\Work", false));
    EXPECT_EQ(check.ReadString("Server"), "pop.work.example");
}

TEST_F(SharedStoreFile, ACommitWaitsForAnotherCopysLock)
{
    writeString(*std::make_unique<FileStore>(FilePath()), "Server", "old");
    QLockFile other(FilePath() + ".lock");
    ASSERT_TRUE(other.tryLock(0));

    FileStore store(FilePath());
    store.SetLockTimeout(200);
    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(ProgramKey, false));
    reg.WriteString("Server", "new");
    EXPECT_THAT(ErrorOf([&] { reg.CloseKey(); }),
                AllOf(HasSubstr("not saved"), HasSubstr("another running copy"), HasSubstr(FilePath().toStdString())));
    EXPECT_EQ(readString(FilePath(), "Server"), "old");

    // The change stays pending and goes out with the next commit, which
    // waits until the other copy lets go.
    store.SetLockTimeout(30000);
    std::thread release([&] {
        QThread::msleep(300);
        other.unlock();
    });
    ASSERT_TRUE(reg.OpenKey(ProgramKey, false));
    reg.WriteString("Port", "110");
    EXPECT_EQ(ErrorOf([&] { reg.CloseKey(); }), "");
    release.join();
    EXPECT_EQ(readString(FilePath(), "Server"), "new");
    EXPECT_EQ(readString(FilePath(), "Port"), "110");
}

TEST_F(SharedStoreFile, ALockFileLeftEmptyByACopyKilledWhileTakingItIsTakenOverSoon)
{
    writeString(*std::make_unique<FileStore>(FilePath()), "Server", "old");
    QFile lockFile(FilePath() + ".lock");
    ASSERT_TRUE(lockFile.open(QIODevice::WriteOnly));
    ASSERT_TRUE(lockFile.setFileTime(QDateTime::currentDateTime().addSecs(-10), QFileDevice::FileModificationTime));
    lockFile.close();

    FileStore store(FilePath());
    store.SetLockTimeout(1000);
    EXPECT_EQ(ErrorOf([&] { writeString(store, "Server", "new"); }), "");
    EXPECT_EQ(readString(FilePath(), "Server"), "new");
}

TEST_F(SharedStoreFile, AFailureBeforeTheRenameLeavesTheOldFileAndReleasesTheLock)
{
    class FailingStore : public FileStore
    {
    public:
        using FileStore::FileStore;

    protected:
        void BeforeReplace() override { throw EStoreError("the disk went away"); }
    };
    writeString(*std::make_unique<FileStore>(FilePath()), "Server", "old");
    const QByteArray before = ReadFile();

    FailingStore failing(FilePath());
    EXPECT_EQ(ErrorOf([&] { writeString(failing, "Server", "new"); }), "the disk went away");
    EXPECT_EQ(ReadFile(), before);
    EXPECT_EQ(QDir(QFileInfo(FilePath()).absolutePath()).entryList(QDir::Files), QStringList{"registry.reg"});

    FileStore next(FilePath());
    next.SetLockTimeout(0);
    writeString(next, "Server", "newer");
    EXPECT_EQ(readString(FilePath(), "Server"), "newer");
}

TEST_F(SharedStoreFile, LeftoverFilesOfAnInterruptedSaveAreIgnored)
{
    writeString(*std::make_unique<FileStore>(FilePath()), "Server", "whole");
    QFile leftover(FilePath() + ".Ab12Cd");
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.write(FileHeader + "[HKEY_CURRENT_USER\\Software\\Tallow");
    leftover.close();

    EXPECT_EQ(readString(FilePath(), "Server"), "whole");
    FileStore store(FilePath());
    writeString(store, "Port", "110");
    EXPECT_EQ(readString(FilePath(), "Server"), "whole");
}

TEST_F(SharedStoreFile, TwoRunningCopiesNeverLoseEachOthersChanges)
{
    writeString(*std::make_unique<FileStore>(FilePath()), "Start", "x");
    const int count = 25;
    QProcess first, second;
    startRole(first, {"write", FilePath(), "First", QString::number(count)});
    startRole(second, {"write", FilePath(), "Second", QString::number(count)});
    for (QProcess* process : {&first, &second}) {
        ASSERT_TRUE(process->waitForFinished(120000));
        EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
    }

    FileStore store(FilePath());
    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey(ProgramKey, false));
    const QStringList names = reg.GetValueNames();
    EXPECT_EQ(names.size(), 1 + 2 * count);
    for (int i = 0; i < count; ++i) {
        EXPECT_THAT(names, Contains(QStringLiteral("First%1").arg(i)));
        EXPECT_THAT(names, Contains(QStringLiteral("Second%1").arg(i)));
    }
}

TEST_F(SharedStoreFile, AWriterKilledBetweenWriteAndRenameLeavesTheOldFile)
{
    writeString(*std::make_unique<FileStore>(FilePath()), "Server", "old");
    const QByteArray before = ReadFile();

    QProcess writer;
    startRole(writer, {"stop", FilePath()});
    waitForLine(writer, "written");
    EXPECT_EQ(ReadFile(), before);
    kill(writer);
    EXPECT_EQ(ReadFile(), before);
    EXPECT_EQ(readString(FilePath(), "Server"), "old");

    // The killed copy's lock is stale: the next copy takes it over.
    FileStore next(FilePath());
    next.SetLockTimeout(10000);
    writeString(next, "Server", "after");
    EXPECT_EQ(readString(FilePath(), "Server"), "after");
}

TEST_F(SharedStoreFile, AWriterKilledAtAnyMomentLeavesAWholeFile)
{
    writeString(*std::make_unique<FileStore>(FilePath()), "Data", QString(20000, u'z'));
    for (int round = 0; round < 6; ++round) {
        QProcess writer;
        startRole(writer, {"rewrite", FilePath()});
        waitForLine(writer, "writing");
        QThread::msleep(QRandomGenerator::global()->bounded(5, 150));
        kill(writer);

        const QString data = readString(FilePath(), "Data");
        ASSERT_EQ(data.size(), 20000) << "round " << round;
        EXPECT_EQ(data.count(data.front()), data.size()) << "round " << round;
    }
}
