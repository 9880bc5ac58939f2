// What the account dialog stores and a check reads of a pasted server or folder name.

#include "config/AccountText.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(AccountText, BlanksAroundAreDroppedAndOnlyABlankInsideAServerIsRefused)
{
    EXPECT_EQ(AccountText(u"\t pop.example.org\u00a0 "_s), "pop.example.org");
    EXPECT_EQ(AccountServerProblem(u" pop.example.org\u00a0"_s), "");
    EXPECT_EQ(AccountServerProblem(u" pop .example.org "_s), "The server name \"pop .example.org\" has a blank in it.");
    EXPECT_EQ(AccountServerProblem(u"  "_s), "The server name is empty.");
}

// A line break would end the command that names the folder and start another.
TEST(AccountText, AFolderMayHoldBlanksAndAnySlashButNoControlCharacter)
{
    EXPECT_EQ(AccountFolderProblem(u" Sent Items/2024 "_s), "");
    EXPECT_EQ(AccountFolderProblem(u"Archiv/Übersicht"_s), "");
    EXPECT_EQ(AccountFolderProblem(u"INBOX\r\nA1 DELETE INBOX"_s),
              "A folder name cannot contain a line break or another control character.");
    EXPECT_EQ(AccountFolderProblem(u"a\u0001b"_s), "A folder name cannot contain a line break or another control character.");
}
