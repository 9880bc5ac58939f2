#include "widgets/DialogFrame.h"

#include "resources/Images.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>

// A wrapped line needs more height the narrower it is, which the minimum
// size hint does not say.
QSize HoldingSize(const QWidget& dialog, QSize clientSize)
{
    QSize size = clientSize.expandedTo(dialog.minimumSizeHint());
    if (const QLayout* layout = dialog.layout(); layout && layout->hasHeightForWidth())
        size.setHeight(qMax(size.height(), layout->totalHeightForWidth(size.width())));
    return size;
}

void SetDialogFrame(QDialog& dialog, const QString& caption, QSize clientSize)
{
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
    dialog.setWindowTitle(caption);
    dialog.setWindowIcon(Images::AppIcon());
    dialog.setFixedSize(HoldingSize(dialog, clientSize));
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
