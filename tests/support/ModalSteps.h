#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

// Runs a user's steps in the next modal dialog once it shows, from inside its
// own modal loop, so a test drives nested dialogs as a person would. Schedule
// the steps before the click that opens the dialog.
inline void OnNextModal(std::function<void(QDialog& dialog)> steps)
{
    QWidget* const before = QApplication::activeModalWidget();
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, before, steps = std::move(steps)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog == before)
            return;
        poll->stop();
        poll->deleteLater();
        steps(*dialog);
    });
    poll->start();
}
