#include "desktop/MsgBox.h"

namespace {
TMsgBoxHook& hook()
{
    static TMsgBoxHook hook;
    return hook;
}
}

QMessageBox::StandardButton MsgBox(const TMsgBoxRequest& request)
{
    if (hook())
        return hook()(request);
    QMessageBox box(QMessageBox::NoIcon, request.Caption, request.Text, request.Buttons, request.Owner);
    // Texts quote what servers and certificates sent: shown, never read as markup or links.
    box.setTextFormat(Qt::PlainText);
    return QMessageBox::StandardButton(box.exec());
}

QPointer<QMessageBox> ShowMsgBox(const TMsgBoxRequest& request)
{
    if (hook()) {
        hook()(request);
        return nullptr;
    }
    auto* box = new QMessageBox(QMessageBox::NoIcon, request.Caption, request.Text, request.Buttons, request.Owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (request.Owner)
        box->open();
    else
        box->show();
    return box;
}

void SetMsgBoxHook(TMsgBoxHook newHook)
{
    hook() = std::move(newHook);
}
