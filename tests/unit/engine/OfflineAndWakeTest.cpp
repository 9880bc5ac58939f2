// Timed checks through a laptop's day: no network, a wake from sleep, and a
// server that asks for a pause between logins.

#include "EngineFixture.h"

namespace {

int Connections(const TFakeMailClient& client, const QString& host)
{
    return int(client.Log.count("connect " + host));
}

class OfflineAndWake : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        AddAccount("Home", {FakeMessage(" Ann", " One")});
        StoreAccount(store, "Local", "localhost", 110, "local", "pw-Local");
        client.Servers["localhost"] = {"local", "pw-Local", {FakeMessage(" Bea", " Two")}};
        Offline = [this] { return offline; };
        Rebuild();
        Load();
        settings.SetInterval(1);
    }

    bool offline = false;
};

TEST_F(OfflineAndWake, OfflineSkipsTheServersElsewhereSilentlyAndTheNetworksReturnChecks)
{
    Tick();
    RunSteps();
    ASSERT_EQ(Rows(), (QStringList{"Home One #1", "Local Two #1"}));

    offline = true;
    engine->NetworkChanged();
    Tick();
    RunSteps();
    EXPECT_EQ(Connections(client, "home.example.org"), 1) << "skipped";
    EXPECT_EQ(Connections(client, "localhost"), 2) << "this machine is always checked";
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Local Two #1"})) << "the skipped account's rows stay";
    EXPECT_EQ(host.Panels[0], "Offline");
    EXPECT_TRUE(host.Boxes.isEmpty() && host.Announced.isEmpty() && Errors.isEmpty());

    settings.Accounts().SetChecked(1, false);
    Tick();
    EXPECT_EQ(client.Log.count("QUIT"), 3) << "no connection at all";
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Local Two #1"})) << "nothing changes";

    offline = false;
    engine->NetworkChanged();
    EXPECT_EQ(host.CatchUpDelay, engine->Connection().CatchUpDelay);
    Run(&TCheckEngine::CatchUpTimer);
    RunSteps();
    EXPECT_EQ(Connections(client, "home.example.org"), 2);
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_EQ(host.MinuteRestarts, 1);
}

TEST_F(OfflineAndWake, AWakeChecksOnceTheNetworkIsUpAndCountsTheMinutesAfresh)
{
    settings.SetInterval(10);
    for (int minute = 0; minute < 4; ++minute)
        Tick();
    offline = true;
    Run(&TCheckEngine::SystemResumed);
    EXPECT_EQ(host.CatchUpDelay, -1) << "not before the network is up";
    offline = false;
    Run(&TCheckEngine::NetworkChanged);
    ASSERT_EQ(host.CatchUpDelay, engine->Connection().CatchUpDelay);
    Run(&TCheckEngine::CatchUpTimer);
    RunSteps();
    EXPECT_EQ(Connections(client, "home.example.org"), 1);
    EXPECT_EQ(engine->CheckCycle().MinutesElapsed, 0);
    EXPECT_EQ(host.MinuteRestarts, 1);

    host.CatchUpDelay = -1;
    Run(&TCheckEngine::SystemResumed);
    EXPECT_EQ(host.CatchUpDelay, engine->Connection().CatchUpDelay) << "woken with the network up";
    settings.SetCheckingEnabled(false);
    Run(&TCheckEngine::CatchUpTimer);
    EXPECT_EQ(Connections(client, "home.example.org"), 1) << "checking is off";
}

// CAPA's LOGIN-DELAY 300: timed checks keep the pause, keeping the rows;
// the user's own check does not wait.
TEST_F(OfflineAndWake, ALoginDelaySpacesTimedLoginsButNotTheUsers)
{
    Mailbox("Home").LoginDelay = 300;
    Tick();
    RunSteps();
    Clock = Clock.addSecs(240);
    Tick();
    RunSteps();
    EXPECT_EQ(Connections(client, "home.example.org"), 1);
    EXPECT_EQ(Connections(client, "localhost"), 2);
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Local Two #1"}));
    Clock = Clock.addSecs(60);
    Tick();
    RunSteps();
    EXPECT_EQ(Connections(client, "home.example.org"), 2);
    CheckNow();
    RunSteps();
    EXPECT_EQ(Connections(client, "home.example.org"), 3);
}

} // namespace
