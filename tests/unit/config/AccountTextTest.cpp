// What the account dialog stores and a check reads of a pasted server name.

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
