#include "platform/ProfileFolders.h"

#include <QStandardPaths>

namespace ProfileFolders {

// %LOCALAPPDATA%\Postwatch: the settings are in the registry, and what is
// kept in files here is only this computer's memory of the mailboxes.
QString Usual()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Postwatch");
}

// The usual folder is already a cache: Windows keeps %LOCALAPPDATA% off
// roaming profiles.
QString UsualCache()
{
    return Usual();
}

bool Same(const QString& one, const QString& other)
{
    return one.compare(other, Qt::CaseInsensitive) == 0;
}

}
