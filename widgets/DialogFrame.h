#pragma once

#include <QSize>
#include <QString>

class QDialog;
class QDialogButtonBox;
class QPushButton;
class QWidget;

// A dialog as the program's dialogs look: fixed border with the close and
// help buttons, a fixed client size, centred on the desktop. Call it once the
// dialog's layout is complete: the size is the designed one, grown where the
// desktop's font needs more room, so no text is ever cut.
void SetDialogFrame(QDialog& dialog, const QString& caption, QSize clientSize);
// The designed size grown to hold the dialog's controls, wrapped text included.
QSize HoldingSize(const QWidget& dialog, QSize clientSize);

// The row of buttons under a dialog's fields: its accepting button ("OK",
// "Done"), "Cancel" and "Help", named acceptName, btnCancel and btnHelp.
struct TDialogButtons {
    QDialogButtonBox* Box;
    QPushButton* Accept;
    QPushButton* Cancel;
    QPushButton* Help;
};
// acceptOnEnter: Enter presses the accepting button wherever the focus is.
TDialogButtons CreateDialogButtons(QDialog& dialog, const QString& acceptCaption, const QString& acceptName,
                                   bool acceptOnEnter);
