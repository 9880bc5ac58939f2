#include "desktop/DialogFrame.h"

#include "resources/Images.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

void SetDialogFrame(QDialog& dialog, const QString& caption, QSize clientSize)
{
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
    dialog.setWindowTitle(caption);
    dialog.setWindowIcon(Images::AppIcon());
    dialog.setFixedSize(clientSize.expandedTo(dialog.minimumSizeHint()));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dialog.move(screen->availableGeometry().center() - dialog.rect().center());
}
