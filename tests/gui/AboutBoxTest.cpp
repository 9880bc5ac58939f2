// The About box and its hyperlink label, offscreen: texts, Enter, and what a
// click on the link opens.

#include "desktop/Aboutdlg.h"
#include "desktop/Lxhyplink.h"
#include "desktop/Website.h"
#include "tests/support/ModalSteps.h"
#include "tests/support/UrlCatcher.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class AboutBoxTest : public testing::Test
{
protected:
    void SetUp() override { QDesktopServices::setUrlHandler(u"https"_s, &Browser, "Open"); }
    void TearDown() override { QDesktopServices::unsetUrlHandler(u"https"_s); }

    UrlCatcher Browser;
};

TEST_F(AboutBoxTest, NameVersionAndLinkInAFixedCentredFrame)
{
    TAboutBox box;
    EXPECT_EQ(box.objectName(), "AboutBox");
    EXPECT_EQ(box.windowTitle(), "About Postwatch");
    EXPECT_FALSE(box.windowIcon().isNull());
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
    EXPECT_EQ(box.size(), QSize(322, 265).expandedTo(box.minimumSizeHint()));
    EXPECT_EQ(box.ProductName->text(), u"Postwatch (tm)  Version "_s + QStringLiteral(POSTWATCH_VERSION));
    EXPECT_FALSE(box.ProgramIcon->pixmap().isNull());
    EXPECT_TRUE(box.Comments->wordWrap());
    EXPECT_EQ(box.LxHypLink1->text(), MakerWebsite);
    EXPECT_EQ(box.LxHypLink1->URL, MakerWebsite);
    EXPECT_EQ(box.OKButton->text(), "OK");
}

TEST_F(AboutBoxTest, EnterClosesItAccepted)
{
    TAboutBox box;
    OnNextModal([](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Return); });
    EXPECT_EQ(box.exec(), QDialog::Accepted);
}

TEST_F(AboutBoxTest, TheLinkOpensTheSiteOnceAndTheBoxStaysOpen)
{
    TAboutBox box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(box.LxHypLink1, Qt::LeftButton);
    EXPECT_EQ(Browser.Urls, QList<QUrl>{QUrl(MakerWebsite)});
    EXPECT_TRUE(box.isVisible());
}

class LxHypLinkTest : public AboutBoxTest
{
protected:
    void SetUp() override
    {
        AboutBoxTest::SetUp();
        Link.setText(u"Tallowfen"_s);
        Link.OnClick = [this] { OpenedBeforeOnClick << Browser.Urls.size(); };
        Link.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Link));
    }

    TLxHypLink Link;
    QList<qsizetype> OpenedBeforeOnClick;
};

TEST_F(LxHypLinkTest, ALeftClickRunsOnClickFirstThenOpensTheUrl)
{
    Link.URL = u"https://example.org/"_s;
    QTest::mouseClick(&Link, Qt::LeftButton);
    EXPECT_EQ(OpenedBeforeOnClick, QList<qsizetype>{0});
    EXPECT_EQ(Browser.Urls, QList<QUrl>{QUrl(u"https://example.org/"_s)});

    QTest::mouseClick(&Link, Qt::RightButton);
    QTest::mousePress(&Link, Qt::LeftButton);
    QTest::mouseRelease(&Link, Qt::LeftButton, {}, QPoint(-4, -4));
    EXPECT_EQ(Browser.Urls.size(), 1) << "a right click or a release outside is no click";
    EXPECT_EQ(OpenedBeforeOnClick.size(), 1);
}

TEST_F(LxHypLinkTest, AnEmptyUrlOpensNothingButStillRunsOnClick)
{
    QTest::mouseClick(&Link, Qt::LeftButton);
    EXPECT_EQ(OpenedBeforeOnClick.size(), 1);
    EXPECT_TRUE(Browser.Urls.isEmpty());
}

}

