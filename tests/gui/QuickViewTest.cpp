// The quick view, offscreen: its layout, the plain message text, the reply
// URL handed to the mail program, and the block-sender dialog it opens.

#include "viewer/Quickviewdlg.h"
#include "viewer/HtmlText.h"

#include "config/RegistryStore.h"
#include "config/Settings.h"
#include "dialogs/Bsdlg.h"
#include "resources/Images.h"
#include "tests/support/ModalSteps.h"
#include "tests/support/UrlCatcher.h"
#include "widgets/HelpViewer.h"
#include "widgets/MsgBox.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QUrlQuery>
#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

class QuickViewTest : public testing::Test
{
protected:
    void SetUp() override
    {
        savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        savedDataHome = qgetenv("XDG_DATA_HOME");
        savedDataDirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_CONFIG_HOME", Home.path().toUtf8());
        // The desktop has one mail program, and only this one.
        qputenv("XDG_DATA_HOME", Home.filePath(u"data"_s).toUtf8());
        qputenv("XDG_DATA_DIRS", Home.filePath(u"none"_s).toUtf8());
        QDir().mkpath(Home.filePath(u"data/applications"_s));
        QFile entry(Home.filePath(u"data/applications/mail.desktop"_s));
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Mail\nExec=mail %u\nMimeType=x-scheme-handler/mailto;\n");
        actDelete.setToolTip(u"Delete Message"_s);
        actLaunch.setToolTip(u"Launch Email Client"_s);
        View = std::make_unique<TQuickView>(Options, &actDelete, &actLaunch, [this] { return SelectedSender; });
        QDesktopServices::setUrlHandler(u"mailto"_s, &Mail, "Open");
    }

    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler(u"mailto"_s);
        View.reset();
        qputenv("XDG_CONFIG_HOME", savedConfigHome);
        qputenv("XDG_DATA_HOME", savedDataHome);
        qputenv("XDG_DATA_DIRS", savedDataDirs);
    }

    void Show()
    {
        View->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(View.get()));
    }

    // The one URL a click on Reply opened.
    QUrl Reply(const QString& from, const QString& subject)
    {
        Mail.Urls.clear();
        View->lblFrom->setText(from);
        View->lblSubject->setText(subject);
        QTest::mouseClick(View->btnReply, Qt::LeftButton);
        EXPECT_EQ(Mail.Urls.size(), 1) << from.toStdString();
        return Mail.Urls.value(0);
    }

    QTemporaryDir Home;
    QByteArray savedConfigHome;
    QByteArray savedDataHome;
    QByteArray savedDataDirs;
    MemoryStore Store;
    Settings Options{Store};
    QAction actDelete{Images::TBImgs(2), u"&Delete"_s};
    QAction actLaunch{Images::TBImgs(6), u"&Launch Client"_s};
    QString SelectedSender;
    std::unique_ptr<TQuickView> View;
    UrlCatcher Mail;
};

TEST_F(QuickViewTest, ACentredResizableWindowWithHeaderAndPlaceholderText)
{
    EXPECT_EQ(View->objectName(), "QuickView");
    EXPECT_EQ(View->windowTitle(), "QuickView");
    EXPECT_TRUE(View->isWindow());
    EXPECT_EQ(View->windowModality(), Qt::NonModal);
    EXPECT_LT(View->minimumSize().width(), View->maximumSize().width()) << "resizable";
    EXPECT_EQ(View->size(), QSize(495, 316).expandedTo(View->minimumSizeHint()));
    EXPECT_EQ(View->geometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
    Show();

    QStringList captions;
    for (QLabel* label : {View->Label1, View->Label2, View->Label3, View->Label4}) {
        captions << label->objectName() + ":" + label->text();
        EXPECT_TRUE(label->font().bold()) << label->objectName().toStdString();
    }
    EXPECT_EQ(captions, (QStringList{"Label1:From:", "Label2:Subject:", "Label3:Account:", "Label4:Recieved:"}));
    auto left = [](QWidget* w) { return w->geometry().left(); };
    auto top = [](QWidget* w) { return w->geometry().top(); };
    EXPECT_LT(View->lblFrom->geometry().right(), left(View->Label3)) << "From on the left, Account on the right";
    EXPECT_LT(View->lblSubject->geometry().right(), left(View->Label4));
    EXPECT_EQ(top(View->Label1), top(View->Label3));
    EXPECT_LT(top(View->Label1), top(View->Label2));
    EXPECT_EQ(top(View->Label2), top(View->Label4));
    EXPECT_LT(View->ToolBar1->geometry().bottom(), top(View->Panel1));
    EXPECT_LT(View->Panel1->geometry().bottom(), top(View->MsgText));

    EXPECT_EQ(View->MsgText->toPlainText(), "Msg\nText");
}

TEST_F(QuickViewTest, ToolbarButtonsInOrderWithHintsAndCommands)
{
    QStringList order;
    for (QAction* action : View->ToolBar1->actions()) {
        if (action->isSeparator()) {
            order << action->objectName();
            continue;
        }
        const QWidget* button = View->ToolBar1->widgetForAction(action);
        order << button->objectName() + ":" + button->toolTip();
    }
    EXPECT_EQ(order, (QStringList{"btnReply:Reply", "btnDelete:Delete Message", "btnBlockSender:Block Sender",
                                  "ToolButton6", "btnLaunch:Launch Email Client", "btnHelp:Help", "btnClose:Close"}));
    for (QToolButton* button :
         {View->btnReply, View->btnDelete, View->btnBlockSender, View->btnLaunch, View->btnHelp, View->btnClose})
        EXPECT_FALSE(button->icon().isNull()) << button->objectName().toStdString();

    Show();
    int deletes = 0;
    int launches = 0;
    QObject::connect(&actDelete, &QAction::triggered, [&] { ++deletes; });
    QObject::connect(&actLaunch, &QAction::triggered, [&] { ++launches; });
    QTest::mouseClick(View->btnDelete, Qt::LeftButton);
    QTest::mouseClick(View->btnLaunch, Qt::LeftButton);
    EXPECT_EQ(deletes, 1);
    EXPECT_EQ(launches, 1);
    EXPECT_TRUE(View->isVisible()) << "Delete neither closes nor clears the view";

    QTest::mouseClick(View->btnHelp, Qt::LeftButton);
    EXPECT_EQ(THelpViewer::Instance().CurrentTopic(), 345);
    THelpViewer::Instance().hide();
    EXPECT_EQ(HelpContext(View->MsgText), 345);
}

TEST_F(QuickViewTest, LongHeaderValuesAreClippedWithoutWideningTheWindow)
{
    Show();
    const QSize designed = View->size();
    const QString longText = u"A very long header value "_s.repeated(12);
    for (QLabel* value : {View->lblFrom, View->lblSubject, View->lblAccount, View->lblDate})
        value->setText(longText);
    QApplication::processEvents();
    EXPECT_EQ(View->size(), designed);
    EXPECT_EQ(View->lblFrom->width(), 177);
    EXPECT_EQ(View->lblSubject->width(), 166);
    EXPECT_EQ(View->lblAccount->width(), 185);
    EXPECT_EQ(View->lblDate->width(), 185);
}

TEST_F(QuickViewTest, MessageTextStaysPlainTextLineForLine)
{
    View->SetMsgText(u"<b>x</b> &amp; <i>y</i>\r\nsecond line\r\n"_s);
    EXPECT_EQ(View->MsgText->toPlainText(), "<b>x</b> &amp; <i>y</i>\nsecond line\n");
}

// An HTML message shows as its text alone: no picture it names, here a real
// one on this computer, is drawn or loaded.
TEST_F(QuickViewTest, HtmlShowsAsItsTextWithoutLoadingWhatItNames)
{
    const QString picture = Home.filePath(u"tracker.png"_s);
    ASSERT_TRUE(Images::AppIcon().pixmap(16).save(picture));
    const QString html = u"<html><body><h1>Hello</h1><p>A &amp; B<br>next<img src=\"%1\">"
                         "<img src=\"http://127.0.0.1:9/t.png\"></p><script>x()</script></body></html>"_s.arg(picture);
    View->SetMsgText(HtmlText(html));
    Show();
    View->MsgText->viewport()->repaint();
    EXPECT_EQ(View->MsgText->toPlainText(), "Hello\nA & B\nnext\n");
    for (QTextBlock block = View->MsgText->document()->begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            EXPECT_FALSE(fragment.fragment().charFormat().isImageFormat());
}

TEST_F(QuickViewTest, CloseButtonCloseBoxAndEscapeOnlyHide)
{
    Show();
    QTest::mouseClick(View->btnClose, Qt::LeftButton);
    EXPECT_FALSE(View->isVisible());
    Show();
    EXPECT_TRUE(View->close());
    EXPECT_FALSE(View->isVisible());
    Show();
    View->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(View.get()));
    QTest::keyClick(View->MsgText, Qt::Key_Escape);
    EXPECT_FALSE(View->isVisible());
    EXPECT_FALSE(View->testAttribute(Qt::WA_DeleteOnClose));
}

// Whatever the two texts hold, the mail program gets exactly one recipient
// text and one subject.
TEST_F(QuickViewTest, ReplyOpensAMailtoUrlWithTheWholeSenderAndSubject)
{
    Show();
    const struct {
        const char* From;
        const char* Subject;
        const char* ReplySubject;
    } cases[] = {
        {"\"Ann Example\" <ann@example.org>", "Lunch on Friday", "RE: Lunch on Friday"},
        {" Ann Example <ann@example.org>", "", "RE: "},
        {"ann@example.org", "x&cc=someone@example.org", "RE: x&cc=someone@example.org"},
        {"ann@example.org?subject=forged", "50% off? #1 +2", "RE: 50% off? #1 +2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.From);
        const QUrl url = Reply(QString::fromUtf8(c.From), QString::fromUtf8(c.Subject));
        EXPECT_EQ(url.scheme(), "mailto");
        EXPECT_EQ(url.path(QUrl::FullyDecoded), c.From);
        const QList<std::pair<QString, QString>> query{{u"subject"_s, QString::fromUtf8(c.ReplySubject)}};
        EXPECT_EQ(QUrlQuery(url).queryItems(QUrl::FullyDecoded), query);
        EXPECT_FALSE(url.hasFragment());
        EXPECT_TRUE(QUrl::fromEncoded(url.toEncoded(), QUrl::StrictMode).isValid()) << url.toEncoded().data();
    }

    Mail.Urls.clear();
    View->lblFrom->clear();
    View->lblSubject->setText(u"Lunch"_s);
    QTest::mouseClick(View->btnReply, Qt::LeftButton);
    EXPECT_TRUE(Mail.Urls.isEmpty()) << "no sender, no reply";
}

// Where nothing opens mailto links, Reply says how to set a program up
// instead of handing the link to nobody.
TEST_F(QuickViewTest, ReplyWithoutAMailProgramSaysHowToSetOneUp)
{
    ASSERT_TRUE(QFile::remove(Home.filePath(u"data/applications/mail.desktop"_s)));
    Show();
    View->lblFrom->setText(u"ann@example.org"_s);
    QStringList boxes;
    SetMsgBoxHook([&](const TMsgBoxRequest& box) {
        boxes << box.Caption + " | " + box.Text;
        return QMessageBox::Ok;
    });
    const auto unhook = qScopeGuard([] { SetMsgBoxHook({}); });
    QTest::mouseClick(View->btnReply, Qt::LeftButton);
    EXPECT_TRUE(Mail.Urls.isEmpty());
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith("Reply | No mail program is set up for mailto links.")) << boxes[0].toStdString();
}

TEST_F(QuickViewTest, BlockSenderOffersTheSelectedRowsSenderAsTheListDoesInItsOwnDialog)
{
    Show();
    View->lblFrom->setText(u"Spam <spam@example.com>"_s);
    SelectedSender = u" Spam <spam@example.com>"_s;
    QString offered;
    QWidget* owner = nullptr;
    OnNextModal([&](QDialog& dialog) {
        offered = dialog.findChild<QLineEdit*>(u"editSenderName"_s)->text();
        owner = dialog.parentWidget();
        dialog.findChild<QPushButton*>(u"btnCancel"_s)->click();
    });
    QTest::mouseClick(View->btnBlockSender, Qt::LeftButton);
    EXPECT_EQ(offered, " Spam <spam@example.com>") << "the blank after From: kept";
    EXPECT_EQ(owner, View.get());
    EXPECT_TRUE(View->findChildren<TBSForm*>().isEmpty()) << "destroyed after use";
}

}

