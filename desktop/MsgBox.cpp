#include "desktop/MsgBox.h"

namespace {
TMsgBoxHook& Hook()
{
    static TMsgBoxHook hook;
    return hook;
}
}

QMessageBox::StandardButton MsgBox(const TMsgBoxRequest& request)
{
    if (Hook())
        return Hook()(request);
    QMessageBox box(QMessageBox::NoIcon, request.Caption, request.Text, request.Buttons, request.Owner);
    return QMessageBox::StandardButton(box.exec());
}

void SetMsgBoxHook(TMsgBoxHook hook)
{
    Hook() = std::move(hook);
}
