#include "widgets/MsgBox.h"

#include "base/CleanText.h"

#include <memory>

namespace {
TMsgBoxHook& hook()
{
    static TMsgBoxHook hook;
    return hook;
}

// Texts quote what servers, providers and certificates sent: shown as
// plain text, never read as markup or links, and cleaned of what would
// reorder or hide their words.
TMsgBoxRequest cleaned(TMsgBoxRequest request)
{
    request.Text = CleanedLines(request.Text);
    request.Caption = CleanedLine(request.Caption);
    return request;
}

QMessageBox* newBox(const TMsgBoxRequest& request)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, request.Caption, request.Text, request.Buttons, request.Owner);
    box->setTextFormat(Qt::PlainText);
    return box;
}
}

QMessageBox::StandardButton MsgBox(const TMsgBoxRequest& shown)
{
    const TMsgBoxRequest request = cleaned(shown);
    if (hook())
        return hook()(request);
    const std::unique_ptr<QMessageBox> box(newBox(request));
    return QMessageBox::StandardButton(box->exec());
}

QPointer<QMessageBox> ShowMsgBox(const TMsgBoxRequest& shown)
{
    const TMsgBoxRequest request = cleaned(shown);
    if (hook()) {
        hook()(request);
        return nullptr;
    }
    QMessageBox* box = newBox(request);
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
