#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

enum class RootKey { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };
QString RootKeyName(RootKey root);

// The value types as they are stored. Other stands for any type the program
// never writes (expandable or multi strings, 64-bit numbers...) found in a file
// written by hand: kept as its raw bytes and type number so a save loses nothing.
enum class RegType { String, DWord, Binary, Other };
QString RegTypeName(RegType type);

struct RegValue {
    RegValue() = default;
    RegValue(QString name, RegType type) : Name(std::move(name)), Type(type) {}

    QString Name; // empty for the key's default value
    RegType Type = RegType::String;
    QString Text;        // String
    quint32 Number = 0;  // DWord
    QByteArray Bytes;    // Binary and Other
    int OtherType = 0;   // Other: the type number written as hex(N)
};
QString RegTypeName(const RegValue& value); // names an Other value by its type number

// One key of the hierarchy. Names match case-insensitively and keep the case
// they were created with; subkeys are kept in case-insensitive alphabetical
// order, values in creation order.
class RegKey
{
public:
    explicit RegKey(QString name = {}) : Name(std::move(name)) {}

    QString Name;

    RegKey* Subkey(const QString& name) const;
    RegKey& AddSubkey(const QString& name); // returns the existing one if present
    bool RemoveSubkey(const QString& name);
    QStringList SubkeyNames() const;

    const RegValue* Value(const QString& name) const;
    void SetValue(const RegValue& value); // keeps the position and case of an existing name
    bool RemoveValue(const QString& name);
    const std::vector<RegValue>& Values() const { return values; }

    std::unique_ptr<RegKey> Clone() const;
    const std::vector<std::unique_ptr<RegKey>>& Subkeys() const { return subkeys; }

private:
    std::vector<RegValue> values;
    std::vector<std::unique_ptr<RegKey>> subkeys;
};

// A key path below a root: "Software\Tallowfen\Postwatch\2.0" (leading and
// trailing backslashes and empty parts are ignored).
QStringList SplitKeyPath(const QString& path);

// The two roots and everything below them.
class RegistryTree
{
public:
    RegistryTree();
    RegistryTree(const RegistryTree& other);
    RegistryTree& operator=(const RegistryTree& other);

    RegKey& Root(RootKey root);
    const RegKey& Root(RootKey root) const;
    RegKey* Find(RootKey root, const QString& path);
    RegKey& Create(RootKey root, const QString& path);
    bool Remove(RootKey root, const QString& path); // the key with its whole tree

private:
    std::unique_ptr<RegKey> currentUser;
    std::unique_ptr<RegKey> localMachine;
};
