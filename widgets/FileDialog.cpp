#include "widgets/FileDialog.h"

#include <QFileDialog>

namespace {
TFileDialogHook& hook()
{
    static TFileDialogHook hook;
    return hook;
}
}

QString OpenFileName(const TFileDialogRequest& request)
{
    if (hook())
        return hook()(request);
    return QFileDialog::getOpenFileName(request.Owner, request.Caption, request.Directory,
                                        request.Filters.join(QStringLiteral(";;")));
}

void SetFileDialogHook(TFileDialogHook newHook)
{
    hook() = std::move(newHook);
}
