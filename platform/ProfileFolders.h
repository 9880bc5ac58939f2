#pragma once

#include <QString>

// Where this system keeps the usual profile, for Profile.
namespace ProfileFolders {
// The profile's folder when POSTWATCH_PROFILE names none.
QString Usual();
// What the usual profile may make again at any time.
QString UsualCache();
// Whether two cleaned paths name one folder, by the system's rule for case.
bool Same(const QString& one, const QString& other);
}
