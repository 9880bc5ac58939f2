#pragma once

#include <QSet>
#include <QWidget>

class QApplication;
class QTextBrowser;
class QToolBar;

// The help window: one per program, made on first use, showing the help
// document at a topic.
class THelpViewer : public QWidget // a top-level window, objectName "HelpViewer", caption "Postwatch Help"
{
    Q_OBJECT

public:
    static THelpViewer& Instance();

    // Scrolls to the topic's section; a topic without a section shows the
    // contents. Then shows, raises and activates the window.
    void ShowTopic(int topic);
    // The topic shown last; HelpContents (0) for the contents.
    int CurrentTopic() const;

private:
    THelpViewer();
    QToolBar* CreateToolBar();
    void Open(const QString& anchor);
    void FollowModalDialog();

    QTextBrowser* HelpText;
    QSet<int> Topics; // the topic numbers that have a section
};

inline constexpr int HelpContents = 0; // the contents page (what WinHelp calls HELP_FINDER)

void ShowHelpContext(int topic); // THelpViewer::Instance().ShowTopic(topic)
void ShowHelpContents();

// The topic F1 opens while the widget or one of its children has the focus.
void SetHelpContext(QWidget* widget, int topic);
// The widget's own or its nearest ancestor's; 0 when none.
int HelpContext(const QWidget* widget);

// An application-wide filter: F1 opens the focus widget's help context
// (contents when it has none); a QEvent::WhatsThis on a widget with a context
// opens it as well.
void InstallHelpKey(QApplication& app);
