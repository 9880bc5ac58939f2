// The message list: header lookups, the filters, and the rows as a model.

#include "engine/FailureLog.h"
#include "engine/MessageFields.h"
#include "engine/Listing.h"
#include "engine/MessageList.h"
#include "engine/RowFormat.h"
#include "config/RegistryStore.h"
#include "config/Settings.h"
#include "tests/support/TestAccounts.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTextStream>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(HeaderLookup, DateToAndPriorityFromTheirLines)
{
    const TExStringList header{"Date: Mon, 4 Dec 2000 10:00:00 +0100", "To: Bob", "X-Priority: 2", "."};
    EXPECT_EQ(HeaderFields(header).Date, "Mon, 4 Dec 2000 10:00:00 +0100");
    EXPECT_EQ(HeaderFields(header).To, "Bob");
    EXPECT_EQ(HeaderFields(header).Priority, "High");
    EXPECT_EQ(HeaderFields({u"Date: Mon\x1b]0;owned\x07,\t4 Dec\r2000\u2028x\u202e"_s}).Date, "Mon ]0;owned , 4 Dec 2000 x")
        << "shown, so cleaned as From and Subject are";
}

TEST(HeaderLookup, TheFirstLineContainingTheNameAnywhereCountsFromItsStart)
{
    EXPECT_EQ(HeaderFields({"Reply-To: Carol", "To: Bob"}).To, "y-To: Carol");
    EXPECT_EQ(HeaderFields({"X-Date: yesterday"}).Date, ": yesterday");
}

TEST(HeaderLookup, AFieldNameInAnyCaseButNotAWordInAnotherField)
{
    const TExStringList header{"Subject: meet me today", "date: today", "to: bob", "x-priority: 1"};
    EXPECT_EQ(HeaderFields(header).To, "bob");
    EXPECT_EQ(HeaderFields(header).Date, "today");
    EXPECT_EQ(HeaderFields(header).Priority, "High");
    EXPECT_EQ(HeaderFields({"Subject: hi", "\tto: all", "To: Bob"}).To, "Bob") << "a continuation line is no field";
}

TEST(HeaderLookup, MissingHeadersGiveTheDefaults)
{
    const TExStringList header{"From: Ann", "."};
    EXPECT_EQ(HeaderFields(header).Date, "");
    EXPECT_EQ(HeaderFields(header).To, "");
    EXPECT_EQ(HeaderFields(header).Priority, "Normal");
}

TEST(HeaderLookup, PriorityByTheFirstDigit)
{
    const struct {
        const char* line;
        const char* priority;
    } cases[] = {
        {"X-Priority: 1 (Highest)", "High"}, {"X-Priority: 2", "High"},
        {"X-Priority: 3", "Normal"},         {"X-Priority: 3 (Normal)", "Normal"},
        {"X-Priority: 4", "Low"},            {"X-Priority: 5 (Lowest)", "Low"},
        {"X-Priority: 0", "High"},           {"X-Priority: 9", "Low"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HeaderFields({c.line}).Priority, c.priority) << c.line;
}

TEST(HeaderLookup, PriorityWithoutADigitIsNormal)
{
    for (const char* line : {"X-Priority: High", "X-Priority: urgent", "X-Priority:", "X-Priority: ", "X-Priority",
                             "X-Priority:  1", "X-Priority: \xd9\xa1"})
        EXPECT_EQ(HeaderFields({QString::fromUtf8(line)}).Priority, "Normal") << line;
}

// Files written before keep the hex of the header lines' SHA-256, and
// still name the same messages.
TEST(HeaderDigest, HexAsFilesHoldItAndBack)
{
    const THeaderDigest digest = HeaderDigest({"From: a", "Subject: b", "", "body"});
    const QByteArray hex = QCryptographicHash::hash("From: a\nSubject: b", QCryptographicHash::Sha256).toHex();
    EXPECT_EQ(DigestHex(digest), hex);
    EXPECT_EQ(DigestFromHex(hex), digest);
    EXPECT_EQ(DigestFromHex("not a digest"), THeaderDigest{});
    EXPECT_EQ(DigestFromHex(hex.left(62)), THeaderDigest{});
}

TEST(RowFormat, TheSenderByItsNameOrElseItsAddress)
{
    const struct {
        const char* from;
        const char* shown;
    } cases[] = {
        {" Ann Example <ann@example.org>", "Ann Example"},
        {"\"Smith, Ann \\\"Sales\\\"\" <ann@example.org>", "Smith, Ann \"Sales\""},
        {" <ann@example.org>", "ann@example.org"},
        {"\"\" <ann@example.org>", "ann@example.org"},
        {" ann@example.org", "ann@example.org"},
        {" Ann <>", "Ann"},
        {" <>", "<>"},
        {" Ann <ann@example.org> (work)", "Ann <ann@example.org> (work)"},
        {" ", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SenderName(QString::fromUtf8(c.from)), QString::fromUtf8(c.shown)) << c.from;
}

TEST(RowFormat, SizesWithAUnit)
{
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(SizeText(0), "0 bytes");
    EXPECT_EQ(SizeText(1), "1 byte");
    EXPECT_EQ(SizeText(1023), "1023 bytes");
    EXPECT_EQ(SizeText(1024), "1 KB");
    EXPECT_EQ(SizeText(4300), "4 KB");
    EXPECT_EQ(SizeText(1024 * 1024 - 1), "1024 KB");
    EXPECT_EQ(SizeText(1536 * 1024), "1.5 MB");
    QLocale::setDefault(QLocale::system());
}

TEST(RowFormat, DatesOrderByTimeAndUnreadableOnesFirst)
{
    const qint64 berlin = DateOrder(" Mon, 1 Dec 2025 09:30:00 +0100");
    EXPECT_EQ(berlin, DateOrder("1 Dec 2025 08:30:00 +0000 (UTC)"));
    EXPECT_EQ(berlin, DateOrder("Mon, 1 Dec 2025 08:30:00 GMT"));
    EXPECT_EQ(berlin, DateOrder("Mon, 01 Dec 2025 03:30:00 -0500 (EST)"));
    EXPECT_LT(DateOrder("Sun, 30 Nov 2025 23:59:59 +0000"), berlin);
    EXPECT_LT(DateOrder("yesterday"), DateOrder("Thu, 1 Jan 1970 00:00:00 +0000"));
    EXPECT_EQ(DateOrder(""), DateOrder("yesterday"));
}

TEST(MessageListRows, ColumnsOrderByTimeNumberAndRankNotByText)
{
    MemoryStore store;
    Settings settings{store};
    TMessageList list{settings};
    list.AddSummary({" s", " Ann", QString(), 900, {"Date: Tue, 2 Dec 2025 10:00:00 +0000", "X-Priority: 1", "."}},
                    "Home", 1);
    list.AddSummary({" s", " Bea", QString(), 10240, {"Date: Mon, 1 Dec 2025 10:00:00 +0000", "X-Priority: 5", "."}},
                    "Home", 2);
    const auto key = [&](int row, int column) { return list.data(list.index(row, column), TMessageList::SortRole); };
    EXPECT_LT(key(0, TMessageList::colSize).toLongLong(), key(1, TMessageList::colSize).toLongLong());
    EXPECT_GT(key(0, TMessageList::colReceived).toLongLong(), key(1, TMessageList::colReceived).toLongLong());
    EXPECT_GT(key(0, TMessageList::colPriority).toInt(), key(1, TMessageList::colPriority).toInt());
    EXPECT_EQ(key(1, TMessageList::colFrom).toString(), "Bea");
}

class MessageListTest : public testing::Test
{
protected:
    void SetUp() override
    {
        settings.FillLists();
        settings.LoadSettings();
    }

    void Block(const QString& sender)
    {
        StoreBlockedSender(store, sender);
        settings.FillLists();
    }

    static TSummary Summary(const QString& from, const QString& subject, qint64 bytes = 10,
                            const TExStringList& header = {"To: Bob", "Date: today", "X-Priority: 5"})
    {
        return {subject, from, QString(), bytes, header + TExStringList{"."}};
    }

    TSummaryResult Add(const TSummary& summary) { return list.AddSummary(summary, "Home", 4); }

    MemoryStore store;
    Settings settings{store};
    TMessageList list{settings};
};

TEST_F(MessageListTest, AKeptSummaryBecomesARowWithItsNumber)
{
    EXPECT_EQ(Add(Summary(" Ann", " Hello", 2048)), TSummaryResult::Kept);
    ASSERT_EQ(list.rowCount(), 1);
    QStringList texts;
    for (int column = 0; column < list.columnCount(); ++column)
        texts << list.data(list.index(0, column)).toString();
    EXPECT_EQ(texts, (QStringList{"Ann", "Hello", "2 KB", "Low", "today", "Home"})) << "the leading blanks not drawn";
    EXPECT_EQ(list.data(list.index(0, 0), TMessageList::NumberRole).toInt(), 4);
}

TEST_F(MessageListTest, RowsShowFoldedEncodedHeadersAsReadAndKeepThemAsReceived)
{
    const TExStringList header{"From: =?iso-8859-1?q?L=E9a?= <lea@example.org>", "Subject: =?utf-8?q?Caf=C3=A9?=",
                               "\t=?utf-8?q?_au_lait?=", "To: Bob"};
    const TSummary summary = Summary(" =?iso-8859-1?q?L=E9a?= <lea@example.org>", " =?utf-8?q?Caf=C3=A9?=", 10, header);
    Add(summary);
    EXPECT_EQ(list.data(list.index(0, TMessageList::colFrom)).toString(), "Léa");
    EXPECT_EQ(list.data(list.index(0, TMessageList::colFrom), Qt::ToolTipRole).toString(), "Léa <lea@example.org>");
    EXPECT_EQ(list.data(list.index(0, TMessageList::colSubject)).toString(), "Café au lait");
    EXPECT_EQ(list.data(list.index(0, TMessageList::colSubject), Qt::ToolTipRole).toString(), "Café au lait");
    EXPECT_EQ(FieldsOf(summary).Subject, " =?utf-8?q?Caf=C3=A9?=") << "for the filters";
    EXPECT_EQ(list.Entry(0).ReadableFrom, " Léa <lea@example.org>");
}

TEST_F(MessageListTest, SixCaptionedColumnsAndRowsInArrivalOrder)
{
    QStringList captions;
    for (int column = 0; column < list.columnCount(); ++column)
        captions << list.headerData(column, Qt::Horizontal).toString();
    EXPECT_EQ(captions, (QStringList{"From", "Subject", "Size", "Priority", "Received", "Account"}));
    list.AddSummary(Summary(" Zed", " z"), "Work", 9);
    list.AddSummary(Summary(" Ann", " a"), "Home", 1);
    EXPECT_EQ(list.Entry(0).ReadableFrom, " Zed");
    EXPECT_EQ(list.Entry(1).Number, 1);
    list.Clear();
    EXPECT_EQ(list.rowCount(), 0);
}

TEST_F(MessageListTest, SenderBlockedWhenAnEntryContainsIt)
{
    Block(" Ann Smith, Sales");
    EXPECT_NE(Add(Summary(" Ann Smith", " s")), TSummaryResult::Kept);
    EXPECT_NE(Add(Summary("Smith", " s")), TSummaryResult::Kept) << "any part of the entry";
    EXPECT_EQ(Add(Summary(" Ann Smith Jr", " s")), TSummaryResult::Kept) << "more than the entry holds";
    EXPECT_NE(Add(Summary(" ann SMITH", " s")), TSummaryResult::Kept) << "in any case";
    EXPECT_EQ(Add(Summary("", " s")), TSummaryResult::Kept) << "an empty sender never matches";
    EXPECT_EQ(Add(Summary(" ", " s")), TSummaryResult::Kept) << "nor blanks alone, though the entry holds one";
    EXPECT_EQ(Add(Summary(" \t", " s", 10, {"From: \t", "To: Bob"})), TSummaryResult::Kept);
}

TEST_F(MessageListTest, FieldNamesInAnyCaseGiveTheRowAndTheFilters)
{
    settings.SetBlockBlankTo(true);
    const TExStringList header{"from: Ann", " Lee", "SUBJECT: Hello", "to: Bob", "date: today", "x-priority: 1"};
    ASSERT_EQ(Add(Summary(" Ann", " Hello", 10, header)), TSummaryResult::Kept);
    QStringList texts;
    for (int column = 0; column < list.columnCount(); ++column)
        texts << list.data(list.index(0, column)).toString();
    EXPECT_EQ(texts, (QStringList{"Ann Lee", "Hello", "10 bytes", "High", "today", "Home"}));
}

TEST_F(MessageListTest, AShorterEntryDoesNotBlockTheLongerSender)
{
    Block("Ann");
    EXPECT_EQ(Add(Summary(" Ann Smith", " s")), TSummaryResult::Kept);
    Block(" Ann Smith");
    EXPECT_NE(Add(Summary(" Ann Smith", " s")), TSummaryResult::Kept);
}

TEST_F(MessageListTest, BlockedMessagesAreDeletedUnlessSaved)
{
    Block(" Spam");
    settings.SetSaveBlocked(false);
    EXPECT_EQ(Add(Summary(" Spam", " buy")), TSummaryResult::Delete);
    settings.SetSaveBlocked(true);
    EXPECT_EQ(Add(Summary(" Spam", " buy")), TSummaryResult::Hidden);
    EXPECT_EQ(list.rowCount(), 0);
}

TEST_F(MessageListTest, BlankMeansEmptyAndCountsOnlyWhenItsOptionIsOn)
{
    const TSummary noFrom = Summary("", " s");
    const TSummary noSubject = Summary(" Ann", "");
    const TSummary noTo = Summary(" Ann", " s", 10, {"Date: today"});
    const TSummary emptyTo = Summary(" Ann", " s", 10, {"To:"});
    const TSummary zero = Summary(" Ann", " s", 0);
    for (const TSummary& summary : {noFrom, noSubject, noTo, emptyTo, zero})
        EXPECT_EQ(Add(summary), TSummaryResult::Kept);

    settings.SetBlockBlankFrom(true);
    settings.SetBlockBlankTo(true);
    settings.SetBlockBlankSubject(true);
    settings.SetBlockZeroLength(true);
    for (const TSummary& summary : {noFrom, noSubject, noTo, emptyTo, zero})
        EXPECT_EQ(Add(summary), TSummaryResult::Delete) << summary.Header.join('|').toStdString();
    EXPECT_EQ(Add(Summary(" ", " ")), TSummaryResult::Kept) << "a blank after the colon is not blank";
    EXPECT_EQ(Add(Summary(" Ann", " s", 10, {"Reply-To: Carol"})), TSummaryResult::Kept);
}

TEST_F(MessageListTest, ThePanelTooltipIsEscapedForMarkupAndTheRowsAreNot)
{
    Add(Summary(" Ann <ann@example.org>", " <b>Win</b> & more"));
    const QJsonObject panel = QJsonDocument::fromJson(TListing::Of(list, {}).PanelJson()).object();
    EXPECT_EQ(panel["tooltip"].toString(), "Ann: &lt;b&gt;Win&lt;/b&gt; &amp; more");
    EXPECT_EQ(panel["rows"].toArray()[0].toObject()["subject"].toString(), "<b>Win</b> & more");
}

// What --check writes row by row is what --list prints of the same listing.
TEST_F(MessageListTest, TheListingWrittenRowByRowIsItsText)
{
    Add(Summary(" =?utf-8?q?Caf=C3=A9?= <cafe@example.org>", " Menu", 2048,
                {"From: =?utf-8?q?Caf=C3=A9?= <cafe@example.org>", "Date: today"}));
    list.AddSummary(Summary(" Bea", " Two"), "Work", 7);
    const QStringList status{u"Home: -ERR \x1b[41mbusy"_s, "", "2 messages"};
    QString written;
    QTextStream out(&written);
    TListing::WriteText(out, list, status);
    out.flush();
    EXPECT_EQ(written, "Café <cafe@example.org>\tMenu\t2048\tNormal\ttoday\tHome\t4\n"
                       "Bea\tTwo\t10\tLow\ttoday\tWork\t7\n"
                       "Home: -ERR [41mbusy\n2 messages\n");
    EXPECT_EQ(written, TListing::Of(list, status).Text());
}

// A failed account turns the panel's class to "failed" and is named with its
// reason, also after the way from the running copy to --list.
TEST_F(MessageListTest, APanelNamesTheFailedAccountsWithTheirReasons)
{
    Add(Summary(" Ann", " One"));
    TFailureLog failures;
    failures.Note("Work", "Failed to connect", QDateTime::currentDateTime());
    const TListing sent = TListing::FromJson(TListing::Of(list, {}, &failures).ToJson());
    const QJsonObject panel = QJsonDocument::fromJson(sent.PanelJson()).object();
    EXPECT_EQ(panel["class"].toString(), "failed");
    EXPECT_EQ(panel["failed"].toArray(),
              (QJsonArray{QJsonObject{{"account", "Work"}, {"reason", "Failed to connect"}}}));
    EXPECT_EQ(panel["tooltip"].toString(), "Ann: One\nCheck failed for Work: Failed to connect");
}

// Rows kept from an earlier listing while their account's check fails are
// drawn as the window says, and the Account column's tooltip tells when they
// were listed: the time for today, the day too for an earlier one.
TEST_F(MessageListTest, RowsKeptFromAFailedCheckAreGreyedAndSayWhenTheyWereListed)
{
    list.StaleForeground = QStringLiteral("grey");
    const QDateTime today(QDate::currentDate(), QTime(10, 40));
    list.StartListing("Home", today);
    Add(Summary(" Ann", " One"));
    list.StartListing("Work", today.addDays(-1));
    list.AddSummary(Summary(" Bea", " Two"), "Work", 1);
    list.SetAsideExcept({});
    ASSERT_EQ(list.Count(), 0);
    list.Restore("Work");
    list.Restore("Home");

    ASSERT_EQ(list.Count(), 2);
    const QLocale locale = QLocale::system();
    const QString time = locale.toString(QTime(10, 40), QLocale::ShortFormat);
    const auto tip = [this](int row, int column) { return list.data(list.index(row, column), Qt::ToolTipRole); };
    EXPECT_EQ(list.data(list.index(0, TMessageList::colSubject), Qt::ForegroundRole).toString(), "grey");
    EXPECT_EQ(tip(0, TMessageList::colAccount).toString(),
              "as of " + locale.toString(today.date().addDays(-1), QLocale::ShortFormat) + ' ' + time);
    EXPECT_EQ(tip(1, TMessageList::colAccount).toString(), "as of " + time);
    EXPECT_EQ(tip(1, TMessageList::colSubject).toString(), "One") << "the other columns keep their own tips";

    list.StartListing("Home", today);
    EXPECT_FALSE(list.data(list.index(1, TMessageList::colFrom), Qt::ForegroundRole).isValid()) << "listed again";
}

// What a view meets: rows held back arrive together, before any change that
// names row numbers, and a cleared list starts counting them afresh.
TEST_F(MessageListTest, HeldBackRowsReachTheViewsTogetherAndBeforeOtherChanges)
{
    QStringList changes;
    QObject::connect(&list, &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int first, int last) {
        changes << QStringLiteral("+%1-%2").arg(first).arg(last);
    });
    QObject::connect(&list, &QAbstractItemModel::rowsRemoved,
                     [&](const QModelIndex&, int first, int) { changes << QStringLiteral("-%1").arg(first); });
    QObject::connect(&list, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& from, const QModelIndex&) { changes << QStringLiteral("#%1").arg(from.row()); });
    list.AnnounceAtOnce = [] { return false; };
    list.HoldBackMs = 20;
    list.AddSummary(Summary(" Ann", " a"), "Home", 1);
    list.AddSummary(Summary(" Bob", " b"), "Home", 2);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.rowCount(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.rowCount() == 2; }, 5000));

    list.AddSummary(Summary(" Cid", " c"), "Home", 3);
    list.RemoveDeleted(0);
    EXPECT_EQ(changes, (QStringList{"+0-1", "+2-2", "-0", "#0", "#1"}));
    EXPECT_EQ(list.data(list.index(1, TMessageList::colFrom)).toString(), "Cid");
    EXPECT_EQ(list.data(list.index(1, 0), TMessageList::NumberRole).toInt(), 2);

    list.AddSummary(Summary(" Dee", " d"), "Home", 4);
    list.Clear();
    EXPECT_EQ(list.rowCount(), 0);
    list.AddSummary(Summary(" Eve", " e"), "Home", 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.rowCount() == 1; }, 5000));
    EXPECT_EQ(changes.last(), "+0-0");
}

} // namespace
