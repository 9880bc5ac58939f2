#pragma once

#include "config/RegistryTree.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

// One change made through an open key, kept until that key is closed so a
// store on disk can replay it onto the newest content of its file.
class SecretStore;

using RegChange = std::function<void(RegistryTree&)>;

// A key the system provides rather than the store (the dial-up entries, the
// mail programs): Fill puts its current content into an empty key. The store
// shows it at Path, never saves it, and refuses every change to it.
struct SystemKey {
    RootKey Root;
    QString Path;
    std::function<void(RegKey&)> Fill;
};

// Where the registry lives. The tree is the content as this process sees it;
// a backend refreshes it from its medium when a key is opened and writes
// pending changes back when a key through which they were made is closed.
class RegistryStore
{
public:
    virtual ~RegistryStore() = default;

    // Where the accounts' passwords are kept instead of their Password
    // values: the desktop's secret store, when one answered at start.
    SecretStore* Secrets = nullptr;

    RegistryTree& Tree() { return tree; }

    // Take in what another writer stored.
    virtual void Refresh() {}
    // Called by TRegistry before it uses the key at path: Refresh, and show
    // the system keys, filled afresh when path is one of them or below one.
    void Prepare(RootKey root, const QString& path);

    void AddSystemKey(SystemKey key);
    // Throw EStoreError when a change would touch a system key: a key or
    // value at path, or the key at path with everything below it.
    void CheckWritable(RootKey root, const QString& path) const;
    void CheckRemovable(RootKey root, const QString& path) const;

    // Applies a change at once and keeps it pending until Commit.
    void Change(const RegChange& change);
    // Called by TRegistry::CloseKey when changes were made through that key.
    void Commit();

protected:
    // Write the pending changes to the medium; throws EStoreError on failure.
    virtual void Flush(const std::vector<RegChange>& pending) = 0;
    const std::vector<RegChange>& Pending() const { return pending; }

    RegistryTree tree;

private:
    struct MountedKey {
        SystemKey Source;
        std::unique_ptr<RegKey> Content;
    };
    void showSystemKeys();

    std::vector<RegChange> pending;
    std::vector<MountedKey> systemKeys;
};

// The store for tests: the tree alone.
class MemoryStore : public RegistryStore
{
protected:
    void Flush(const std::vector<RegChange>&) override {}
};
