#include "dialogs/Bsdlg.h"

#include "base/Guard.h"
#include "config/Settings.h"
#include "widgets/DialogFrame.h"
#include "widgets/ErrorLabel.h"
#include "widgets/HelpViewer.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int HelpTopic = 342;
}

TBSForm::TBSForm(Settings& settings, QWidget* parent) : QDialog(parent), Options(settings)
{
    setObjectName(QStringLiteral("BSForm"));

    auto* label = new QLabel(QStringLiteral("Name of sender to block"), this);
    editSenderName = new QLineEdit(this);
    editSenderName->setObjectName(QStringLiteral("editSenderName"));
    SetHelpContext(editSenderName, 207);
    label->setBuddy(editSenderName);
    auto* note = new QLabel(
        QStringLiteral("Mail from this sender is hidden; with \"Delete blocked messages\" it is deleted on the server."),
        this);
    note->setObjectName(QStringLiteral("lblBlockedMail"));
    note->setWordWrap(true);
    lblError = new TErrorLabel(QStringLiteral("lblError"), 1, this);
    lblError->ClearOnEdit({editSenderName});

    const TDialogButtons buttons = CreateDialogButtons(*this, QStringLiteral("OK"), QStringLiteral("btnOK"), true);
    btnOK = buttons.Accept;
    btnCancel = buttons.Cancel;
    btnHelp = buttons.Help;

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(editSenderName);
    layout->addWidget(note);
    layout->addWidget(lblError);
    layout->addWidget(buttons.Box);
    SetDialogFrame(*this, QStringLiteral("Block Sender"), QSize(241, 89));

    connect(btnOK, &QPushButton::clicked, this, GuardedSlot([this] { btnOKClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp, &QPushButton::clicked, this, GuardedSlot([this] { btnHelpClick(); }));
}

// The sender text is a value name, stored exactly as typed: a blank in front
// is part of the sender text a message is matched by. Blocking it again marks
// the one entry checked again; blanks alone would look like no entry at all.
void TBSForm::btnOKClick()
{
    const QString sender = editSenderName->text();
    if (sender.trimmed().isEmpty()) {
        lblError->Refuse(editSenderName, QStringLiteral("The sender to block is empty."));
        return;
    }
    if (Options.BlockSender(sender))
        accept();
}

void TBSForm::btnHelpClick()
{
    ShowHelpContext(HelpTopic);
}
