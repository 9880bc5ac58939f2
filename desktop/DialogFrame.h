#pragma once

#include <QSize>
#include <QString>

class QDialog;

// A dialog as the program's dialogs look: fixed border with the close and
// help buttons, a fixed client size, centred on the desktop.
void SetDialogFrame(QDialog& dialog, const QString& caption, QSize clientSize);
