#pragma once

#include <QAction>

// A menu item linked to an action, as a form's menu items are: it takes the
// action's caption, hint, image, enabled state and check mark, follows every
// later change of them, and choosing it runs the action. It has its own
// objectName, so each menu's items carry the names the forms give them
// (VisitTallowfen1 runs actWebsite, Exit2 on the tray menu runs actClose).
QAction* NewLinkedItem(QAction* source, const QString& name, QObject* parent);
