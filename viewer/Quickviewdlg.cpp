#include "viewer/Quickviewdlg.h"

#include "base/Guard.h"
#include "dialogs/Bsdlg.h"
#include "platform/MailPrograms.h"
#include "resources/Images.h"
#include "widgets/HelpViewer.h"
#include "widgets/MsgBox.h"
#include "widgets/ToolButton.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QShortcut>
#include <QTextEdit>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

constexpr int HelpTopic = 345;
constexpr QSize InitialSize(495, 316);
constexpr QSize ButtonImageSize(16, 16);
// Narrow gaps in the header, so that the captions and the values at their
// designed widths fit the window's designed width; the wider one keeps a
// clipped From or Subject apart from the caption beside it.
constexpr int CaptionGap = 3;
constexpr int HalvesGap = 6;

// The toolbar images (Images::TBImgs) of the buttons not bound to an action.
constexpr int BlockSenderImage = 10;
constexpr int HelpImage = 7;
constexpr int CloseImage = 8;

// The values come from the message: a From such as "<b>" shows as typed.
QLabel* newLabel(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* newCaption(const QString& name, const QString& text, QWidget* parent)
{
    QLabel* label = newLabel(name, text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

// A header value: a fixed width that a long text is cut at rather than
// widening the window.
QLabel* newValue(const QString& name, int width, QWidget* parent)
{
    QLabel* label = newLabel(name, QString(), parent);
    label->setFixedWidth(width);
    return label;
}

// Two rows of the header, each a caption and its value; the values end at
// the half's right edge.
QVBoxLayout* headerHalf(QLabel* caption1, QLabel* value1, QLabel* caption2, QLabel* value2)
{
    auto* half = new QVBoxLayout;
    half->setSpacing(2);
    for (auto [caption, value] : {std::pair{caption1, value1}, {caption2, value2}}) {
        auto* row = new QHBoxLayout;
        row->setSpacing(CaptionGap);
        row->addWidget(caption);
        row->addStretch();
        row->addWidget(value);
        half->addLayout(row);
    }
    return half;
}

}

TQuickView::TQuickView(Settings& settings, QAction* actDelete, QAction* actLaunch,
                       std::function<QString()> selectedSender, QWidget* parent)
    : QWidget(parent, Qt::Window), Options(settings), SelectedSender(std::move(selectedSender))
{
    setObjectName(QStringLiteral("QuickView"));
    setWindowTitle(QStringLiteral("QuickView"));
    setWindowIcon(Images::AppIcon());
    SetHelpContext(this, HelpTopic);

    CreateToolBar(actDelete, actLaunch);
    CreateHeaderPanel();
    CreateMsgText();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addWidget(Panel1);
    layout->addWidget(MsgText, 1);
    new QShortcut(QKeySequence::Cancel, this, this, GuardedSlot([this] { btnCloseClick(); }));

    resize(InitialSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TQuickView::CreateToolBar(QAction* actDelete, QAction* actLaunch)
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setIconSize(ButtonImageSize);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);

    auto bound = [this](QAction* action, const char* name) {
        auto* button = new TToolButton(action, QLatin1String(name), QString(), ToolBar1);
        button->setIconSize(ButtonImageSize);
        ToolBar1->addWidget(button);
        return button;
    };
    btnReply = AddButton(Images::ReplyIcon(), QStringLiteral("btnReply"), QStringLiteral("Reply"),
                         &TQuickView::btnReplyClick);
    btnDelete = bound(actDelete, "btnDelete");
    btnBlockSender = AddButton(Images::TBImgs(BlockSenderImage), QStringLiteral("btnBlockSender"),
                               QStringLiteral("Block Sender"), &TQuickView::btnBlockSenderClick);
    ToolBar1->addSeparator()->setObjectName(QStringLiteral("ToolButton6"));
    btnLaunch = bound(actLaunch, "btnLaunch");
    btnHelp = AddButton(Images::TBImgs(HelpImage), QStringLiteral("btnHelp"), QStringLiteral("Help"),
                        &TQuickView::btnHelpClick);
    btnClose = AddButton(Images::TBImgs(CloseImage), QStringLiteral("btnClose"), QStringLiteral("Close"),
                         &TQuickView::btnCloseClick);
}

QToolButton* TQuickView::AddButton(const QIcon& icon, const QString& name, const QString& hint,
                                   void (TQuickView::*handler)())
{
    auto* button = new QToolButton(ToolBar1);
    button->setObjectName(name);
    button->setIcon(icon);
    button->setIconSize(ButtonImageSize);
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, GuardedSlot([this, handler] { (this->*handler)(); }));
    ToolBar1->addWidget(button);
    return button;
}

void TQuickView::CreateHeaderPanel()
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    Label1 = newCaption(QStringLiteral("Label1"), QStringLiteral("From:"), Panel1);
    Label2 = newCaption(QStringLiteral("Label2"), QStringLiteral("Subject:"), Panel1);
    Label3 = newCaption(QStringLiteral("Label3"), QStringLiteral("Account:"), Panel1);
    Label4 = newCaption(QStringLiteral("Label4"), QStringLiteral("Recieved:"), Panel1);
    lblFrom = newValue(QStringLiteral("lblFrom"), 177, Panel1);
    lblSubject = newValue(QStringLiteral("lblSubject"), 166, Panel1);
    lblAccount = newValue(QStringLiteral("lblAccount"), 185, Panel1);
    lblDate = newValue(QStringLiteral("lblDate"), 185, Panel1);

    auto* layout = new QHBoxLayout(Panel1);
    layout->setContentsMargins(CaptionGap, 2, CaptionGap, 2);
    layout->setSpacing(HalvesGap);
    layout->addLayout(headerHalf(Label1, lblFrom, Label2, lblSubject));
    layout->addLayout(headerHalf(Label3, lblAccount, Label4, lblDate));
    layout->addStretch();
}

void TQuickView::CreateMsgText()
{
    MsgText = new QTextEdit(this);
    MsgText->setObjectName(QStringLiteral("MsgText"));
    MsgText->setAcceptRichText(false);
    MsgText->setLineWrapMode(QTextEdit::WidgetWidth);
    MsgText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MsgText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MsgText->setPlainText(QStringLiteral("Msg\nText"));
}

void TQuickView::SetMsgText(const QString& text)
{
    MsgText->setPlainText(text);
}

// Without a mailto handler the desktop would drop the link without a word.
void TQuickView::btnReplyClick()
{
    if (lblFrom->text().isEmpty())
        return;
    if (MailPrograms::Find(XdgFolders::FromEnvironment()).Programs.isEmpty()
        || !QDesktopServices::openUrl(ReplyUrl(lblFrom->text(), lblSubject->text())))
        MsgBox({NoMailProgramText(), QStringLiteral("Reply"), this, QMessageBox::Ok});
}

// A check since the view may have emptied the list: then there is no row
// whose sender the list would block.
void TQuickView::btnBlockSenderClick()
{
    const QString sender = SelectedSender();
    if (sender.isEmpty()) {
        QApplication::beep();
        return;
    }
    TBSForm form(Options, this);
    form.editSenderName->setText(sender);
    form.exec();
}

void TQuickView::btnHelpClick()
{
    ShowHelpContext(HelpTopic);
}

void TQuickView::btnCloseClick()
{
    close();
}

// Only unreserved characters and "@" stay as they are, so neither text can
// end the address or the subject early or add a header field of its own.
QUrl ReplyUrl(const QString& from, const QString& subject)
{
    const auto encoded = [](const QString& text) { return QUrl::toPercentEncoding(text, "@"); };
    return QUrl::fromEncoded("mailto:" + encoded(from) + "?subject=" + encoded(QStringLiteral("RE: ") + subject),
                             QUrl::StrictMode);
}
