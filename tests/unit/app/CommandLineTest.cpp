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

TEST(CommandLine, OptionsChooseWhatRunsAndAWordIsNeverAnUnknownOption)
{
    const auto mode = [](const QStringList& arguments) { return CommandLine::Parse(arguments).Mode; };
    EXPECT_EQ(mode({"postwatch"}), CommandLine::Run);
    EXPECT_EQ(mode({"postwatch", "-CheckNow", "--VISIBLE"}), CommandLine::Run);
    EXPECT_EQ(mode({"postwatch", "anything"}), CommandLine::Run) << "other words stay ignored";
    EXPECT_EQ(mode({"postwatch", "--check"}), CommandLine::Check);
    EXPECT_EQ(mode({"postwatch", "-h"}), CommandLine::Help);
    EXPECT_EQ(mode({"postwatch", "--list", "--version"}), CommandLine::Version);

    const CommandLine panel = CommandLine::Parse({"postwatch", "--json", "--list"});
    EXPECT_EQ(panel.Mode, CommandLine::List);
    EXPECT_TRUE(panel.Json);

    for (const QStringList& wrong : {QStringList{"postwatch", "--frob"}, {"postwatch", "--json"},
                                     {"postwatch", "--check", "--list"}, {"postwatch", "-x"}}) {
        const CommandLine line = CommandLine::Parse(wrong);
        EXPECT_EQ(line.Mode, CommandLine::Invalid) << wrong.join(' ').toStdString();
        EXPECT_FALSE(line.Problem.isEmpty());
        EXPECT_FALSE(line.Problem.contains('\n'));
    }
}

// An account may be called "Visible" or "Checknow Home": its name is no word.
TEST(CommandLine, SignInTakesTheWholeAccountNameAndGoesAlone)
{
    const CommandLine words = CommandLine::Parse({"postwatch", "--sign-in", "Checknow Visible"});
    EXPECT_EQ(words.Mode, CommandLine::SignIn);
    EXPECT_EQ(words.Account, "Checknow Visible");
    EXPECT_EQ(CommandLine::Parse({"postwatch", "--sign-in=visible"}).Account, "visible");

    for (const QStringList& wrong : {QStringList{"postwatch", "--sign-in", "Home", "--check"},
                                     {"postwatch", "--sign-in", " "}, {"postwatch", "--sign-in"}})
        EXPECT_EQ(CommandLine::Parse(wrong).Mode, CommandLine::Invalid) << wrong.join(' ').toStdString();
}
