#pragma once

#include "config/RegistryTree.h"

#include <QByteArray>
#include <QString>

// The text form of the settings file: the registry's own export syntax
// ("Windows Registry Editor Version 5.00", [key] sections, "Name"=value
// lines), so a person can read it and registry tools can write it.
namespace RegFile {

// Reads a whole file (UTF-8, with or without a byte-order mark, or UTF-16 as
// regedit exports it). Throws EStoreError naming the file and the line.
RegistryTree Read(const QByteArray& content, const QString& fileName);

// Writes the tree as UTF-8 text. Throws EStoreError for a key name the
// syntax cannot hold (one with a line break).
QByteArray Write(const RegistryTree& tree);

}
