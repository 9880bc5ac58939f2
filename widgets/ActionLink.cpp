#include "widgets/ActionLink.h"

#include <QPointer>

QAction* NewLinkedItem(QAction* source, const QString& name, QObject* parent)
{
    auto* item = new QAction(parent);
    item->setObjectName(name);
    auto follow = [item, source] {
        item->setText(source->text());
        item->setIcon(source->icon());
        item->setToolTip(source->toolTip());
        item->setStatusTip(source->statusTip());
        item->setEnabled(source->isEnabled());
        item->setVisible(source->isVisible());
        item->setCheckable(source->isCheckable());
        item->setChecked(source->isChecked());
    };
    follow();
    QObject::connect(source, &QAction::changed, item, follow);
    QObject::connect(item, &QAction::triggered, source, [source = QPointer<QAction>(source)] {
        if (source)
            source->trigger();
    });
    return item;
}
