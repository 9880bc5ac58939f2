#include "pop3/AttachFolder.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The folder's place and its sweep; naming and making its files are the
// same on every system and live with the reader that writes them.

namespace {

// Only we can change such a folder: no entry in it can be swapped between
// our look at it and its removal.
bool OursAlone(const struct stat& folder)
{
    return S_ISDIR(folder.st_mode) && folder.st_uid == geteuid() && (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool OurOldFile(int folder, const char* name, time_t before)
{
    struct stat file = {};
    return fstatat(folder, name, &file, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(file.st_mode) &&
           file.st_uid == geteuid() && file.st_mtime < before;
}

} // namespace

// Names are joined to the path, so it must end with a separator.
TAttachFolder::TAttachFolder(const QString& folder)
    : path(folder.isEmpty() ? DefaultPath() : folder.endsWith('/') ? folder : folder + '/')
{
}

QString TAttachFolder::DefaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/Postwatch/attachments/";
}

// The entries are looked at and removed through the folder opened once, so
// a path swapped meanwhile cannot lead elsewhere.
void TAttachFolder::RemoveOlderThan(const QDateTime& time)
{
    const int folder = ::open(QFile::encodeName(QDir::cleanPath(path)).constData(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return;
    struct stat status = {};
    DIR* entries = fstat(folder, &status) == 0 && OursAlone(status) ? fdopendir(folder) : nullptr;
    if (!entries) {
        ::close(folder);
        return;
    }
    const auto closed = qScopeGuard([entries] { closedir(entries); });
    QList<QByteArray> old;
    while (const dirent* entry = readdir(entries))
        if (OurOldFile(folder, entry->d_name, time.toSecsSinceEpoch()))
            old.append(entry->d_name);
    for (const QByteArray& name : old)
        unlinkat(folder, name.constData(), 0);
}
