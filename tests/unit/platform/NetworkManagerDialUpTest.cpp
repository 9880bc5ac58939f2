#include "platform/NetworkManagerDialUp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

// Stands in for nmcli: records every argument list and answers as told.
class NmcliRecorder
{
public:
    ProcessResult Reply {true, 0, {}};
    QList<QStringList> Calls;

    TNetworkManagerDialUp::Nmcli AsNmcli()
    {
        return [this](const QStringList& arguments) {
            Calls << arguments;
            return Reply;
        };
    }
};

QStringList up(const QString& name)
{
    return {"--wait", "30", "connection", "up", "id", name};
}

QStringList down(const QString& name)
{
    return {"connection", "down", "id", name};
}

class DialUp : public testing::Test
{
protected:
    NmcliRecorder nmcli;
    TNetworkManagerDialUp dialUp {nmcli.AsNmcli()};
};

}

TEST_F(DialUp, DialBringsTheNamedConnectionUpAndHangUpTakesItDown)
{
    quint32 home = 0, work = 0;
    ASSERT_TRUE(dialUp.Dial("Home DSL", home));
    ASSERT_TRUE(dialUp.Dial("Work VPN", work));
    EXPECT_NE(home, 0u);
    EXPECT_NE(work, 0u);
    EXPECT_NE(home, work);

    dialUp.HangUp(work);
    dialUp.HangUp(home);
    dialUp.HangUp(home); // already down: nothing more to do
    dialUp.HangUp(0);
    EXPECT_THAT(nmcli.Calls, ElementsAre(up("Home DSL"), up("Work VPN"), down("Work VPN"), down("Home DSL")));
}

// The name is the user's text: it must reach nmcli as one argument, whatever it holds.
TEST_F(DialUp, NamesReachNmcliUnchanged)
{
    const QStringList names {"-x", "a b\"c'd", "$(touch /tmp/pw-owned); `id` | x", "Café ☕", "back\\slash"};
    for (const QString& name : names) {
        quint32 handle = 0;
        ASSERT_TRUE(dialUp.Dial(name, handle));
        dialUp.HangUp(handle);
        EXPECT_EQ(nmcli.Calls.mid(nmcli.Calls.size() - 2), QList<QStringList>({up(name), down(name)}));
    }
}

TEST_F(DialUp, FailedDialLeavesNothingToHangUp)
{
    for (const ProcessResult& failure : {ProcessResult {true, 10, {}}, ProcessResult {false, -1, {}}}) {
        nmcli.Reply = failure;
        quint32 handle = 77;
        EXPECT_FALSE(dialUp.Dial("Home DSL", handle));
        EXPECT_EQ(handle, 0u);
        dialUp.HangUp(handle);
    }
    EXPECT_THAT(nmcli.Calls, ElementsAre(up("Home DSL"), up("Home DSL")));

    quint32 handle = 77;
    EXPECT_FALSE(dialUp.Dial("", handle)) << "no entry chosen";
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(nmcli.Calls.size(), 2);
}

TEST_F(DialUp, ConnectoidsAreNetworkManagersConnectionNames)
{
    nmcli.Reply.Output = "Wired connection 1\nHome: DSL\nback\\slash\n";
    EXPECT_THAT(dialUp.Connectoids(), ElementsAre("Wired connection 1", "Home: DSL", "back\\slash"));
    EXPECT_THAT(nmcli.Calls, ElementsAre(QStringList {"--terse", "--escape", "no", "--fields", "NAME", "connection", "show"}));

    nmcli.Reply = {true, 8, "Error: NetworkManager is not running.\n"};
    EXPECT_THAT(dialUp.Connectoids(), IsEmpty());
    nmcli.Reply = {false, -1, {}};
    EXPECT_THAT(dialUp.Connectoids(), IsEmpty());
}

// Without NetworkManager (nmcli missing, or its daemon not running) dialling
// fails; a connection of this name exists nowhere, so the real call fails too.
TEST(DialUpWithoutNetworkManager, DialFails)
{
    TNetworkManagerDialUp dialUp;
    quint32 handle = 5;
    EXPECT_FALSE(dialUp.Dial("postwatch-test-no-such-connection", handle));
    EXPECT_EQ(handle, 0u);
}
