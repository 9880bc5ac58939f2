// The timed check, the connection step, Cancel, failures and the overlap of
// requests with a client call that is still waiting.

#include "EngineFixture.h"

namespace {

QList<TFakeMailClient::Message> Two()
{
    return {FakeMessage(" Ann", " One"), FakeMessage(" Bea", " Two")};
}

int Connections(const TFakeMailClient& client)
{
    return int(client.Log.filter("connect ").size());
}

// --- timed checks ---------------------------------------------------------

class TimedCheck : public EngineTest
{
};

TEST_F(TimedCheck, IntervalThreeChecksOnTicksThreeAndSix)
{
    AddAccount("Home", {});
    Load();
    settings.SetInterval(3);
    QList<int> checkedOn;
    for (int tick = 1; tick <= 7; ++tick) {
        const int before = Connections(client);
        Tick();
        if (Connections(client) > before)
            checkedOn << tick;
    }
    EXPECT_EQ(checkedOn, (QList<int>{3, 6}));
}

TEST_F(TimedCheck, ADueTickDoesNothingWhileCheckingIsDisabledAndCountsAfresh)
{
    AddAccount("Home", {});
    Load();
    settings.SetInterval(2);
    settings.SetCheckingEnabled(false);
    Tick();
    Tick();
    EXPECT_EQ(Connections(client), 0);
    EXPECT_EQ(engine->CheckCycle().MinutesElapsed, 0);
    settings.SetCheckingEnabled(true);
    Tick();
    EXPECT_EQ(Connections(client), 0);
    Tick();
    EXPECT_EQ(Connections(client), 1);
}

TEST_F(TimedCheck, NeitherSetsBusyNorTouchesTheTrayOrHangUp)
{
    AddAccount("Home", Two());
    Load();
    settings.SetInterval(1);
    Tick();
    EXPECT_FALSE(engine->EngineBusy());
    RunSteps();
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(host.FlashingStopped, 0);
    EXPECT_EQ(host.HangUpTimerStopped, 0);
}

// --- the connection step --------------------------------------------------

class ConnectionStep : public EngineTest
{
protected:
    void Offline(int connType)
    {
        AddAccount("Home", {});
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::DialUpProfiles + "\\Office VPN", true);
        reg.CloseKey();
        Load();
        settings.SetConnType(connType);
        settings.SetInterval(1);
        settings.SetConnectoid("Office VPN");
        dialUp.Online = false;
    }
};

TEST_F(ConnectionStep, WaitingModeAsksOnCheckNowAndNoLeavesEverything)
{
    Offline(WaitConn);
    CheckNow();
    EXPECT_EQ(host.Boxes, QStringList{"Not Connected | Connect Now? | main | Yes/No"});
    EXPECT_TRUE(dialUp.Dialled.isEmpty());
    EXPECT_EQ(Connections(client), 0);
    EXPECT_FALSE(engine->EngineBusy());
}

TEST_F(ConnectionStep, WaitingModeDialsOnYes)
{
    Offline(WaitConn);
    host.Answers = {true};
    CheckNow();
    EXPECT_EQ(dialUp.Dialled, QStringList{"Office VPN"});
    EXPECT_EQ(engine->Connection().DialConnection, 7u);
    EXPECT_EQ(host.Panels[0], "Done");
}

TEST_F(ConnectionStep, WaitingModeStaysSilentOnATimedCheck)
{
    Offline(WaitConn);
    Tick();
    EXPECT_TRUE(host.Boxes.isEmpty());
    EXPECT_TRUE(dialUp.Dialled.isEmpty());
    EXPECT_EQ(Connections(client), 0);
}

TEST_F(ConnectionStep, AFailedDialSaysSoAndStartsNothing)
{
    Offline(InitConn);
    dialUp.DialSucceeds = false;
    engine->Connection().DialConnection = 5;
    CheckNow();
    EXPECT_EQ(host.Boxes, QStringList{"Error | Failed to connect | main"});
    EXPECT_EQ(engine->Connection().DialConnection, 0u);
    EXPECT_EQ(Connections(client), 0);
    EXPECT_FALSE(engine->EngineBusy());
}

TEST_F(ConnectionStep, DialingModeDialsForATimedCheckToo)
{
    Offline(InitConn);
    Tick();
    EXPECT_EQ(dialUp.Dialled, QStringList{"Office VPN"});
    EXPECT_EQ(Connections(client), 1);
}

TEST_F(ConnectionStep, WhatArrivesDuringADialWaitsAndDialsNoSecondTime)
{
    Offline(InitConn);
    bool arrived = false;
    dialUp.WhileDialling = [&] {
        if (std::exchange(arrived, true))
            return;
        CheckNow();
        Tick();
    };
    CheckNow();
    EXPECT_EQ(dialUp.Dialled, QStringList{"Office VPN"});
    ASSERT_EQ(host.Posted.size(), 1u);
    host.RunPosted();
    EXPECT_EQ(dialUp.Dialled.size(), 1);
    EXPECT_EQ(Connections(client), 2) << "the deferred timed check ran once, after";
}

TEST_F(ConnectionStep, LanModeChecksWithoutAConnection)
{
    Offline(LanConn);
    CheckNow();
    EXPECT_TRUE(dialUp.Dialled.isEmpty());
    EXPECT_EQ(Connections(client), 1);
}

// --- Cancel ---------------------------------------------------------------

class CancelCheck : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        AddAccount("Home", {FakeMessage(" Ann", " One"), FakeMessage(" Bea", " Two"), FakeMessage(" Cid", " Three")});
        Load();
    }
};

TEST_F(CancelCheck, ASummaryArrivingAfterCancelEndsTheCheckAtOnceKeepingTheRows)
{
    // The second row comes in with the summary the cancel came after.
    QObject::connect(&list, &TMessageList::rowsInserted, [this] {
        if (list.Count() == 2)
            Cancel();
    });
    CheckNow();
    RunSteps();
    EXPECT_FALSE(client.Log.contains("TOP 3 0"));
    EXPECT_FALSE(client.Connected);
    EXPECT_EQ(host.Panels[0], "Canceled");
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home Two #2"}));
    EXPECT_EQ(host.Panels[2], "2 new messages");
    EXPECT_FALSE(engine->EngineBusy());
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(CancelCheck, CancelBetweenMessagesEndsTheCheckOnTheNextStep)
{
    CheckNow();
    ASSERT_TRUE(host.Timer1Armed);
    Cancel();
    EXPECT_FALSE(engine->EngineBusy());
    RunSteps();
    EXPECT_FALSE(client.Log.contains("TOP 2 0"));
    EXPECT_FALSE(client.Connected);
    EXPECT_EQ(host.Panels[0], "Canceled");
    EXPECT_EQ(Rows(), QStringList{"Home One #1"});
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(CancelCheck, CancelWhileATopWaitsEndsAsCanceledWithoutAnErrorBox)
{
    client.Waiting = [this](const QString& sent) {
        if (sent == "TOP 2 0")
            Cancel();
    };
    CheckNow();
    RunSteps();
    client.Waiting = {};
    EXPECT_EQ(host.Panels[0], "Canceled");
    EXPECT_FALSE(client.Connected);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();

    CheckNow();
    RunSteps();
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_EQ(list.Count(), 3);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

// A refused request ends the account's session with a QUIT, keeping what
// it listed, and leaves the engine free for the next check.
TEST_F(CancelCheck, ARefusedTopEndsTheAccountAndTheNextCheckListsAll)
{
    Mailbox("Home").RefuseTop = {2};
    CheckNow();
    RunSteps();
    ASSERT_EQ(Errors, QStringList{"-ERR Message locked\r\n"});
    EXPECT_EQ(client.Log.last(), "QUIT");
    EXPECT_EQ(Rows(), QStringList{"Home One #1"});
    EXPECT_EQ(host.Panels[0], "Home: -ERR Message locked, " + At(10, 40));
    EXPECT_FALSE(engine->EngineBusy());

    Mailbox("Home").RefuseTop.clear();
    CheckNow();
    RunSteps();
    EXPECT_EQ(Errors.size(), 1) << Errors.join('\n').toStdString();
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home Two #2", "Home Three #3"}));
}

TEST_F(CancelCheck, CancelWhenIdleIsAcceptedAndTheNextCheckRunsNormally)
{
    Cancel();
    EXPECT_TRUE(engine->CheckCycle().CancelRequested);
    EXPECT_EQ(host.FlashingStopped, 1);
    EXPECT_EQ(host.HangUpTimerStopped, 1);
    CheckNow();
    RunSteps();
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_EQ(list.Count(), 3);
}

// --- failures -------------------------------------------------------------

class CheckFailure : public EngineTest
{
};

// The failure ends Home's part; Work is still checked, and the engine is
// free at once. A later check without failure closes the boxes still open.
TEST_F(CheckFailure, AWrongPasswordTellsTheAccountAndTheOthersAreStillChecked)
{
    AddAccount("Home", {FakeMessage(" Ann", " One")});
    AddAccount("Work", {FakeMessage(" Bea", " Two")});
    Mailbox("Home").Password = "changed";
    Load();
    CheckNow();
    RunSteps();
    EXPECT_EQ(host.Boxes,
              QStringList{"Login error | Username or Password for Homenot valid.\n\nAuthentication failed | none"});
    EXPECT_EQ(Rows(), QStringList{"Work Two #1"});
    EXPECT_EQ(host.Panels[0], "Home: Login refused, " + At(10, 40));
    EXPECT_EQ(host.Standing, QStringList{"Home: Login refused, " + At(10, 40)});
    EXPECT_FALSE(engine->EngineBusy());
    EXPECT_EQ(host.FailureBoxes, QStringList{"Home"}) << "one box a failure";

    Mailbox("Home").Password = "pw-Home";
    CheckNow();
    RunSteps();
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_EQ(list.Count(), 2);
    EXPECT_TRUE(host.FailureBoxes.isEmpty()) << "the stale boxes closed";
    EXPECT_TRUE(host.Standing.isEmpty());
}

TEST_F(CheckFailure, AServerGoingSilentEndsTheAccountKeepingWhatItListed)
{
    AddAccount("Home", {FakeMessage(" Ann", " One"), FakeMessage(" Bea", " Two")});
    Load();
    client.SilentAfter = "TOP 2 0";
    CheckNow();
    RunSteps();
    EXPECT_EQ(Errors, QStringList{"Connection Timed out"});
    EXPECT_FALSE(engine->EngineBusy());
    EXPECT_EQ(host.Panels[0], "Home: No answer in time, " + At(10, 40));
    EXPECT_EQ(host.Panels[2], "Check failed for Home; 1 new messages");

    client.SilentAfter.clear();
    CheckNow();
    RunSteps();
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_EQ(list.Count(), 2);
}

// Dead servers on Check Now: each account keeps the rows of its last good
// check, marked as listed then, the status says the check failed, and the
// two failures are one box. The next good check of an account lists afresh.
TEST_F(CheckFailure, DeadServersKeepTheirRowsMarkedAndAreToldInOneBox)
{
    AddAccount("Home", Two());
    AddAccount("Work", {FakeMessage(" Cid", " Three")});
    Load();
    CheckNow();
    RunSteps();
    const QDateTime listed = Clock;
    Clock = Clock.addSecs(600);
    client.Refusing = {"home.example.org", "work.example.org"};
    host.Told.clear();
    CheckNow();

    EXPECT_TRUE(host.Told.isEmpty()) << "announced already: " << host.Told.join(", ").toStdString();
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home Two #2", "Work Three #1"}));
    EXPECT_EQ(list.AsOf("Home"), listed);
    EXPECT_EQ(list.AsOf("Work"), listed);
    EXPECT_EQ(host.Panels[2], "Check failed for Home, Work; 3 new messages");
    EXPECT_EQ(host.Boxes, QStringList{"<title> | Postwatch could not check 2 accounts:\n\n"
                                      "Home: Failed to connect\nWork: Failed to connect | main"});

    client.Refusing = {"work.example.org"};
    Mailbox("Home").Messages.removeFirst();
    CheckNow();
    RunSteps();
    EXPECT_EQ(Rows(), (QStringList{"Home Two #1", "Work Three #1"}));
    EXPECT_FALSE(list.AsOf("Home").isValid());
    EXPECT_EQ(list.AsOf("Work"), listed);
    EXPECT_EQ(host.Panels[2], "Check failed for Work; 2 new messages");
    EXPECT_EQ(host.Boxes.size(), 2) << "a failure alone keeps its own box";
}

// Told once: the same failure again is not news until the account has been
// checked without one, or the failure changes. No box for a timed check.
TEST_F(CheckFailure, ATimedFailureIsToldOnceUntilItEndsOrChanges)
{
    AddAccount("Home", {FakeMessage(" Ann", " One")});
    Load();
    settings.SetInterval(1);
    client.Refusing << "home.example.org";
    const QString refused = "Home: Failed to connect, " + At(10, 40);
    for (int tick = 0; tick < 3; ++tick) {
        Tick();
        Clock = Clock.addSecs(60);
    }
    EXPECT_EQ(host.Announced, QStringList{refused + " (Connection Failed)"});
    EXPECT_TRUE(host.Boxes.isEmpty()) << host.Boxes.join('\n').toStdString();
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(host.Panels[0], refused);
    EXPECT_EQ(host.Standing, QStringList{refused});

    client.Refusing.clear();
    Tick();
    RunSteps();
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_TRUE(host.Standing.isEmpty()) << "the hint clears";

    client.Refusing << "home.example.org";
    Tick();
    Mailbox("Home").Password = "changed";
    client.Refusing.clear();
    Tick();
    EXPECT_EQ(host.Announced, (QStringList{refused + " (Connection Failed)",
                                           "Home: Failed to connect, " + At(10, 43) + " (Connection Failed)",
                                           "Home: Login refused, " + At(10, 43) + " (Authentication failed)"}));
    EXPECT_TRUE(host.Boxes.isEmpty());
}

// While it is quiet a failure stands in the hint only; its bubble comes
// when quiet ends, unless the account was checked without one meanwhile.
TEST_F(CheckFailure, WhileQuietAFailureWaitsForItsBubbleAndOneOverMeanwhileGetsNone)
{
    AddAccount("Home", {FakeMessage(" Ann", " One")});
    Load();
    settings.SetInterval(1);
    settings.SetQuietHours("10:30-11:00");
    client.Refusing << "home.example.org";
    Tick();
    const QString refused = "Home: Failed to connect, " + At(10, 40);
    EXPECT_TRUE(host.Announced.isEmpty());
    EXPECT_EQ(host.Standing, QStringList{refused});
    Clock.setTime(QTime(11, 0));
    Tick();
    EXPECT_EQ(host.Announced, QStringList{refused + " (Connection Failed)"}) << "told once, when quiet ends";

    client.Refusing.clear();
    Tick();
    engine->DoNotDisturb(TQuietTime::TDoNotDisturb::ForOneHour);
    client.Refusing << "home.example.org";
    Tick();
    client.Refusing.clear();
    Tick();
    engine->DoNotDisturb(TQuietTime::TDoNotDisturb::Off);
    EXPECT_EQ(host.Announced.size(), 1) << "over before quiet ended";
}

TEST_F(CheckFailure, AHostWithoutAddress)
{
    StoreAccount(store, "Home", "nowhere.invalid", 110, "home", "pw");
    Load();
    CheckNow();
    EXPECT_EQ(host.Boxes, QStringList{" | HostFailed\n\nNull Remote Address | main"});
}

// Pasted blanks around the names go; one inside the server's name is told.
TEST_F(CheckFailure, BlanksAroundTheServerGoAndOneInsideIsToldInWords)
{
    AddAccount("Home", {FakeMessage(" Ann", " One")});
    StoreAccount(store, "Home", " home.example.org\t", 110, " home ", "pw-Home");
    StoreAccount(store, "Work", "pop .example.org", 110, "work", "pw");
    Load();
    CheckNow();
    RunSteps();
    EXPECT_EQ(Rows(), QStringList{"Home One #1"});
    EXPECT_EQ(Errors, QStringList{"The server name \"pop .example.org\" has a blank in it."});
}

TEST_F(CheckFailure, ARefusedConnectionNamesTheAccount)
{
    StoreAccount(store, "Home", "closed.example.org", 110, "home", "pw");
    client.Refusing << "closed.example.org";
    Load();
    CheckNow();
    EXPECT_EQ(host.Boxes, QStringList{"Connection Failed | Failed to connect to Home\n\nConnection Failed | none"});
    EXPECT_EQ(host.Panels[2], "Check failed for Home") << "not \"No new messages\"";
}

TEST_F(CheckFailure, ARefusedDeletionSaysOperationFailed)
{
    AddAccount("Home", {FakeMessage(" Spam", " buy"), FakeMessage(" Ann", " One")});
    StoreBlockedSender(store, " Spam");
    Mailbox("Home").RefuseDelete = {1};
    Load();
    CheckNow();
    RunSteps();
    EXPECT_EQ(Errors, QStringList{"Operation Failed\n\n-ERR Message is deleted already"});
    EXPECT_FALSE(client.Log.contains("TOP 2 0"));
}

TEST_F(CheckFailure, ARefusedStatReportsTheReplyWithoutAskingToConnect)
{
    AddAccount("Home", {FakeMessage(" Ann", " One")});
    Mailbox("Home").RefuseStat = true;
    Load();
    CheckNow();
    EXPECT_TRUE(host.Boxes.isEmpty()) << host.Boxes.join('\n').toStdString();
    EXPECT_EQ(Errors, QStringList{"-ERR Mailbox locked\r\n"});
    EXPECT_FALSE(client.Log.contains("TOP 1 0"));
}

// The question waits until the cycle is over; the engine is free meanwhile.
TEST_F(CheckFailure, ALostConnectionAsksToConnectAfterTheCheck)
{
    AddAccount("Home", Two());
    Load();
    CheckNow();
    client.Drop();
    RunSteps();
    EXPECT_TRUE(host.Boxes.isEmpty());
    EXPECT_FALSE(engine->EngineBusy());
    host.RunPosted();
    EXPECT_EQ(host.Boxes,
              QStringList{"Connection Required | Connection required for this operation. Connect now? | main | Yes/No"});
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(Connections(client), 1) << "No connects nothing";
}

// Yes checks again: the blocked message is deleted by its own number and
// nothing is listed twice.
TEST_F(CheckFailure, YesToReconnectingChecksAgainListingEachMessageOnce)
{
    AddAccount("Home", {FakeMessage(" Ann", " One"), FakeMessage(" Spam", " buy"), FakeMessage(" Cid", " Three")});
    StoreBlockedSender(store, " Spam");
    Load();
    settings.SetSaveBlocked(false);
    CheckNow();
    client.Drop();
    host.Answers = {true};
    RunSteps();
    host.RunPosted();
    RunSteps();
    EXPECT_EQ(Connections(client), 2);
    EXPECT_EQ(client.Log.filter("DELE"), QStringList{"DELE 2"});
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home Three #2"}));
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

// The lost session's DELE was undone, so no number moves.
TEST_F(CheckFailure, ADeletionInALostSessionMovesNoNumber)
{
    AddAccount("Home", {FakeMessage(" Ann", " One"), FakeMessage(" Spam", " buy"), FakeMessage(" Cid", " Three"),
                        FakeMessage(" Dee", " Four")});
    StoreBlockedSender(store, " Spam");
    Load();
    settings.SetSaveBlocked(false);
    CheckNow();
    while (!client.Log.contains("TOP 3 0") && std::exchange(host.Timer1Armed, false))
        Run(&TCheckEngine::Timer1Timer);
    client.Drop();
    RunSteps();
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home Three #3"}));
    EXPECT_EQ(Mailbox("Home").Messages.size(), 4);
}

// --- overlap with a waiting client call -----------------------------------

class Overlap : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        AddAccount("Home", {FakeMessage(" Ann", " One"), FakeMessage(" Bea", " Two"), FakeMessage(" Cid", " Three")});
        Load();
        settings.SetInterval(1);
    }

    // Runs an entry point while the given command waits for its reply.
    void During(const QString& command, void (TCheckEngine::*entry)())
    {
        client.Waiting = [this, command, entry](const QString& sent) {
            if (sent != command || !logAtEntry.isEmpty())
                return;
            logAtEntry = client.Log;
            Run(entry);
            EXPECT_EQ(client.Log, logAtEntry) << "nothing sent while " << command.toStdString() << " waits";
        };
    }

    QStringList logAtEntry;
};

// The check under way is the one the tick asked for: starting it over
// would never let a long check finish.
TEST_F(Overlap, ADueTickDuringACheckIsTakenByIt)
{
    During("TOP 2 0", &TCheckEngine::TimerMainTimer);
    CheckNow();
    Run(&TCheckEngine::Timer1Timer);
    ASSERT_FALSE(logAtEntry.isEmpty());
    EXPECT_EQ(client.Log.mid(logAtEntry.size()), QStringList{"LIST 2"}) << "the summary ends undisturbed";
    ASSERT_EQ(host.Posted.size(), 1u);

    host.RunPosted();
    RunSteps();
    EXPECT_EQ(Connections(client), 1);
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home Two #2", "Home Three #3"}));
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(Overlap, CheckNowDuringATimedCheckWaitsForTheCall)
{
    During("PASS pw-Home", &TCheckEngine::actCheckNowExecute);
    Tick();
    EXPECT_FALSE(engine->EngineBusy());
    ASSERT_EQ(host.Posted.size(), 1u);
    host.RunPosted();
    EXPECT_TRUE(engine->EngineBusy()) << "now the user's check";
    EXPECT_EQ(Connections(client), 2);
    RunSteps();
    EXPECT_EQ(list.Count(), 3);
    EXPECT_FALSE(engine->EngineBusy());
}

TEST_F(Overlap, AStaleTimer1TickWaitsAndDoesNotDoubleTheStep)
{
    CheckNow();
    ASSERT_TRUE(std::exchange(host.Timer1Armed, false));
    During("TOP 2 0", &TCheckEngine::Timer1Timer);
    Run(&TCheckEngine::Timer1Timer);
    host.RunPosted();
    RunSteps();
    EXPECT_EQ(client.Log.count("TOP 2 0"), 1);
    EXPECT_EQ(client.Log.count("TOP 3 0"), 1);
    EXPECT_EQ(list.Count(), 3);
}

TEST_F(Overlap, ATickDuringAFailingCallStartsOverOnceTheFailureIsReported)
{
    client.SilentAfter = "TOP 2 0";
    During("TOP 2 0", &TCheckEngine::TimerMainTimer);
    CheckNow();
    Run(&TCheckEngine::Timer1Timer);
    EXPECT_EQ(Errors, QStringList{"Connection Timed out"});
    client.SilentAfter.clear();
    host.RunPosted();
    RunSteps();
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(host.Panels[0], "Done");
}

} // namespace
