// The help window: every topic the program asks for has its section in the
// help document, the window scrolls to it, F1 and the title-bar help pointer
// open the topic of the control at hand, and links move inside the document.

#include "widgets/HelpViewer.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <functional>
#include <gtest/gtest.h>

namespace {

QList<int> allTopics()
{
    QList<int> topics;
    for (auto [first, last] : {std::pair{101, 103}, {201, 215}, {301, 345}})
        for (int topic = first; topic <= last; ++topic)
            topics.append(topic);
    return topics;
}

QStringList captures(const QString& text, const QString& pattern)
{
    QStringList found;
    for (const QRegularExpressionMatch& match : QRegularExpression(pattern).globalMatch(text))
        found.append(match.captured(1));
    return found;
}

QTextBrowser& helpText()
{
    auto* text = THelpViewer::Instance().findChild<QTextBrowser*>(QStringLiteral("HelpText"));
    Q_ASSERT(text);
    return *text;
}

// The first fragment whose character format passes the test.
QTextCursor findFragment(const QTextDocument& document, const std::function<bool(const QTextCharFormat&)>& test)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (test(it.fragment().charFormat())) {
                QTextCursor cursor(block);
                cursor.setPosition(it.fragment().position());
                return cursor;
            }
    return {};
}

QTextCursor anchorCursor(const QString& name)
{
    return findFragment(*helpText().document(),
                        [&name](const QTextCharFormat& format) { return format.anchorNames().contains(name); });
}

// The anchor's heading is in view, at the top unless the document ends first.
void expectSectionShown(const QString& anchor)
{
    SCOPED_TRACE(anchor.toStdString());
    QTextBrowser& text = helpText();
    const QTextCursor cursor = anchorCursor(anchor);
    ASSERT_FALSE(cursor.isNull());
    EXPECT_GT(cursor.block().blockFormat().headingLevel(), 0);
    const QRect heading = text.cursorRect(cursor);
    EXPECT_TRUE(text.viewport()->rect().contains(heading));
    const QScrollBar* bar = text.verticalScrollBar();
    EXPECT_TRUE(heading.top() < heading.height() || bar->value() == bar->maximum()) << heading.top();
}

// A click on the link through the window system, where modal dialogs block input.
void clickLink(const QString& href)
{
    QTextBrowser& text = helpText();
    QTextCursor link = findFragment(*text.document(),
                                    [&href](const QTextCharFormat& format) { return format.anchorHref() == href; });
    ASSERT_FALSE(link.isNull()) << href.toStdString();
    link.movePosition(QTextCursor::NextCharacter);
    QWidget* window = text.window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                      text.viewport()->mapTo(window, text.cursorRect(link).center()));
}

class HelpViewerTest : public testing::Test
{
protected:
    THelpViewer& viewer = THelpViewer::Instance();
};

TEST_F(HelpViewerTest, EveryTopicHasASectionThatTheContentsLinks)
{
    QFile file(QStringLiteral(":/help/POSTWATCH20.HLP"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString document = QString::fromUtf8(file.readAll());
    const QStringList anchors = captures(document, QStringLiteral(R"re(<a name="(\w+)")re"));
    const QStringList links = captures(document, QStringLiteral(R"re(href="#(\w+)")re"));

    EXPECT_TRUE(document.indexOf(QStringLiteral(R"re(name="contents")re")) < document.indexOf(QStringLiteral("<h2")));
    for (int topic : allTopics()) {
        EXPECT_EQ(anchors.count(QString::number(topic)), 1) << topic;
        EXPECT_TRUE(links.contains(QString::number(topic))) << topic;
    }
    for (const QString& link : links)
        EXPECT_TRUE(anchors.contains(link)) << "broken link to #" << link.toStdString();
}

TEST_F(HelpViewerTest, ShowTopicShowsTheWindowAtTheSection)
{
    for (int topic : allTopics()) {
        viewer.ShowTopic(topic);
        EXPECT_EQ(viewer.CurrentTopic(), topic);
        expectSectionShown(QString::number(topic));
    }
    EXPECT_TRUE(viewer.isWindow());
    EXPECT_TRUE(viewer.isVisible());
    EXPECT_EQ(viewer.windowTitle(), "Postwatch Help");
}

TEST_F(HelpViewerTest, EscapeClosesTheWindow)
{
    viewer.ShowTopic(101);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&viewer));
    QTest::keyClick(&helpText(), Qt::Key_Escape);
    EXPECT_FALSE(viewer.isVisible());
}

TEST_F(HelpViewerTest, ATopicWithoutASectionShowsTheContents)
{
    for (int topic : {999, 104, HelpContents}) {
        viewer.ShowTopic(345);
        viewer.ShowTopic(topic);
        EXPECT_EQ(viewer.CurrentTopic(), HelpContents) << topic;
        expectSectionShown(QStringLiteral("contents"));
    }
    viewer.ShowTopic(345);
    ShowHelpContents();
    EXPECT_EQ(viewer.CurrentTopic(), HelpContents);
}

TEST_F(HelpViewerTest, F1AndTheHelpPointerOpenTheTopicOfTheControlAtHand)
{
    InstallHelpKey(*qApp);
    QWidget dialog;
    SetHelpContext(&dialog, 342);
    auto* plain = new QLineEdit(&dialog);
    auto* own = new QLineEdit(&dialog);
    SetHelpContext(own, 207);
    // A window's own F1 shortcut must not take the key from context help.
    auto* helpContents = new QAction(&dialog);
    helpContents->setShortcut(Qt::Key_F1);
    dialog.addAction(helpContents);
    int shortcutRuns = 0;
    QObject::connect(helpContents, &QAction::triggered, [&shortcutRuns] { ++shortcutRuns; });
    QWidget without;
    auto* field = new QLineEdit(&without);

    EXPECT_EQ(HelpContext(plain), 342);
    EXPECT_EQ(HelpContext(own), 207);
    EXPECT_EQ(HelpContext(field), 0);

    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    for (auto [control, topic] : {std::pair{plain, 342}, {own, 207}}) {
        viewer.ShowTopic(101);
        control->setFocus();
        QTest::keyClick(control, Qt::Key_F1);
        EXPECT_EQ(viewer.CurrentTopic(), topic);
        expectSectionShown(QString::number(topic));
    }
    EXPECT_EQ(shortcutRuns, 0);

    viewer.ShowTopic(101);
    QTest::keyClick(field, Qt::Key_F1);
    EXPECT_EQ(viewer.CurrentTopic(), HelpContents);

    viewer.ShowTopic(101);
    QHelpEvent whatsThis(QEvent::WhatsThis, QPoint(1, 1), plain->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(plain, &whatsThis);
    EXPECT_EQ(viewer.CurrentTopic(), 342);
}

TEST_F(HelpViewerTest, LinksMoveInsideTheDocumentAndBackReturns)
{
    viewer.ShowTopic(HelpContents);
    clickLink(QStringLiteral("#302"));
    EXPECT_EQ(viewer.CurrentTopic(), 302);
    expectSectionShown(QStringLiteral("302"));

    auto* back = viewer.findChild<QAction*>(QStringLiteral("actBack"));
    auto* forward = viewer.findChild<QAction*>(QStringLiteral("actForward"));
    ASSERT_TRUE(back && forward);
    ASSERT_TRUE(back->isEnabled());
    back->trigger();
    EXPECT_EQ(viewer.CurrentTopic(), HelpContents);
    ASSERT_TRUE(forward->isEnabled());
    forward->trigger();
    EXPECT_EQ(viewer.CurrentTopic(), 302);
    expectSectionShown(QStringLiteral("302"));

    auto* contents = viewer.findChild<QAction*>(QStringLiteral("actContents"));
    ASSERT_TRUE(contents);
    contents->trigger();
    EXPECT_EQ(viewer.CurrentTopic(), HelpContents);
    expectSectionShown(QStringLiteral("contents"));
}

TEST_F(HelpViewerTest, HelpOpenedFromAModalDialogTakesClicks)
{
    QDialog dialog;
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    viewer.ShowTopic(HelpContents);
    clickLink(QStringLiteral("#305"));
    EXPECT_EQ(viewer.CurrentTopic(), 305);
}

}
