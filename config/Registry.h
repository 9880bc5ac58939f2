#pragma once

#include "config/RegistryStore.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// A handle on one key of a RegistryStore, used the way the program uses the
// system registry: open a key, read and write its values, close it. Every
// change reaches the store's medium when the key is closed (or the handle is
// destroyed). Errors raise EStoreError.
class TRegistry
{
public:
    explicit TRegistry(RegistryStore& store, RootKey root = RootKey::HKEY_CURRENT_USER);
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    RootKey Root;

    bool OpenKey(const QString& key, bool CanCreate);
    bool OpenKeyReadOnly(const QString& key) { return OpenKey(key, false); }
    void CloseKey();
    bool KeyExists(const QString& key) const;
    QString CurrentPath() const { return currentPath; }

    bool ValueExists(const QString& name) const;
    QString ReadString(const QString& name) const;
    int ReadInteger(const QString& name) const;
    bool ReadBool(const QString& name) const;
    QByteArray ReadBinaryData(const QString& name) const;
    RegType GetDataType(const QString& name) const;

    void WriteString(const QString& name, const QString& value);
    void WriteInteger(const QString& name, int value);
    void WriteBool(const QString& name, bool value);
    void WriteBinaryData(const QString& name, const QByteArray& value);

    QStringList GetKeyNames() const;
    QStringList GetValueNames() const;
    bool DeleteKey(const QString& key);   // relative to the open key, or absolute when none is open
    bool DeleteValue(const QString& name);

private:
    RegKey& current() const;
    const RegValue& typedValue(const QString& name, RegType wanted) const;
    QString fullPath(const QString& key) const;
    void write(const RegValue& value);

    RegistryStore& store;
    QString currentPath;
    bool isOpen = false;
    bool changed = false;
};
