#pragma once

#include <QUrl>
#include <QWidget>

#include <functional>

class QAction;
class QFrame;
class QLabel;
class QTextEdit;
class QToolBar;
class QToolButton;
class Settings;

// Shows one whole message that the main window has fetched and filled in:
// its header in four labels and its body below. The window keeps nothing
// else; closing it only hides it until the next message.
class TQuickView : public QWidget
{
    Q_OBJECT

public:
    // actDelete and actLaunch are the main window's: they work on the row
    // selected in its list. Block Sender works on that row too: selectedSender
    // gives the sender text the list's own Block Sender offers (empty without
    // a row), since the blocked test needs it exactly so.
    TQuickView(Settings& settings, QAction* actDelete, QAction* actLaunch,
               std::function<QString()> selectedSender, QWidget* parent = nullptr);

    QToolBar* ToolBar1;
    QToolButton* btnReply;
    QToolButton* btnDelete;
    QToolButton* btnBlockSender;
    QToolButton* btnLaunch;
    QToolButton* btnHelp;
    QToolButton* btnClose;

    QFrame* Panel1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* lblFrom;
    QLabel* lblSubject;
    QLabel* lblAccount;
    QLabel* lblDate;

    QTextEdit* MsgText;

    // The body as plain text, however much it looks like rich text.
    void SetMsgText(const QString& text);

    void btnReplyClick();
    void btnBlockSenderClick();
    void btnHelpClick();
    void btnCloseClick();

private:
    void CreateToolBar(QAction* actDelete, QAction* actLaunch);
    QToolButton* AddButton(const QIcon& icon, const QString& name, const QString& hint,
                           void (TQuickView::*handler)());
    void CreateHeaderPanel();
    void CreateMsgText();

    Settings& Options;
    std::function<QString()> SelectedSender;
};

// The mailto URL that answers a message: to the From text, subject "RE: "
// and the subject, both percent-encoded whole.
QUrl ReplyUrl(const QString& from, const QString& subject);
