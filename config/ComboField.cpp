#include "config/ComboField.h"

#include <algorithm>

void ComboField::SetItems(const QStringList& names)
{
    items = names;
    SetItemIndex(NoItem);
}

void ComboField::SetItemIndex(int newIndex)
{
    index = newIndex >= 0 && newIndex < items.size() ? newIndex : NoItem;
    text = index == NoItem ? QString() : items.at(index);
}

void ComboField::SetText(const QString& typed)
{
    text = typed;
    index = static_cast<int>(items.indexOf(typed));
}

void ComboField::Select(const QString& name)
{
    const auto found = std::find_if(items.cbegin(), items.cend(), [&](const QString& item) {
        return item.compare(name, Qt::CaseInsensitive) == 0;
    });
    SetItemIndex(found == items.cend() ? NoItem : static_cast<int>(found - items.cbegin()));
}

void ComboField::SelectOrKeep(const QString& name)
{
    Select(name);
    if (index == NoItem)
        text = name;
}
