#pragma once

#include <QToolButton>

class QAction;

// A toolbar button that runs an action, as the windows' buttons do: it shows
// the action's image and state, and its own hint where it has one instead of
// the action's (a plain QToolButton takes the action's tooltip back at every
// change of the action).
class TToolButton : public QToolButton
{
public:
    TToolButton(QAction* action, const QString& name, const QString& hint, QWidget* parent);

protected:
    void actionEvent(QActionEvent* event) override;

private:
    void ApplyHint();

    QString hint;
};
