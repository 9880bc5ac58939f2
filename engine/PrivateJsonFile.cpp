#include "engine/PrivateJsonFile.h"

#include "base/Guard.h"

#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void TellOnce(const QString& path, const QString& what)
{
    static QSet<QString> told;
    if (told.contains(path))
        return;
    told.insert(path);
    WriteErrorLine(path + u' ' + what);
}

void TellLink(const QString& path)
{
    TellOnce(path, QStringLiteral("is a symbolic link: it is neither read nor written through"));
}

// QSaveFile writes to a link's target, so the name itself is looked at first.
bool IsLink(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

}

QByteArray PrivateJsonFile::ReadBytes(const QString& path)
{
    const int handle = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (handle < 0) {
        if (errno == ELOOP)
            TellLink(path);
        return {};
    }
    QFile file;
    if (!file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        return {};
    }
    if (file.size() > MaxBytes) {
        TellOnce(path, QStringLiteral("is larger than %1 MiB: it is not read, and is written afresh")
                           .arg(MaxBytes / (1024 * 1024)));
        return {};
    }
    return file.read(MaxBytes);
}

QJsonObject PrivateJsonFile::Read(const QString& path)
{
    return QJsonDocument::fromJson(ReadBytes(path)).object();
}

void PrivateJsonFile::Write(const QString& path, const QJsonObject& object)
{
    Write(path, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void PrivateJsonFile::Write(const QString& path, const QByteArray& bytes)
{
    if (IsLink(path))
        return TellLink(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || ::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0)
        return;
    file.write(bytes);
    file.commit();
}
