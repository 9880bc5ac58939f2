#include "pop3/AttachFolder.h"

#include "pop3/FileStreamError.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Leaves room for the numbering within the file system's 255-byte limit.
constexpr qsizetype MaxNameBytes = 200;
// Past this, what follows the first dot is no extension worth keeping.
constexpr qsizetype MaxExtensionBytes = 40;

constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

qsizetype Utf8Size(const QString& text)
{
    return text.toUtf8().size();
}

QString LastComponent(const QString& name)
{
    const qsizetype slash = qMax(name.lastIndexOf('/'), name.lastIndexOf('\\'));
    return name.mid(slash + 1);
}

// Format characters go too: a right-to-left override would make
// "photo<RLO>gpj.exe" read as a picture's name.
QString WithoutControls(const QString& name)
{
    QString kept;
    for (const QChar c : name)
        if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format)
            kept += c;
    return kept;
}

QString WithoutLeadingDots(const QString& name)
{
    qsizetype dots = 0;
    while (dots < name.size() && name[dots] == '.')
        ++dots;
    return name.mid(dots);
}

// Shortens the text before the first dot, so the extension survives.
QString Fitted(const QString& name)
{
    if (Utf8Size(name) <= MaxNameBytes)
        return name;
    const qsizetype dot = name.indexOf('.');
    QString extension = dot < 0 ? QString() : name.mid(dot);
    if (Utf8Size(extension) > MaxExtensionBytes)
        extension.clear();
    QString stem = name.left(qMin(name.size() - extension.size(), MaxNameBytes));
    while (!stem.isEmpty() && Utf8Size(stem) + Utf8Size(extension) > MaxNameBytes)
        stem.chop(1);
    if (!stem.isEmpty() && stem.back().isHighSurrogate())
        stem.chop(1);
    return stem + extension;
}

// a.txt gives a_1.txt; a.tar.gz gives a_1.tar.gz; README gives README_1.
QString Numbered(const QString& name, int counter)
{
    const qsizetype dot = name.indexOf('.');
    const QString suffix = QStringLiteral("_%1").arg(counter);
    return dot < 0 ? name + suffix : name.left(dot) + suffix + name.mid(dot);
}

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

QString TAttachFolder::SafeFileName(const QString& name)
{
    const QString safe = Fitted(WithoutLeadingDots(WithoutControls(LastComponent(name))));
    return safe.isEmpty() ? QStringLiteral("text.tmp") : safe;
}

// The folder is made on demand, readable by its owner alone.
void TAttachFolder::Prepare()
{
    const QString folder = QDir::cleanPath(path);
    if (QFileInfo(folder).isDir())
        return;
    QString partial = folder.startsWith('/') ? QStringLiteral("/") : QString();
    for (const QString& part : folder.split('/', Qt::SkipEmptyParts)) {
        partial += part + '/';
        if (!QFileInfo(partial).isDir())
            QDir().mkdir(partial, OwnerOnly | QFileDevice::ExeOwner);
    }
    if (!QFileInfo(folder).isDir())
        throw EFileStreamError(QStringLiteral("Cannot create the attachment folder \"%1\"").arg(path));
}

std::unique_ptr<QFile> TAttachFolder::CreateScratch()
{
    Prepare();
    // Removing first means a link planted under this name is dropped, not followed.
    QFile::remove(path + "Temp.mme");
    auto file = std::make_unique<QFile>(path + "Temp.mme");
    if (!CreateNew(*file))
        EFileStreamError::CannotCreate(*file);
    return file;
}

void TAttachFolder::RemoveScratch()
{
    QFile::remove(path + "Temp.mme");
}

std::unique_ptr<QFile> TAttachFolder::CreateNumbered(QString& name)
{
    Prepare();
    int& next = nextNumbers[name];
    for (;; ++next) {
        const QString candidate = next == 0 ? name : Numbered(name, next);
        auto file = std::make_unique<QFile>(path + candidate);
        if (CreateNew(*file)) {
            ++next;
            name = candidate;
            return file;
        }
        if (!Occupied(candidate))
            EFileStreamError::CannotCreate(*file);
    }
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

// Exclusive creation fails on any existing name, a link included.
bool TAttachFolder::CreateNew(QFile& file)
{
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly, OwnerOnly);
}

bool TAttachFolder::Occupied(const QString& name) const
{
    const QFileInfo info(path + name);
    return info.exists() || info.isSymLink();
}
