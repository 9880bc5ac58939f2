#include "config/Registry.h"

#include "base/Guard.h"
#include "config/StoreError.h"

TRegistry::TRegistry(RegistryStore& store, RootKey root) : Root(root), store(store) {}

TRegistry::~TRegistry()
{
    try {
        CloseKey();
    } catch (const Exception& e) {
        ReportError(e.Message);
    }
}

// Keys are always opened from the root: the program never works relative to
// a key it left open.
bool TRegistry::OpenKey(const QString& key, bool CanCreate)
{
    CloseKey();
    store.Prepare(Root, key);
    if (!store.Tree().Find(Root, key)) {
        if (!CanCreate)
            return false;
        store.CheckWritable(Root, key);
        const RootKey root = Root;
        store.Change([root, key](RegistryTree& tree) { tree.Create(root, key); });
        changed = true;
    }
    currentPath = SplitKeyPath(key).join(QLatin1Char('\\'));
    isOpen = true;
    return true;
}

void TRegistry::CloseKey()
{
    const bool mustCommit = changed;
    isOpen = false;
    changed = false;
    currentPath.clear();
    if (mustCommit)
        store.Commit();
}

bool TRegistry::KeyExists(const QString& key) const
{
    store.Prepare(Root, fullPath(key));
    return store.Tree().Find(Root, fullPath(key)) != nullptr;
}

RegKey& TRegistry::current() const
{
    RegKey* key = isOpen ? store.Tree().Find(Root, currentPath) : nullptr;
    if (!key)
        throw EStoreError(QStringLiteral("No registry key is open (\"%1\").").arg(RootKeyName(Root) + QLatin1Char('\\') + currentPath));
    return *key;
}

QString TRegistry::fullPath(const QString& key) const
{
    if (!isOpen || key.startsWith(QLatin1Char('\\')))
        return key;
    return currentPath + QLatin1Char('\\') + key;
}

bool TRegistry::ValueExists(const QString& name) const
{
    return isOpen && current().Value(name) != nullptr;
}

const RegValue& TRegistry::typedValue(const QString& name, RegType wanted) const
{
    const QString keyName = RootKeyName(Root) + QLatin1Char('\\') + currentPath;
    const RegValue* value = current().Value(name);
    if (!value)
        throw EStoreError(QStringLiteral("The value \"%1\" is missing in key \"%2\".").arg(name, keyName));
    if (value->Type != wanted)
        throw EStoreError(QStringLiteral("The value \"%1\" in key \"%2\" is stored with another type: %3, where %4 was expected.")
                              .arg(name, keyName, RegTypeName(*value), RegTypeName(wanted)));
    return *value;
}

RegType TRegistry::GetDataType(const QString& name) const
{
    const RegValue* value = current().Value(name);
    if (!value)
        throw EStoreError(QStringLiteral("The value \"%1\" is missing in key \"%2\".")
                              .arg(name, RootKeyName(Root) + QLatin1Char('\\') + currentPath));
    return value->Type;
}

QString TRegistry::ReadString(const QString& name) const
{
    return typedValue(name, RegType::String).Text;
}

int TRegistry::ReadInteger(const QString& name) const
{
    return static_cast<int>(typedValue(name, RegType::DWord).Number);
}

bool TRegistry::ReadBool(const QString& name) const
{
    return ReadInteger(name) != 0;
}

QByteArray TRegistry::ReadBinaryData(const QString& name) const
{
    return typedValue(name, RegType::Binary).Bytes;
}

void TRegistry::write(const RegValue& value)
{
    current();
    store.CheckWritable(Root, currentPath);
    const RootKey root = Root;
    const QString path = currentPath;
    store.Change([root, path, value](RegistryTree& tree) { tree.Create(root, path).SetValue(value); });
    changed = true;
}

void TRegistry::WriteString(const QString& name, const QString& value)
{
    RegValue stored{name, RegType::String};
    stored.Text = value;
    write(stored);
}

void TRegistry::WriteInteger(const QString& name, int value)
{
    RegValue stored{name, RegType::DWord};
    stored.Number = static_cast<quint32>(value);
    write(stored);
}

void TRegistry::WriteBool(const QString& name, bool value)
{
    WriteInteger(name, value ? 1 : 0);
}

void TRegistry::WriteBinaryData(const QString& name, const QByteArray& value)
{
    RegValue stored{name, RegType::Binary};
    stored.Bytes = value;
    write(stored);
}

QStringList TRegistry::GetKeyNames() const
{
    return current().SubkeyNames();
}

QStringList TRegistry::GetValueNames() const
{
    QStringList names;
    for (const RegValue& value : current().Values())
        names << value.Name;
    return names;
}

bool TRegistry::DeleteKey(const QString& key)
{
    const RootKey root = Root;
    const QString path = fullPath(key);
    store.Prepare(root, path);
    if (!store.Tree().Find(root, path))
        return false;
    store.CheckRemovable(root, path);
    store.Change([root, path](RegistryTree& tree) { tree.Remove(root, path); });
    changed = true;
    if (!isOpen)
        CloseKey();
    return true;
}

bool TRegistry::DeleteValue(const QString& name)
{
    if (!current().Value(name))
        return false;
    store.CheckWritable(Root, currentPath);
    const RootKey root = Root;
    const QString path = currentPath;
    store.Change([root, path, name](RegistryTree& tree) {
        if (RegKey* key = tree.Find(root, path))
            key->RemoveValue(name);
    });
    changed = true;
    return true;
}
