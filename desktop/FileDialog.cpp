#include "desktop/FileDialog.h"

#include <QFileDialog>

namespace {
TFileDialogHook& Hook()
{
    static TFileDialogHook hook;
    return hook;
}
}

QString OpenFileName(const TFileDialogRequest& request)
{
    if (Hook())
        return Hook()(request);
    return QFileDialog::getOpenFileName(request.Owner, request.Caption, request.Directory,
                                        request.Filters.join(QStringLiteral(";;")));
}

void SetFileDialogHook(TFileDialogHook hook)
{
    Hook() = std::move(hook);
}
