#include "desktop/DialogFrame.h"

#include "resources/Images.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
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

TDialogButtons CreateDialogButtons(QDialog& dialog, const QString& acceptCaption, const QString& acceptName,
                                   bool acceptOnEnter)
{
    auto* box = new QDialogButtonBox(&dialog);
    TDialogButtons buttons{box, box->addButton(acceptCaption, QDialogButtonBox::AcceptRole),
                           box->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole),
                           box->addButton(QStringLiteral("Help"), QDialogButtonBox::HelpRole)};
    buttons.Accept->setObjectName(acceptName);
    buttons.Cancel->setObjectName(QStringLiteral("btnCancel"));
    buttons.Help->setObjectName(QStringLiteral("btnHelp"));
    for (QPushButton* button : {buttons.Accept, buttons.Cancel, buttons.Help})
        button->setAutoDefault(false);
    buttons.Accept->setDefault(acceptOnEnter);
    return buttons;
}
