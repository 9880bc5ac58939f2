#include "engine/PrivateJsonFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>
#include <sys/stat.h>

QJsonObject PrivateJsonFile::Read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

void PrivateJsonFile::Write(const QString& path, const QJsonObject& object)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || ::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0)
        return;
    file.write(QJsonDocument(object).toJson(QJsonDocument::Compact));
    file.commit();
}
