// The check cycle over the accounts, with the filters, on a fake client.

#include "EngineFixture.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>

namespace {

using Msg = TFakeMailClient::Message;

QList<Msg> Three()
{
    return {FakeMessage(" Ann <ann@example.org>", " One", 1), FakeMessage(" Carol <carol@example.net>", " Two"),
            FakeMessage(" Dave <dave@example.com>", " Three", 5)};
}

class CheckCycle : public EngineTest
{
};

TEST_F(CheckCycle, TwoAccountsWithThreeAndNoMessages)
{
    AddAccount("Home", Three());
    AddAccount("Work", {});
    Load();
    CheckNow();
    EXPECT_TRUE(engine->EngineBusy());
    EXPECT_TRUE(host.PanelHistory.contains("0: Checking Home for mail"));
    EXPECT_EQ(host.Panels[0], "Checking Home: 1 of 3") << "how far it is";
    RunSteps();

    EXPECT_EQ(client.Log, (QStringList{"connect home.example.org", "USER home", "PASS pw-Home", "CAPA", "STAT", "TOP 1 0",
                                       "LIST 1", "TOP 2 0", "LIST 2", "TOP 3 0", "LIST 3", "QUIT",
                                       "connect work.example.org", "USER work", "PASS pw-Work", "CAPA", "STAT", "QUIT"}));
    EXPECT_TRUE(host.PanelHistory.contains("0: Checking Work for mail"));
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_TRUE(host.Panels[1].startsWith("Checked at: ")) << host.Panels[1].toStdString();
    const QString time = host.Panels[1].mid(QString("Checked at: ").size());
    EXPECT_TRUE(time.contains(QRegularExpression("\\d:\\d\\d:\\d\\d"))) << "the long format shows seconds";
    EXPECT_FALSE(time.contains(QTimeZone::systemTimeZone().abbreviation(QDateTime::currentDateTime())))
        << "a clock time, without the time zone: " << time.toStdString();
    EXPECT_EQ(host.Panels[2], "3 new messages");
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home Two #2", "Home Three #3"}));
    EXPECT_FALSE(engine->EngineBusy());
    EXPECT_FALSE(client.Connected);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(host.FlashingStopped, 1);
    EXPECT_EQ(host.HangUpTimerStopped, 1);
}

TEST_F(CheckCycle, RowsCarryTheSixTextsAndTheServerNumber)
{
    AddAccount("Home", {FakeMessage(" Ann <ann@example.org>", " Lunch", 2, 2048)});
    Load();
    CheckNow();
    RunSteps();
    ASSERT_EQ(list.Count(), 1);
    const MessageEntry& row = list.Entry(0);
    EXPECT_EQ(row.ReadableFrom, " Ann <ann@example.org>");
    EXPECT_EQ(row.ReadableSubject, " Lunch");
    EXPECT_EQ(row.Bytes, 2048);
    EXPECT_EQ(row.Priority, "High");
    EXPECT_EQ(row.Received, "Mon, 1 Dec 2025 09:30:00 +0100");
    EXPECT_EQ(row.Account, "Home");
    EXPECT_EQ(row.Number, 1);
    EXPECT_EQ(host.Panels[2], "1 new messages");
}

TEST_F(CheckCycle, RowsFromTwoAccountsNameTheirOwnAccountAndNumber)
{
    AddAccount("Home", {FakeMessage(" Ann", " A1")});
    AddAccount("Work", {FakeMessage(" Bea", " W1"), FakeMessage(" Cid", " W2")});
    Load();
    CheckNow();
    RunSteps();
    EXPECT_EQ(Rows(), (QStringList{"Home A1 #1", "Work W1 #1", "Work W2 #2"}));
}

TEST_F(CheckCycle, OnlyEnabledAccountsInStoreOrder)
{
    AddAccount("Alpha", {FakeMessage(" A", " a")});
    AddAccount("Beta", {FakeMessage(" B", " b")}, false);
    AddAccount("Gamma", {FakeMessage(" G", " g")});
    Load();
    CheckNow();
    RunSteps();
    EXPECT_EQ(Rows(), (QStringList{"Alpha a #1", "Gamma g #1"}));
    EXPECT_FALSE(client.Log.contains("connect beta.example.org"));
}

TEST_F(CheckCycle, NoMessagesAnywhereSaysSo)
{
    AddAccount("Home", {});
    Load();
    CheckNow();
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_EQ(host.Panels[2], "No new messages");
    EXPECT_FALSE(host.Timer1Armed);
    EXPECT_EQ(host.NoticesWithdrawn, 1) << "an earlier bubble tells of mail no longer there";
}

TEST_F(CheckCycle, NoEnabledAccountSaysSoAndALaterCheckWorks)
{
    AddAccount("Home", {FakeMessage(" Ann", " Hi")}, false);
    Load();
    CheckNow();
    EXPECT_EQ(host.Boxes, QStringList{"<title> | There are no accounts to check | main"});
    EXPECT_FALSE(engine->EngineBusy());
    EXPECT_TRUE(client.Log.isEmpty());

    settings.Accounts().SetChecked(0, true);
    CheckNow();
    RunSteps();
    EXPECT_EQ(Rows(), QStringList{"Home Hi #1"});
}

// The user is told in a box, once however often they ask while it is open;
// a timed check says it in the status bar alone.
TEST_F(CheckCycle, NoAccountsIsOneBoxForTheUserAndAPanelTextForTheTimer)
{
    Load();
    settings.SetInterval(1);
    host.WhileBoxOpen = [&] { CheckNow(); };
    CheckNow();
    EXPECT_EQ(host.Boxes.size(), 1);
    host.WhileBoxOpen = {};
    Tick();
    EXPECT_EQ(host.Boxes.size(), 1);
    EXPECT_EQ(host.Panels[0], "There are no accounts to check");
}

TEST_F(CheckCycle, TwoChecksInARowListTheSameMessagesOnce)
{
    AddAccount("Home", Three());
    Load();
    CheckNow();
    RunSteps();
    CheckNow();
    RunSteps();
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(host.Panels[2], "3 new messages");
}

TEST_F(CheckCycle, BlockedMessageInTheMiddleIsSummarisedOnceAndLeftWhenSaved)
{
    AddAccount("Home", Three());
    StoreBlockedSender(store, " Carol <carol@example.net>");
    Load();
    settings.SetSaveBlocked(true);
    CheckNow();
    RunSteps();
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home Three #3"}));
    EXPECT_EQ(client.Log.count("TOP 2 0"), 1);
    EXPECT_FALSE(client.Log.join(' ').contains("DELE"));
    EXPECT_EQ(Mailbox("Home").Messages.size(), 3);
    EXPECT_EQ(host.Panels[2], "2 new messages");
}

TEST_F(CheckCycle, BlockedMessageIsDeletedBeforeTheNextIsAskedFor)
{
    AddAccount("Home", Three());
    StoreBlockedSender(store, " Carol <carol@example.net>");
    Load();
    settings.SetSaveBlocked(false);
    CheckNow();
    RunSteps();
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home Three #2"})) << "numbered as the server does after QUIT";
    const qsizetype dele = client.Log.indexOf("DELE 2");
    ASSERT_GE(dele, 0);
    EXPECT_EQ(client.Log.indexOf("LIST 2") + 1, dele);
    EXPECT_EQ(client.Log.indexOf("TOP 3 0"), dele + 1);
    EXPECT_EQ(Mailbox("Home").Messages.size(), 2) << "deleted with QUIT";
}

// Only a ticked entry blocks, and blanks alone are no sender, though the
// entry holds a blank; a sender behind a lower-case field name is blocked.
TEST_F(CheckCycle, BlankSenderAndUntickedEntryAreNotDeletedALowerCaseSenderIs)
{
    AddAccount("Home", Three());
    Mailbox("Home").Messages[0].Header[0] = "From: ";
    Mailbox("Home").Messages[2].Header[0] = "from: Dave <dave@example.com>";
    StoreBlockedSender(store, " Carol <carol@example.net>", false);
    StoreBlockedSender(store, " Dave <dave@example.com>");
    Load();
    settings.SetSaveBlocked(false);
    CheckNow();
    RunSteps();
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home Two #2"}));
    EXPECT_EQ(client.Log.filter("DELE"), QStringList{"DELE 3"});
}

TEST_F(CheckCycle, ZeroLengthMessageIsDeletedAndTheNextStillSummarised)
{
    AddAccount("Home", {FakeMessage(" A", " empty", 3, 0), FakeMessage(" B", " full")});
    Load();
    settings.SetBlockZeroLength(true);
    settings.SetSaveBlocked(false);
    CheckNow();
    RunSteps();
    EXPECT_EQ(Rows(), QStringList{"Home full #1"});
    EXPECT_LT(client.Log.indexOf("DELE 1"), client.Log.indexOf("TOP 2 0"));
}

TEST_F(CheckCycle, AWordForPriorityListsTheMessageAsNormalAndGoesOn)
{
    Msg wordy = FakeMessage(" A", " wordy");
    wordy.Header.last() = "X-Priority: High";
    AddAccount("Home", {wordy, FakeMessage(" B", " next")});
    Load();
    CheckNow();
    RunSteps();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Entry(0).Priority, "Normal");
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_TRUE(Errors.isEmpty());
}

} // namespace
