#include "platform/Profile.h"

#include "base/Exception.h"
#include "platform/PrivateFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Profile {

namespace {
QString usualFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Postwatch");
}

[[noreturn]] void refuse(const QString& path, const QString& reason)
{
    throw Exception(QStringLiteral("the folder %1 %2").arg(path, reason));
}
}

QString ConfigFolder()
{
    const QString profile = qEnvironmentVariable("POSTWATCH_PROFILE");
    if (!profile.isEmpty())
        return QDir(profile).absolutePath();
    return usualFolder();
}

QString StoreFilePath()
{
    return ConfigFolder() + QStringLiteral("/registry.reg");
}

QString SeenMessagesFilePath()
{
    return ConfigFolder() + QStringLiteral("/seen-messages");
}

QString SummaryCacheFilePath()
{
    return ConfigFolder() + QStringLiteral("/summary-cache");
}

QString CacheFolder()
{
    if (IsDefault())
        return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Postwatch");
    return ConfigFolder() + QStringLiteral("/cache");
}

bool IsDefault()
{
    return QDir::cleanPath(ConfigFolder()) == QDir::cleanPath(usualFolder());
}

QString FolderTag()
{
    const QByteArray path = QDir::cleanPath(ConfigFolder()).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex().left(12));
}

QString RuntimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return PrivateFolder(runtime.isEmpty() ? QStringLiteral("/tmp/postwatch-%1").arg(getuid()) : runtime);
}

QString PrivateFolder(const QString& path)
{
    if (!PrivateFiles::MakeFolder(path))
        refuse(path, QStringLiteral("cannot be made: %1").arg(PrivateFiles::LastError()));
    const QString refusal = PrivateFiles::FolderRefusal(path);
    if (!refusal.isEmpty())
        refuse(path, refusal);
    return path;
}

}

namespace PrivateFiles {

bool MakeFolder(const QString& path)
{
    return ::mkdir(QFile::encodeName(path).constData(), 0700) == 0 || errno == EEXIST;
}

bool Restrict(QFileDevice& file)
{
    return ::fchmod(file.handle(), S_IRUSR | S_IWUSR) == 0;
}

bool FlushToDisk(QFileDevice& file)
{
    return ::fsync(file.handle()) == 0;
}

void FlushFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool IsLink(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

Opened OpenForReading(QFile& file, const QString& path)
{
    const int handle = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (handle < 0)
        return errno == ELOOP ? Opened::Link : Opened::Failed;
    if (!file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        return Opened::Failed;
    }
    return Opened::Yes;
}

QString FolderRefusal(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("cannot be read: ") + LastError();
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("is a symbolic link");
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("is not a folder");
    if (info.st_uid != getuid())
        return QStringLiteral("belongs to another user");
    if ((info.st_mode & 077) != 0)
        return QStringLiteral("is open to other users");
    return {};
}

QString LastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

}
