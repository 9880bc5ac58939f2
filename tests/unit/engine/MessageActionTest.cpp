// Delete and Quick View of a listed message: the question, the session of
// their own, the renumbering after a delete, and the refusal when the
// server's numbers have moved since the check.

#include "EngineFixture.h"

namespace {

class MessageAction : public EngineTest
{
protected:
    // Home 1, 2, 3 and Work 2 (Work's first is from a blocked sender and
    // left on the server), as the check lists them.
    void CheckFourRows()
    {
        AddAccount("Home", {FakeMessage(" Ann", " One"), FakeMessage(" Bea", " Two"), FakeMessage(" Cid", " Three")});
        AddAccount("Work", {FakeMessage(" Spam", " buy"), FakeMessage(" Dee", " Four")});
        StoreBlockedSender(store, " Spam");
        Load();
        settings.SetSaveBlocked(true);
        CheckNow();
        RunSteps();
        ASSERT_EQ(Rows(), (QStringList{"Home One #1", "Home Two #2", "Home Three #3", "Work Four #2"}));
        client.Log.clear();
        host.Boxes.clear();
    }

    void Delete(int row, bool answer = true)
    {
        host.Answers = {answer};
        Guarded([&] { engine->actDeleteExecute(row); });
    }
    void View(int row) { Guarded([&] { engine->actViewExecute(row); }); }

    // Another program removed Home's first message since the check.
    void RemoveFirstOnServer() { Mailbox("Home").Messages.removeFirst(); }

    const QString moved = "This message is no longer on the server as listed. Check for mail again.";
};

TEST_F(MessageAction, DeleteAsksThenDeletesInASessionOfItsOwnAndRenumbersTheAccount)
{
    CheckFourRows();
    Delete(1);
    EXPECT_EQ(host.Boxes, QStringList{"Delete Message | Are you sure you want to delete this message? | main | Yes/No"});
    EXPECT_EQ(client.Log.mid(5), (QStringList{"TOP 2 0", "LIST 2", "DELE 2", "QUIT"}));
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home Three #2", "Work Four #2"}));
    EXPECT_EQ(Mailbox("Home").Messages.size(), 2);
    EXPECT_FALSE(engine->EngineBusy());
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(MessageAction, DeleteWithoutASelectionOrAnsweredNoDoesNothingButStopTheHangUpCountdown)
{
    CheckFourRows();
    const int stopped = host.HangUpTimerStopped;
    Delete(-1);
    EXPECT_EQ(host.HangUpTimerStopped, stopped + 1);
    EXPECT_TRUE(host.Boxes.isEmpty());
    Delete(0, false);
    EXPECT_EQ(host.Boxes.size(), 1);
    EXPECT_TRUE(client.Log.isEmpty());
    EXPECT_EQ(list.Count(), 4);
}

// The session ends with QUIT, which makes nothing final, and the engine is
// free for the next command.
TEST_F(MessageAction, ARefusedDeleteSaysOperationFailedKeepsTheRowAndFreesTheEngine)
{
    CheckFourRows();
    Mailbox("Home").RefuseDelete = {2};
    Delete(1);
    EXPECT_EQ(Errors, QStringList{"Operation Failed\n\n-ERR Message is deleted already"});
    EXPECT_EQ(list.Count(), 4);
    EXPECT_FALSE(engine->EngineBusy());
    EXPECT_EQ(client.Log.last(), "QUIT");

    Delete(0);
    EXPECT_EQ(Rows().size(), 3);
}

// Without an answer to QUIT the server undoes the session's deletion: the
// row stays, as the message does.
TEST_F(MessageAction, ADeleteWhoseQuitGoesUnansweredKeepsTheRow)
{
    CheckFourRows();
    client.SilentAfter = "QUIT";
    Delete(1);
    EXPECT_EQ(Mailbox("Home").Messages.size(), 3);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_FALSE(engine->EngineBusy());
}

TEST_F(MessageAction, DeleteOfAMessageWhoseNumberMovedDeletesNothing)
{
    CheckFourRows();
    RemoveFirstOnServer();
    Delete(1);
    EXPECT_FALSE(client.Log.filter("DELE").size());
    EXPECT_EQ(client.Log.last(), "QUIT");
    EXPECT_EQ(host.Boxes.last(), "Delete Message | " + moved + " | main");
    EXPECT_EQ(Mailbox("Home").Messages.size(), 2);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_FALSE(engine->EngineBusy());

    Delete(2);
    EXPECT_EQ(host.Boxes.last(), "Delete Message | " + moved + " | main") << "number 3 is gone altogether";
    EXPECT_FALSE(client.Log.contains("TOP 3 0"));
}

TEST_F(MessageAction, QuickViewRetrievesOnlyTheSelectedNumberAndFillsTheWindow)
{
    CheckFourRows();
    Mailbox("Home").Messages[1].Body = {"Line one", "Line two"};
    View(1);
    EXPECT_EQ(client.Log.mid(5), (QStringList{"RETR 2", "QUIT"}));
    EXPECT_EQ(host.Viewed.From, "Bea");
    EXPECT_EQ(host.Viewed.Subject, "Two");
    EXPECT_EQ(host.Viewed.Date, "Mon, 1 Dec 2025 09:30:00 +0100");
    EXPECT_EQ(host.Viewed.Account, "Home");
    EXPECT_EQ(host.Viewed.Body, "Line one\r\nLine two\r\n");
    EXPECT_EQ(list.Count(), 4);
    EXPECT_FALSE(engine->EngineBusy());
}

TEST_F(MessageAction, QuickViewOfAMessageWhoseNumberMovedShowsNothingElse)
{
    CheckFourRows();
    RemoveFirstOnServer();
    View(1);
    EXPECT_FALSE(host.Told.filter("view").size());
    EXPECT_EQ(host.Boxes, QStringList{"Quick View | " + moved + " | main"});
    EXPECT_EQ(client.Log.mid(5), (QStringList{"RETR 2", "(header refused)", "QUIT"})) << "refused before its parts";
    EXPECT_FALSE(engine->EngineBusy());

    host.Boxes.clear();
    View(3);
    EXPECT_EQ(host.Viewed.Subject, "Four") << "a message still as listed";
    EXPECT_TRUE(host.Boxes.isEmpty());
}

// A timed check between two messages owns the connection: the actions
// refuse, and the check goes on to its end.
TEST_F(MessageAction, ActionsDuringATimedCheckBeepAndLeaveItRunning)
{
    CheckFourRows();
    settings.SetInterval(1);
    Tick();
    ASSERT_TRUE(host.Timer1Armed);
    host.Told.clear();
    View(0);
    Delete(0);
    EXPECT_EQ(host.Told, (QStringList{"beep", "beep"}));
    EXPECT_TRUE(host.Boxes.isEmpty());
    RunSteps();
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_FALSE(client.Connected);
    EXPECT_EQ(list.Count(), 4);
}

}
