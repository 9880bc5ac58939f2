#include "engine/PrivateJsonFile.h"

#include "base/Guard.h"
#include "platform/PrivateFiles.h"

#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>

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

}

QByteArray PrivateJsonFile::ReadBytes(const QString& path)
{
    QFile file;
    const PrivateFiles::Opened opened = PrivateFiles::OpenForReading(file, path);
    if (opened == PrivateFiles::Opened::Link)
        TellLink(path);
    if (opened != PrivateFiles::Opened::Yes)
        return {};
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
    // QSaveFile writes to a link's target, so the name itself is looked at first.
    if (PrivateFiles::IsLink(path))
        return TellLink(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !PrivateFiles::Restrict(file))
        return;
    file.write(bytes);
    file.commit();
}
