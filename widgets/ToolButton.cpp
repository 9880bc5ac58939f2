#include "widgets/ToolButton.h"

#include <QAction>
#include <QActionEvent>

TToolButton::TToolButton(QAction* action, const QString& name, const QString& hint, QWidget* parent)
    : QToolButton(parent), hint(hint)
{
    setObjectName(name);
    setDefaultAction(action);
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    ApplyHint();
}

void TToolButton::actionEvent(QActionEvent* event)
{
    QToolButton::actionEvent(event);
    ApplyHint();
}

void TToolButton::ApplyHint()
{
    if (!hint.isEmpty())
        setToolTip(hint);
}
