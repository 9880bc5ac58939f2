#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <functional>

class QWidget;

// One message box as the program shows it: plain, without an icon.
struct TMsgBoxRequest
{
    QString Text;
    QString Caption;
    QWidget* Owner = nullptr;
    QMessageBox::StandardButtons Buttons;
};

// Shows the box modally and returns the button chosen.
QMessageBox::StandardButton MsgBox(const TMsgBoxRequest& request);
// Shows the box and returns at once: nothing waits for it to be read. It
// deletes itself when closed, and the pointer becomes null. With the test
// hook set the hook answers it and nothing is shown.
QPointer<QMessageBox> ShowMsgBox(const TMsgBoxRequest& request);

// For tests: the hook answers every box in the user's place, so no test
// waits on a modal loop. An empty hook shows boxes again.
using TMsgBoxHook = std::function<QMessageBox::StandardButton(const TMsgBoxRequest& request)>;
void SetMsgBoxHook(TMsgBoxHook hook);
