#pragma once

#include <QSize>
#include <QString>

class QDialog;

// A dialog as the program's dialogs look: fixed border with the close and
// help buttons, a fixed client size, centred on the desktop. Call it once the
// dialog's layout is complete: the size is the designed one, grown where the
// desktop's font needs more room, so no text is ever cut.
void SetDialogFrame(QDialog& dialog, const QString& caption, QSize clientSize);
