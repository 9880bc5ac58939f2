#include "config/BlockedSenderList.h"

#include "config/Registry.h"
#include "config/StoreKeys.h"

#include <algorithm>

// Blanks alone are no sender: a blank occurs inside most entries.
bool BlockedSenderList::Blocks(const QString& sender) const
{
    return !sender.trimmed().isEmpty() && std::ranges::any_of(items, [&](const CheckedName& item) {
        return item.Checked && item.Name.contains(sender, Qt::CaseInsensitive);
    });
}

void BlockedSenderList::Fill()
{
    TRegistry reg(store);
    if (!reg.OpenKey(StoreKeys::BlockedSenders, true))
        return;
    // Built aside, so a value of another type leaves the list as it was.
    CheckedNames filled;
    for (const QString& name : reg.GetValueNames())
        filled.append({name, reg.ReadBool(name)});
    items = filled;
}

void BlockedSenderList::SetChecked(int index, bool checked)
{
    if (index < 0 || index >= items.size())
        return;
    items[index].Checked = checked;
    TRegistry reg(store);
    if (reg.OpenKey(StoreKeys::BlockedSenders, true))
        reg.WriteBool(items[index].Name, checked);
}

bool BlockedSenderList::Add(const QString& sender)
{
    // An empty name would be the key's default value, not a sender.
    if (sender.isEmpty())
        return false;
    TRegistry reg(store);
    if (!reg.OpenKey(StoreKeys::BlockedSenders, true))
        return false;
    reg.WriteBool(sender, true);
    reg.CloseKey();
    Fill();
    return true;
}

void BlockedSenderList::Delete(const QString& sender)
{
    TRegistry reg(store);
    if (!reg.OpenKey(StoreKeys::BlockedSenders, false))
        return;
    reg.DeleteValue(sender);
    reg.CloseKey();
    Fill();
}
