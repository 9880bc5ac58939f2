#include "config/RegistryStore.h"

void RegistryStore::Change(const RegChange& change)
{
    change(tree);
    pending.push_back(change);
}

void RegistryStore::Commit()
{
    if (pending.empty())
        return;
    Flush(pending);
    pending.clear();
}
