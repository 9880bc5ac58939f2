#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// One file-open question as the program asks it.
struct TFileDialogRequest
{
    QString Caption;
    QString Directory; // where the dialog starts; empty for the last place
    // "Wav files (*.wav)", "All files (*)": shown in this order.
    QStringList Filters;
    QWidget* Owner = nullptr;
};

// Asks modally for an existing file; its full path, or empty when the user
// cancelled.
QString OpenFileName(const TFileDialogRequest& request);

// For tests: the hook chooses in the user's place, so no test waits on a
// modal loop. An empty hook shows the dialog again.
using TFileDialogHook = std::function<QString(const TFileDialogRequest& request)>;
void SetFileDialogHook(TFileDialogHook hook);
