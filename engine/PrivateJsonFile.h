#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// A file of the program's own memory beside the settings, most as one JSON
// object. A symbolic link at its name is neither read nor written through:
// another program could point it at a file of the user's that a save would
// replace. Either refusal is told once on standard error and only costs
// what the file remembers.
namespace PrivateJsonFile {
// Far above what the program writes: a larger file is not read, so that a
// damaged or planted one cannot fill the memory at start.
constexpr qint64 MaxBytes = 64 * 1024 * 1024;

// Empty where the file is missing, unreadable or too large.
QByteArray ReadBytes(const QString& path);
// Empty also where it is not a JSON object.
QJsonObject Read(const QString& path);
// Written whole beside the old file and renamed over it, readable by the
// user alone; a failure leaves the old file.
void Write(const QString& path, const QByteArray& bytes);
void Write(const QString& path, const QJsonObject& object);
}
