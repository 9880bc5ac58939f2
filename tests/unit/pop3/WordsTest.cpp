#include "base/Words.h"

#include <gtest/gtest.h>

TEST(pop3Words, SplitsAtOneDelimiterAndKeepsTheRestInTheLastWord)
{
    const QByteArray line = "+OK 4  655\r\n";
    EXPECT_EQ(Word(line, 1), "+OK");
    EXPECT_EQ(Word(line, 2), "4");
    EXPECT_EQ(Word(line, 3), "") << "two delimiters in a row";
    EXPECT_EQ(Word(line, 4), "655\r\n");
    EXPECT_EQ(Word(line, 5), "");
    EXPECT_EQ(Word("+OK\r\n", 1), "+OK\r\n");
    EXPECT_EQ(Word("a,b", 2, ','), "b");
}

TEST(pop3Words, WireTextKeepsEveryByte)
{
    EXPECT_EQ(WireText("Gr\xc3\xbc\xc3\x9f" "e"), QString::fromUtf8("Grüße"));
    EXPECT_EQ(WireText("Gr\xfc\xdf" "e"), QString::fromUtf8("Grüße")) << "not UTF-8: Latin-1";
}
