#include "platform/Profile.h"

#include <QDir>
#include <QStandardPaths>

namespace Profile {

QString ConfigFolder()
{
    const QString profile = qEnvironmentVariable("POSTWATCH_PROFILE");
    if (!profile.isEmpty())
        return QDir(profile).absolutePath();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Postwatch");
}

QString StoreFilePath()
{
    return ConfigFolder() + QStringLiteral("/registry.reg");
}

QString SeenMessagesFilePath()
{
    return ConfigFolder() + QStringLiteral("/seen-messages");
}

}
