#include "config/AccountList.h"

#include "config/AccountPassword.h"
#include "config/AccountRecord.h"
#include "config/OAuthAccount.h"
#include "config/Registry.h"
#include "config/StoreKeys.h"

QStringList AccountList::SelectedNames() const
{
    QStringList names;
    for (const CheckedName& item : items) {
        if (item.Checked)
            names << item.Name;
    }
    return names;
}

void AccountList::Fill()
{
    TRegistry reg(store);
    if (!reg.OpenKey(StoreKeys::Accounts, false))
        return;
    const QStringList names = reg.GetKeyNames();
    reg.CloseKey();
    // Built aside, so a mark that cannot be read leaves the list as it was.
    CheckedNames filled;
    for (const QString& name : names)
        filled.append({name, TAccountRecord::ReadSelected(store, name)});
    items = filled;
}

void AccountList::SetChecked(int index, bool checked)
{
    if (index < 0 || index >= items.size())
        return;
    items[index].Checked = checked;
    TAccountRecord::WriteSelected(store, items[index].Name, checked);
}

// The secret goes first: where the store fails, the account stays.
void AccountList::Delete(const QString& name)
{
    TRegistry reg(store);
    if (!reg.OpenKey(StoreKeys::Accounts, false))
        return;
    RemoveAccountPassword(store, name);
    RemoveRefreshToken(store, name);
    reg.DeleteKey(name);
    reg.CloseKey();
    Fill();
}
