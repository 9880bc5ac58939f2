// Mark as Read of a listed message, and the accounts whose servers tell of
// their changes as they happen, as the status bar, the tray's hint and
// --list say them.

#include "EngineFixture.h"
#include "engine/Listing.h"
#include "tests/support/ScriptedMailSource.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <map>

namespace {

class ReadMarksAndWatching : public EngineTest
{
protected:
    // Home lists Ann and Bea; Work lists nothing.
    void SetUp() override
    {
        EngineTest::SetUp();
        AddAccount("Home", {});
        AddAccount("Work", {});
        Load();
        MakeSource = [this](const QString& account) {
            auto made = std::make_unique<TScriptedMailSource>(account);
            if (account == "Home") {
                made->Add(" Ann", " One", "u1");
                made->Add(" Bea", " Two", "u2");
            }
            sources[account] = made.get();
            return made;
        };
        Rebuild();
        CheckNow();
        ASSERT_EQ(Rows(), (QStringList{"Home One #1", "Home Two #2"}));
    }

    void MarkRead(int row) { Guarded([&] { engine->actMarkReadExecute(row); }); }

    TScriptedMailSource& Home() { return *sources.at("Home"); }
    TScriptedMailSource& Work() { return *sources.at("Work"); }

    std::map<QString, TScriptedMailSource*> sources;
};

}

TEST_F(ReadMarksAndWatching, MarkAsReadTakesTheRowAwayAndAMessageNoLongerThereIsRefusedInWords)
{
    EXPECT_TRUE(engine->CanMarkRead(1));
    EXPECT_FALSE(engine->CanMarkRead(-1));
    EXPECT_FALSE(engine->CanMarkRead(2));

    Home().MarkAnswer = TScriptedMailSource::TAnswer::Missing;
    MarkRead(0);
    EXPECT_EQ(Home().Marked, QStringList{"u1"});
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home Two #2"}));
    EXPECT_EQ(host.Boxes, QStringList{"Mark as Read | This message is no longer on the server as listed. "
                                      "Check for mail again. | main"});
    EXPECT_FALSE(engine->EngineBusy());

    Home().MarkAnswer = TScriptedMailSource::TAnswer::Marked;
    MarkRead(0);
    EXPECT_EQ(Rows(), QStringList{"Home Two #2"}) << "the other rows keep their numbers";
    const int withdrawn = host.NoticesWithdrawn;
    MarkRead(0);
    EXPECT_TRUE(Rows().isEmpty());
    EXPECT_EQ(host.NoticesWithdrawn, withdrawn + 1) << "the list is empty: no notice tells of mail";
    EXPECT_EQ(host.Boxes.size(), 1);
}

// While the server has not answered, the engine is busy; once it has, a
// dropped connection is the account's failure, not the action's.
TEST_F(ReadMarksAndWatching, MarkAsReadHoldsTheEngineUntilAnsweredAndThenLetsGo)
{
    Home().MarkAnswer = TScriptedMailSource::TAnswer::None;
    MarkRead(0);
    EXPECT_TRUE(engine->EngineBusy());
    MarkRead(1);
    EXPECT_EQ(host.Told.count("beep"), 1);
    EXPECT_EQ(Home().Marked, QStringList{"u1"});

    emit Home().MarkedRead({"Home", "u1"});
    EXPECT_FALSE(engine->EngineBusy());
    EXPECT_EQ(Rows(), QStringList{"Home Two #2"});

    emit Home().Failed({TFailureKind::Network, QStringLiteral("Connection reset by peer")});
    EXPECT_TRUE(host.Boxes.isEmpty() && Errors.isEmpty()) << "told once, without a box, as between checks";
    EXPECT_EQ(host.Announced.size(), 1);
}

// A server without a way to remove one message alone only marks it: the
// row goes, and the user learns when the message will.
TEST_F(ReadMarksAndWatching, ADeleteThatWaitsForTheExpungeSaysSoAfterTheRowIsGone)
{
    Home().DeletesAtExpunge = true;
    host.Answers = {true};
    Guarded([&] { engine->actDeleteExecute(0); });
    EXPECT_EQ(Rows(), QStringList{"Home Two #1"});
    host.RunPosted();
    ASSERT_EQ(host.Boxes.size(), 2) << host.Boxes.join('\n').toStdString();
    EXPECT_TRUE(host.Boxes.last().startsWith("Delete Message | Home's server keeps deleted messages"));
}

using Pop3ReadMarks = EngineTest;

TEST_F(Pop3ReadMarks, APop3AccountsRowCannotBeMarkedRead)
{
    AddAccount("Home", {FakeMessage(" Ann", " One")});
    Load();
    CheckNow();
    RunSteps();
    ASSERT_EQ(Rows(), QStringList{"Home One #1"});
    EXPECT_FALSE(engine->CanMarkRead(0));
    Guarded([&] { engine->actMarkReadExecute(0); });
    EXPECT_EQ(Rows(), QStringList{"Home One #1"});
    EXPECT_EQ(Errors, QStringList{"The messages of Home cannot be marked read on the server."});
    EXPECT_FALSE(engine->EngineBusy());
}

// Panel 0 and the tray say which accounts are watched live and which
// reconnect since when, a dropped one's failure said as its reconnecting.
TEST_F(ReadMarksAndWatching, WatchedAccountsAreToldInPanelZeroTheTrayAndTheListing)
{
    EXPECT_EQ(host.Panels[0], "Done");
    Home().Watch.Live = true;
    Work().Watch.Live = true;
    emit Home().WatchChanged();
    EXPECT_EQ(host.Panels[0], "Watching Home, Work live");
    EXPECT_EQ(host.Watching, QStringList{"Watching Home, Work live"});

    const QDateTime dropped(Clock.date(), QTime(14, 2));
    emit Work().Failed({TFailureKind::Network, QStringLiteral("Connection reset by peer")});
    Work().Watch = {false, dropped};
    emit Work().WatchChanged();
    const QString reconnecting = "Work: reconnecting since " + At(14, 2);
    EXPECT_EQ(host.Panels[0], reconnecting + " (+1 more)");
    EXPECT_EQ(host.Watching, (QStringList{reconnecting, "Watching Home live"}));

    const TListing sent = TListing::FromJson(
        TListing::Of(list, {}, &engine->StandingFailures(), engine->Watched()).ToJson());
    EXPECT_TRUE(sent.Text().endsWith("Home: watched live\n" + reconnecting + "\n")) << sent.Text().toStdString();
    const QJsonObject panel = QJsonDocument::fromJson(sent.PanelJson()).object();
    EXPECT_EQ(panel["watching"].toArray(),
              (QJsonArray{QJsonObject{{"account", "Home"}, {"live", true}},
                          QJsonObject{{"account", "Work"},
                                      {"live", false},
                                      {"retryingSince", dropped.toUTC().toString(Qt::ISODate)}}}));
    EXPECT_EQ(panel["failed"].toArray().size(), 1);
}
