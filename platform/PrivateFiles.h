#pragma once

#include <QString>

class QFile;
class QFileDevice;

// The few file system steps that keep the program's files to their user
// (passwords, what mail came) and whole after a crash. On Linux these are
// modes and fsync; on Windows a protected access list that grants the
// current user alone, and FlushFileBuffers. A link at a file's own name, a
// symbolic link or on Windows any reparse point such as a junction, is never
// followed: another program could point it at a file of the user's. Defined
// beside Profile (Profile.cpp, ProfileWin.cpp), whose folders they keep.
namespace PrivateFiles {

enum class Opened {
    Yes,
    Link,  // a link at the name: not opened
    Failed // missing or unreadable
};

// Makes one folder, its parent already there, that only this user can
// open. False when it cannot be made; whatever is already at the name is
// left as it is, for FolderRefusal to judge.
bool MakeFolder(const QString& path);
// Closes an open file to everyone but this user.
bool Restrict(QFileDevice& file);
// What was written to the open file reaches the disk.
bool FlushToDisk(QFileDevice& file);
// A file just renamed into the folder stays there after a crash.
void FlushFolder(const QString& folder);
// Whether the name itself is a link, whatever it points to.
bool IsLink(const QString& path);
// Opens the file for reading without following a link at its name.
Opened OpenForReading(QFile& file, const QString& path);
// Why the folder is not one for private files, as a clause ("is a
// symbolic link", "belongs to another user", "is open to other users");
// empty when it is a folder of this user's own that no other user can open.
QString FolderRefusal(const QString& path);
// Why the last step above failed, as the system says it.
QString LastError();

}
