#include "platform/PrivateFiles.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
