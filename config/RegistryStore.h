#pragma once

#include "config/RegistryTree.h"

#include <functional>
#include <vector>

// One change made through an open key, kept until that key is closed so a
// store on disk can replay it onto the newest content of its file.
using RegChange = std::function<void(RegistryTree&)>;

// Where the registry lives. The tree is the content as this process sees it;
// a backend refreshes it from its medium when a key is opened and writes
// pending changes back when a key through which they were made is closed.
class RegistryStore
{
public:
    virtual ~RegistryStore() = default;

    RegistryTree& Tree() { return tree; }

    // Called by TRegistry::OpenKey: take in what another writer stored.
    virtual void Refresh() {}
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
    std::vector<RegChange> pending;
};

// The store for tests: the tree alone.
class MemoryStore : public RegistryStore
{
protected:
    void Flush(const std::vector<RegChange>&) override {}
};
