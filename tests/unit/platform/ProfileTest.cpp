#include "platform/InstanceChannel.h"
#include "platform/Profile.h"

#include "base/Exception.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using testing::HasSubstr;

namespace {
std::string refusalOf(const QString& path)
{
    try {
        Profile::PrivateFolder(path);
    } catch (const Exception& e) {
        return e.Message.toStdString();
    }
    return {};
}

mode_t modeOf(const QString& path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}
}

// The channel's folder must be one no other user can put a socket or a lock in.
TEST(Profile, APrivateFolderIsMadeClosedAndAnyOtherIsRefused)
{
    QTemporaryDir dir;
    const QString made = dir.filePath("made");
    EXPECT_EQ(Profile::PrivateFolder(made), made);
    EXPECT_EQ(modeOf(made), 0700u);
    EXPECT_EQ(Profile::PrivateFolder(made), made) << "the folder made before is used again";

    ASSERT_EQ(::chmod(QFile::encodeName(made).constData(), 0755), 0);
    EXPECT_EQ(refusalOf(made), "the folder " + made.toStdString() + " is open to other users");
    ASSERT_EQ(::chmod(QFile::encodeName(made).constData(), 0700), 0);

    ASSERT_TRUE(QFile::link(made, dir.filePath("link")));
    EXPECT_THAT(refusalOf(dir.filePath("link")), HasSubstr("is a symbolic link"));
    QFile file(dir.filePath("file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_THAT(refusalOf(file.fileName()), HasSubstr("is not a folder"));
    EXPECT_THAT(refusalOf(dir.filePath("missing/below")), HasSubstr("cannot be made: No such file or directory"));

    if (::getuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(made).constData(), 65534, 65534), 0);
        EXPECT_THAT(refusalOf(made), HasSubstr("belongs to another user"));
    }
}

TEST(Profile, AChannelInARefusedFolderStaysClosedAndSaysWhy)
{
    QTemporaryDir runtime;
    ASSERT_EQ(::chmod(QFile::encodeName(runtime.path()).constData(), 0777), 0);
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    InstanceChannel channel(runtime.filePath("registry.reg"));
    testing::internal::CaptureStderr();
    const InstanceChannel::Outcome outcome = channel.ForwardOrListen({"show"});
    const std::optional<QByteArray> listing = channel.AskListing();
    const std::string said = testing::internal::GetCapturedStderr();
    qputenv("XDG_RUNTIME_DIR", saved);

    EXPECT_EQ(outcome, InstanceChannel::NotListening);
    EXPECT_FALSE(listing);
    EXPECT_TRUE(QDir(runtime.path()).isEmpty()) << "nothing was put in the refused folder";
    const std::string line = "postwatch: Copies of Postwatch cannot reach each other: the folder "
                             + runtime.path().toStdString() + " is open to other users.\n";
    EXPECT_EQ(said, line + line);
}
