#pragma once

#include <QString>

// Where this user's files live: on Linux $XDG_CONFIG_HOME/Postwatch, on
// Windows %LOCALAPPDATA%\Postwatch (the settings themselves are in the
// registry there). POSTWATCH_PROFILE names a folder that holds the store
// file instead of the usual place, so a demo or a test never touches the
// user's own settings.
namespace Profile {
QString StoreFilePath();
QString ConfigFolder();
// The messages announced so far, beside the store file.
QString SeenMessagesFilePath();
// What the checks read of each message, beside the store file.
QString SummaryCacheFilePath();
// What may be made again at any time (attachments, the notification icon):
// $XDG_CACHE_HOME/Postwatch on Linux, the usual folder itself on Windows, or
// the folder "cache" in another profile, which leaves the user's own cache
// alone.
QString CacheFolder();
// Whether the files are in the usual place, however POSTWATCH_PROFILE says it.
bool IsDefault();
// A short name for the profile's folder, the same at every start, for files
// that each profile needs one of its own.
QString FolderTag();

// Linux only (Windows' pipes and mutexes need no folder): the folder for
// what lives only while the user is logged in: $XDG_RUNTIME_DIR, or
// /tmp/postwatch-<uid> where that is unset. Checked as PrivateFolder checks it.
QString RuntimeFolder();
// The path, made a folder for this user alone if missing (mode 0700; on
// Windows a protected access list granting the user alone). Throws
// Exception, with the reason as a clause ("the folder ... belongs to another
// user"), unless it is a folder of this user's own that no other user can
// open; a symbolic link or junction is refused, as another user could point
// it elsewhere later.
QString PrivateFolder(const QString& path);
}
