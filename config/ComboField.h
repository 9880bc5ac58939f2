#pragma once

#include <QString>
#include <QStringList>

// What a combo box that lists names and also takes typed text holds: its
// entries, the chosen entry and the text of its field. Choosing an entry puts
// its name into the field; choosing none leaves the field empty, so the field
// names an entry exactly when one is chosen or holds what was typed.
class ComboField
{
public:
    static constexpr int NoItem = -1;

    const QStringList& Items() const { return items; }
    // New entries clear the choice, as a combo box does when its list is reset.
    void SetItems(const QStringList& names);

    int ItemIndex() const { return index; }
    void SetItemIndex(int newIndex); // out of range chooses none

    QString Text() const { return text; }
    void SetText(const QString& typed); // chooses the entry it names exactly, if any

    // Chooses the entry equal to name ignoring case, or none.
    void Select(const QString& name);
    // As Select, but a name the list lacks stays in the field as typed.
    void SelectOrKeep(const QString& name);

private:
    QStringList items;
    int index = NoItem;
    QString text;
};
