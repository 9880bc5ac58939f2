#include "platform/Profile.h"

#include "base/Exception.h"
#include "platform/PrivateFiles.h"
#include "platform/ProfileFolders.h"

#include <QCryptographicHash>
#include <QDir>

namespace Profile {

namespace {
[[noreturn]] void refuse(const QString& path, const QString& reason)
{
    throw Exception(QStringLiteral("the folder %1 %2").arg(QDir::toNativeSeparators(path), reason));
}
}

QString ConfigFolder()
{
    const QString profile = qEnvironmentVariable("POSTWATCH_PROFILE");
    if (!profile.isEmpty())
        return QDir(profile).absolutePath();
    return ProfileFolders::Usual();
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
        return ProfileFolders::UsualCache();
    return ConfigFolder() + QStringLiteral("/cache");
}

bool IsDefault()
{
    return ProfileFolders::Same(QDir::cleanPath(ConfigFolder()), QDir::cleanPath(ProfileFolders::Usual()));
}

QString FolderTag()
{
    const QByteArray path = QDir::cleanPath(ConfigFolder()).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex().left(12));
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
