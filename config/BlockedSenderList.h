#pragma once

#include "config/CheckedName.h"

class RegistryStore;

// The blocked senders as the store lists the values of the BlockedSenders
// key: the value's name is the sender text, its boolean data the check mark.
class BlockedSenderList
{
public:
    explicit BlockedSenderList(RegistryStore& store) : store(store) {}

    const CheckedNames& Items() const { return items; }

    // True when sender holds more than blanks and occurs in the name of a
    // checked entry, in any case; an unchecked entry is kept but blocks
    // nothing. The store knows names without case, so blocking "ANN" where
    // "Ann" is listed keeps the entry "Ann".
    bool Blocks(const QString& sender) const;

    // Re-reads the list, creating the key when it is missing.
    void Fill();
    // Stores the mark at once, as the user sets it.
    void SetChecked(int index, bool checked);
    // Stores the sender checked (again, if it is listed) and re-reads the
    // list; false when the sender is empty or the key cannot be opened.
    bool Add(const QString& sender);
    void Delete(const QString& sender);

private:
    RegistryStore& store;
    CheckedNames items;
};
