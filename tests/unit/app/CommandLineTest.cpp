#include "app/CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLine, FindsTheWordsInAnyCaseAndPosition)
{
    const CommandLine slash = CommandLine::Parse({"/usr/bin/postwatch", "/CheckNow"});
    EXPECT_TRUE(slash.CheckNow);
    EXPECT_FALSE(slash.Visible);
    EXPECT_EQ(slash.Text, "/usr/bin/postwatch /CheckNow");

    const CommandLine glued = CommandLine::Parse({"postwatch", "-xVISIBLEx"});
    EXPECT_TRUE(glued.Visible);
    EXPECT_FALSE(glued.CheckNow);

    // Anywhere in the line, the program's own path included.
    EXPECT_TRUE(CommandLine::Parse({"/opt/checknow/postwatch"}).CheckNow);
}

TEST(CommandLine, SecondStartAsksToBeShownUnlessItOnlyWantsACheck)
{
    EXPECT_EQ(CommandLine::Parse({"postwatch"}).ForwardedWords(), QStringList{"show"});
    EXPECT_EQ(CommandLine::Parse({"postwatch", "checknow"}).ForwardedWords(), QStringList{"checknow"});
    EXPECT_EQ(CommandLine::Parse({"postwatch", "visible"}).ForwardedWords(), QStringList{"show"});
    // Shown first: the check's network waits would hold the window back.
    EXPECT_EQ(CommandLine::Parse({"postwatch", "checknow", "visible"}).ForwardedWords(),
              (QStringList{"show", "checknow"}));
}
