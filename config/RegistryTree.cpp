#include "config/RegistryTree.h"

#include <algorithm>

QString RootKeyName(RootKey root)
{
    return root == RootKey::HKEY_CURRENT_USER ? QStringLiteral("HKEY_CURRENT_USER")
                                              : QStringLiteral("HKEY_LOCAL_MACHINE");
}

QString RegTypeName(RegType type)
{
    switch (type) {
    case RegType::String: return QStringLiteral("REG_SZ");
    case RegType::DWord: return QStringLiteral("REG_DWORD");
    case RegType::Binary: return QStringLiteral("REG_BINARY");
    case RegType::Other: break;
    }
    return QStringLiteral("another type");
}

QString RegTypeName(const RegValue& value)
{
    if (value.Type != RegType::Other)
        return RegTypeName(value.Type);
    switch (value.OtherType) {
    case 0: return QStringLiteral("REG_NONE");
    case 2: return QStringLiteral("REG_EXPAND_SZ");
    case 5: return QStringLiteral("REG_DWORD_BIG_ENDIAN");
    case 6: return QStringLiteral("REG_LINK");
    case 7: return QStringLiteral("REG_MULTI_SZ");
    case 11: return QStringLiteral("REG_QWORD");
    }
    return QStringLiteral("hex(%1)").arg(static_cast<quint32>(value.OtherType), 0, 16);
}

namespace {
bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
}

RegKey* RegKey::Subkey(const QString& name) const
{
    auto it = std::find_if(subkeys.begin(), subkeys.end(),
                           [&](const auto& key) { return sameName(key->Name, name); });
    return it == subkeys.end() ? nullptr : it->get();
}

RegKey& RegKey::AddSubkey(const QString& name)
{
    if (RegKey* existing = Subkey(name))
        return *existing;
    auto it = std::lower_bound(subkeys.begin(), subkeys.end(), name, [](const auto& key, const QString& n) {
        return key->Name.compare(n, Qt::CaseInsensitive) < 0;
    });
    return **subkeys.insert(it, std::make_unique<RegKey>(name));
}

bool RegKey::RemoveSubkey(const QString& name)
{
    return std::erase_if(subkeys, [&](const auto& key) { return sameName(key->Name, name); }) > 0;
}

QStringList RegKey::SubkeyNames() const
{
    QStringList names;
    for (const auto& key : subkeys)
        names << key->Name;
    return names;
}

const RegValue* RegKey::Value(const QString& name) const
{
    auto it = std::find_if(values.begin(), values.end(), [&](const RegValue& v) { return sameName(v.Name, name); });
    return it == values.end() ? nullptr : &*it;
}

void RegKey::SetValue(const RegValue& value)
{
    auto it = std::find_if(values.begin(), values.end(), [&](const RegValue& v) { return sameName(v.Name, value.Name); });
    if (it == values.end()) {
        values.push_back(value);
        return;
    }
    const QString keptName = it->Name;
    *it = value;
    it->Name = keptName;
}

bool RegKey::RemoveValue(const QString& name)
{
    return std::erase_if(values, [&](const RegValue& v) { return sameName(v.Name, name); }) > 0;
}

std::unique_ptr<RegKey> RegKey::Clone() const
{
    auto copy = std::make_unique<RegKey>(Name);
    copy->values = values;
    for (const auto& key : subkeys)
        copy->subkeys.push_back(key->Clone());
    return copy;
}

QStringList SplitKeyPath(const QString& path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

RegistryTree::RegistryTree()
    : currentUser(std::make_unique<RegKey>(RootKeyName(RootKey::HKEY_CURRENT_USER)))
    , localMachine(std::make_unique<RegKey>(RootKeyName(RootKey::HKEY_LOCAL_MACHINE)))
{
}

RegistryTree::RegistryTree(const RegistryTree& other)
    : currentUser(other.currentUser->Clone()), localMachine(other.localMachine->Clone())
{
}

RegistryTree& RegistryTree::operator=(const RegistryTree& other)
{
    if (this != &other) {
        currentUser = other.currentUser->Clone();
        localMachine = other.localMachine->Clone();
    }
    return *this;
}

RegKey& RegistryTree::Root(RootKey root)
{
    return root == RootKey::HKEY_CURRENT_USER ? *currentUser : *localMachine;
}

const RegKey& RegistryTree::Root(RootKey root) const
{
    return root == RootKey::HKEY_CURRENT_USER ? *currentUser : *localMachine;
}

RegKey* RegistryTree::Find(RootKey root, const QString& path)
{
    RegKey* key = &Root(root);
    for (const QString& part : SplitKeyPath(path)) {
        key = key->Subkey(part);
        if (!key)
            return nullptr;
    }
    return key;
}

RegKey& RegistryTree::Create(RootKey root, const QString& path)
{
    RegKey* key = &Root(root);
    for (const QString& part : SplitKeyPath(path))
        key = &key->AddSubkey(part);
    return *key;
}

bool RegistryTree::Remove(RootKey root, const QString& path)
{
    QStringList parts = SplitKeyPath(path);
    if (parts.isEmpty())
        return false;
    const QString last = parts.takeLast();
    RegKey* parent = Find(root, parts.join(QLatin1Char('\\')));
    return parent && parent->RemoveSubkey(last);
}
