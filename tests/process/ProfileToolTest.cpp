// postwatch-profile as the demo, the benchmarks and the screenshots run it:
// the accounts it adds read back as the program reads them.
#include "config/AccountRecord.h"
#include "config/FileStore.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
class ProfileTool : public ::testing::Test
{
protected:
    int Run(const QStringList& arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("POSTWATCH_PROFILE", profile.path());
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(POSTWATCH_BINARY_DIR "/tools/postwatch-profile"), arguments);
        process.write("secret\n");
        process.closeWriteChannel();
        if (!process.waitForFinished(60000))
            return -1;
        Errors = QString::fromUtf8(process.readAllStandardError());
        return process.exitCode();
    }

    QString Account(const QString& name)
    {
        FileStore store(profile.filePath("registry.reg"));
        const std::optional<TAccountRecord> account = TAccountRecord::Read(store, name);
        return account ? account->Protocol + ' ' + account->Folder + ' ' + QString::number(account->Port) : "(none)";
    }

    QTemporaryDir profile;
    QString Errors;
};
}

TEST_F(ProfileTool, AddsAnImapAccountWithItsFolderAndAPop3OneAsBefore)
{
    EXPECT_EQ(Run({"add-account", "Home", "127.0.0.1", "40110", "ann"}), 0) << Errors.toStdString();
    EXPECT_EQ(Run({"add-account", "Box", "127.0.0.1", "40143", "ann", "--protocol", "imap", "--folder", "Lists/Qt"}), 0)
        << Errors.toStdString();
    EXPECT_EQ(Account("Home"), "POP3 INBOX 40110");
    EXPECT_EQ(Account("Box"), "IMAP Lists/Qt 40143");

    EXPECT_EQ(Run({"add-account", "Bad", "127.0.0.1", "40143", "ann", "--protocol", "SMTP"}), 2);
    EXPECT_TRUE(Errors.startsWith("The protocol is POP3 or IMAP, not \"SMTP\".")) << Errors.toStdString();
    EXPECT_EQ(Run({"add-account", "Bad", "127.0.0.1", "40143", "ann", "--folder"}), 2);
    EXPECT_EQ(Account("Bad"), "(none)");
}
