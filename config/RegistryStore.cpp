#include "config/RegistryStore.h"

#include "config/StoreError.h"

namespace {

// path names base or a key below it.
bool isWithin(const QString& path, const QString& base)
{
    const QStringList parts = SplitKeyPath(path);
    const QStringList baseParts = SplitKeyPath(base);
    if (parts.size() < baseParts.size())
        return false;
    for (qsizetype i = 0; i < baseParts.size(); ++i)
        if (parts[i].compare(baseParts[i], Qt::CaseInsensitive) != 0)
            return false;
    return true;
}

[[noreturn]] void refuse(const SystemKey& key)
{
    throw EStoreError(QStringLiteral("The key \"%1\" belongs to the system and can only be read here.")
                          .arg(RootKeyName(key.Root) + QLatin1Char('\\') + SplitKeyPath(key.Path).join(QLatin1Char('\\'))));
}

}

void RegistryStore::Change(const RegChange& change)
{
    change(tree);
    pending.push_back(change);
}

// A commit may have replaced the tree with what the medium holds.
void RegistryStore::Commit()
{
    if (pending.empty())
        return;
    Flush(pending);
    pending.clear();
    showSystemKeys();
}

void RegistryStore::AddSystemKey(SystemKey key)
{
    const QStringList parts = SplitKeyPath(key.Path);
    systemKeys.push_back({std::move(key), std::make_unique<RegKey>(parts.value(parts.size() - 1))});
}

void RegistryStore::Prepare(RootKey root, const QString& path)
{
    Refresh();
    for (MountedKey& mounted : systemKeys) {
        if (mounted.Source.Root != root || !isWithin(path, mounted.Source.Path))
            continue;
        auto content = std::make_unique<RegKey>(mounted.Content->Name);
        mounted.Source.Fill(*content);
        mounted.Content = std::move(content);
    }
    showSystemKeys();
}

// The store's own content under a system key is hidden, never changed.
void RegistryStore::showSystemKeys()
{
    for (const MountedKey& mounted : systemKeys)
        tree.Create(mounted.Source.Root, mounted.Source.Path) = std::move(*mounted.Content->Clone());
}

void RegistryStore::CheckWritable(RootKey root, const QString& path) const
{
    for (const MountedKey& mounted : systemKeys)
        if (mounted.Source.Root == root && isWithin(path, mounted.Source.Path))
            refuse(mounted.Source);
}

void RegistryStore::CheckRemovable(RootKey root, const QString& path) const
{
    CheckWritable(root, path);
    for (const MountedKey& mounted : systemKeys)
        if (mounted.Source.Root == root && isWithin(mounted.Source.Path, path))
            refuse(mounted.Source);
}
