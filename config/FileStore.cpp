#include "config/FileStore.h"

#include "config/RegFile.h"
#include "config/StoreError.h"
#include "platform/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// Held around one read-merge-write so two running copies never interleave.
class StoreLock
{
public:
    StoreLock(const QString& storePath, int timeout) : lock(storePath + QStringLiteral(".lock"))
    {
        // The lock is held for milliseconds. An older lock file whose owner is
        // unknown was left by a copy that died while taking it; the lock of a
        // living owner cannot be removed even then.
        lock.setStaleLockTime(3000);
        if (!lock.tryLock(timeout))
            throw EStoreError(failure(storePath));
    }

private:
    QString failure(const QString& storePath) const
    {
        qint64 pid = 0;
        QString host, application;
        if (lock.error() == QLockFile::LockFailedError && lock.getLockInfo(&pid, &host, &application))
            return QStringLiteral("The settings were not saved: another running copy of Postwatch (process %1) keeps the "
                                  "settings file \"%2\" locked. Try again in a moment.")
                .arg(QString::number(pid), shown(storePath));
        return QStringLiteral("The settings were not saved: the lock file \"%1\" cannot be created beside the settings file.")
            .arg(shown(lock.fileName()));
    }

    QLockFile lock;
};

}

FileStore::FileStore(QString path) : path(std::move(path)) {}

void FileStore::Refresh()
{
    const QByteArray content = readFile();
    if (content == knownContent)
        return;
    tree = parse(content, Pending());
    knownContent = content;
}

void FileStore::Flush(const std::vector<RegChange>& pending)
{
    createFolder();
    const StoreLock lock(path, lockTimeout);
    const QByteArray current = readFile();
    const RegistryTree merged = parse(current, pending);
    const QByteArray content = RegFile::Write(merged);
    if (content != current)
        replaceFile(content);
    tree = merged;
    knownContent = content;
}

// A missing file is an empty store.
QByteArray FileStore::readFile() const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!file.exists())
            return {};
        throw EStoreError(QStringLiteral("The settings file \"%1\" cannot be opened: %2").arg(shown(path), file.errorString()));
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EStoreError(QStringLiteral("The settings file \"%1\" cannot be read: %2").arg(shown(path), file.errorString()));
    return content;
}

RegistryTree FileStore::parse(const QByteArray& content, const std::vector<RegChange>& changes) const
{
    RegistryTree result = RegFile::Read(content, path);
    for (const RegChange& change : changes)
        change(result);
    return result;
}

// The file holds passwords: its folder is made for this user alone. A folder
// that already exists is left as it is, since it may be one the user named.
void FileStore::createFolder() const
{
    const QString folder = QFileInfo(path).absolutePath();
    if (QFileInfo(folder).isDir())
        return;
    QDir().mkpath(QFileInfo(folder).absolutePath());
    if (!PrivateFiles::MakeFolder(folder) || !QFileInfo(folder).isDir())
        throw EStoreError(QStringLiteral("The folder \"%1\" for the settings file cannot be created.").arg(shown(folder)));
}

// The new content goes to a file beside the old one, reaches the disk, and
// then replaces the old file in one rename: a crash leaves one or the other.
void FileStore::replaceFile(const QByteArray& content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.flush())
        throw EStoreError(QStringLiteral("The settings file \"%1\" cannot be written: %2").arg(shown(path), file.errorString()));
    if (!PrivateFiles::Restrict(file) || !PrivateFiles::FlushToDisk(file))
        throw EStoreError(QStringLiteral("The settings file \"%1\" cannot be written: %2")
                              .arg(shown(path), PrivateFiles::LastError()));
    BeforeReplace();
    if (!file.commit())
        throw EStoreError(QStringLiteral("The settings file \"%1\" cannot be replaced: %2").arg(shown(path), file.errorString()));
    // The renamed file is only lasting once its folder entry is on disk too.
    PrivateFiles::FlushFolder(QFileInfo(path).absolutePath());
}
