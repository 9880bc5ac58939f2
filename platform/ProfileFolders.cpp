#include "platform/ProfileFolders.h"

#include "platform/Profile.h"

#include <QStandardPaths>
#include <unistd.h>

namespace ProfileFolders {

QString Usual()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Postwatch");
}

QString UsualCache()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Postwatch");
}

bool Same(const QString& one, const QString& other)
{
    return one == other;
}

}

QString Profile::RuntimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return PrivateFolder(runtime.isEmpty() ? QStringLiteral("/tmp/postwatch-%1").arg(getuid()) : runtime);
}
