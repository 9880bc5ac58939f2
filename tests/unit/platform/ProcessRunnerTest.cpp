#include "platform/ProcessRunner.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

TEST(RunProcess, GivesExitCodeAndOutputWithArgumentsPassedLiterally)
{
    const QString text = "a b;$(echo no) `x` 'q' \"z\" *";
    const ProcessResult printed = RunProcess("printf", {"%s", text}, 5000);
    EXPECT_TRUE(printed.Succeeded());
    EXPECT_EQ(QString::fromUtf8(printed.Output), text);

    const ProcessResult failed = RunProcess("false", {}, 5000);
    EXPECT_TRUE(failed.Finished);
    EXPECT_NE(failed.ExitCode, 0);
    EXPECT_FALSE(failed.Succeeded());
}

TEST(RunProcess, MissingProgramFails)
{
    EXPECT_FALSE(RunProcess("postwatch-no-such-program", {}, 5000).Succeeded());
}

TEST(RunProcess, OverrunningProgramIsStoppedAndEventsGoOnMeanwhile)
{
    bool tickSeen = false;
    QTimer::singleShot(50, [&] { tickSeen = true; });
    QElapsedTimer clock;
    clock.start();
    const ProcessResult result = RunProcess("sleep", {"10"}, 300);
    EXPECT_FALSE(result.Finished);
    EXPECT_FALSE(result.Succeeded());
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(tickSeen) << "the event loop must run while the program runs";
}
