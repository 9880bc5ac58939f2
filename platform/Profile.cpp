#include "platform/Profile.h"

#include "base/Exception.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
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
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        refuse(path, QStringLiteral("cannot be made: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0)
        refuse(path, QStringLiteral("cannot be read: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    if (S_ISLNK(info.st_mode))
        refuse(path, QStringLiteral("is a symbolic link"));
    if (!S_ISDIR(info.st_mode))
        refuse(path, QStringLiteral("is not a folder"));
    if (info.st_uid != getuid())
        refuse(path, QStringLiteral("belongs to another user"));
    if ((info.st_mode & 077) != 0)
        refuse(path, QStringLiteral("is open to other users"));
    return path;
}

}
