#pragma once

#include "config/CheckedName.h"

#include <QStringList>

class RegistryStore;

// The accounts as the store lists the subkeys of the Accounts key, each with
// its check mark ("Selected": the account takes part in checks). Only names
// and marks are held; an account's other values are read when needed.
class AccountList
{
public:
    explicit AccountList(RegistryStore& store) : store(store) {}

    const CheckedNames& Items() const { return items; }
    QStringList SelectedNames() const;

    // Re-reads the list. A missing Accounts key keeps the list as it was.
    void Fill();
    // Stores the mark at once, as the user sets it.
    void SetChecked(int index, bool checked);
    // Removes the account's subkey with everything in it, and its secret,
    // and re-reads the list.
    void Delete(const QString& name);

private:
    RegistryStore& store;
    CheckedNames items;
};
