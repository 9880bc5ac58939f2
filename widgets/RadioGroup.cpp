#include "widgets/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(const QString& name, const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), buttons(new QButtonGroup(this))
{
    setObjectName(name);
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        buttons->addButton(button, i);
        layout->addWidget(button);
    }
    connect(buttons, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            emit ItemIndexChanged(id);
    });
}

int TRadioGroup::ItemIndex() const
{
    return buttons->checkedId();
}

void TRadioGroup::SetItemIndex(int index)
{
    if (QAbstractButton* button = buttons->button(index))
        button->setChecked(true);
}

QRadioButton* TRadioGroup::Button(int index) const
{
    return static_cast<QRadioButton*>(buttons->button(index));
}
