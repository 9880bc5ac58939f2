#pragma once

#include <QJsonObject>
#include <QString>

// A file of the program's own memory beside the settings, as one JSON object.
namespace PrivateJsonFile {
// Empty where the file is missing, unreadable or not a JSON object.
QJsonObject Read(const QString& path);
// Written whole beside the old file and renamed over it, readable by the
// user alone; a failure leaves the old file.
void Write(const QString& path, const QJsonObject& object);
}
