#include "pop3/HeaderText.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(pop3HeaderText, DecodesEncodedWordsInTheirCharsets)
{
    EXPECT_EQ(DecodeHeaderText(" =?UTF-8?B?R3LDvMOfZQ==?= aus Wien"), QString::fromUtf8(" Grüße aus Wien"));
    EXPECT_EQ(DecodeHeaderText(" =?iso-8859-1?q?caf=E9_cr=E8me?="), QString::fromUtf8(" café crème"));
    EXPECT_EQ(DecodeHeaderText("=?ISO-8859-15?Q?10_=A4?="), QString::fromUtf8("10 €"));
    EXPECT_EQ(DecodeHeaderText("=?KOI8-R?B?8NLJ18XU?="), QString::fromUtf8("Привет"));
    EXPECT_EQ(DecodeHeaderText("=?windows-1251?Q?=CF=F0=E8=E2=E5=F2?="), QString::fromUtf8("Привет"));
    EXPECT_EQ(DecodeHeaderText("=?Shift_JIS?B?g2WDWINn?="), QString::fromUtf8("テスト")) << "two bytes a character";
    EXPECT_EQ(DecodeHeaderText("\"=?utf-8?q?Ann_L=C3=A9e?=\" <ann@example.org>"),
              QString::fromUtf8("\"Ann Lée\" <ann@example.org>"));
    EXPECT_EQ(DecodeHeaderText("=?utf-8*en?q?Hi?="), "Hi") << "a language suffix";
}

TEST(pop3HeaderText, JoinsAdjacentWordsAndKeepsOtherBlanks)
{
    EXPECT_EQ(DecodeHeaderText("=?utf-8?q?a?= =?utf-8?q?b?=\t=?iso-8859-1?q?c?="), "abc");
    EXPECT_EQ(DecodeHeaderText("=?utf-8?q?a?= b =?utf-8?q?c?="), "a b c");
    EXPECT_EQ(DecodeHeaderText("=?utf-8?B?w6k=?=  =?utf-8?q?_x?="), QString::fromUtf8("é x"));
    // One character's bytes split across two words.
    EXPECT_EQ(DecodeHeaderText("=?utf-8?q?=C3?= =?utf-8?q?=A9?="), QString::fromUtf8("é"));
}

TEST(pop3HeaderText, LeavesWhatDoesNotDecodeAsItCame)
{
    for (const char* text : {"=?utf-8?q?bad=ZZ?=", "=?utf-8?b?!!!?=", "=?x-no-such-set?q?a?=", "=?utf-8?q?=FF?=",
                             "=?shift_jis?q?=83e=83?=", "=?utf-8?x?a?=", "=?utf-8?q?open", "plain ?= text =?", ""})
        EXPECT_EQ(DecodeHeaderText(QString::fromLatin1(text)), QString::fromLatin1(text)) << text;
    EXPECT_EQ(DecodeHeaderText("=?utf-8?q?=FF?= =?utf-8?q?ok?="), "=?utf-8?q?=FF?= =?utf-8?q?ok?=")
        << "a run that fails stays whole";
    EXPECT_EQ(DecodeHeaderText("=?bogus?q?a?= =?utf-8?q?b?="), "=?bogus?q?a?= b");
}

TEST(pop3HeaderText, TurnsControlCharactersIntoBlanks)
{
    EXPECT_EQ(DecodeHeaderText("=?utf-8?q?a=0D=0Ab=1B[2Jc?=\td"), "a  b [2Jc d");
}

// Each mark is what a hostile sender would use: a C1 control (CSI, NEL),
// DEL, a line or paragraph separator that starts a line of its own, and
// the bidirectional controls that reorder what is read.
TEST(pop3HeaderText, CleansWhatCouldBreakALineOrReorderTheText)
{
    EXPECT_EQ(CleanedText(u"a\u009b2Jb\u0085c\u007fd\u2028IT Support\u2029e"_s), "a 2Jb c d IT Support e");
    EXPECT_EQ(CleanedText(u"Invoice \u202efdp.exe"_s), "Invoice fdp.exe");
    EXPECT_EQ(CleanedText(u"\u202a\u202b\u202c\u202d\u2066\u2067\u2068\u2069\u200e\u200f\u061cx"_s), "x");
    const QString rightToLeft = u"שלום مرحبا 12"_s;
    EXPECT_EQ(CleanedText(rightToLeft), rightToLeft) << "only the invisible controls go";
    EXPECT_EQ(CleanedText(u"😀\u00e9"_s), u"😀\u00e9"_s);
    EXPECT_EQ(DecodeHeaderText("=?utf-8?q?Hi=E2=80=A8IT=E2=80=AEfdp.exe?="), "Hi ITfdp.exe") << "decoded, then cleaned";
    EXPECT_EQ(CleanedText(u"pay\u200bpal\u00ad\u2060\ufeff\U000E0041"_s), "paypal") << "what shows nothing goes";
    const QString joined = u"👩\u200d💻 \u0645\u200c\u06cc"_s;
    EXPECT_EQ(CleanedText(joined), joined) << "the joiners emoji and scripts need stay";
}

// A server's line, however long, for a panel or a terminal; a box's lines
// keep their breaks and blanks.
TEST(pop3HeaderText, ShownLinesAreCleanedAndBounded)
{
    EXPECT_EQ(CleanedLine(u"  -ERR\r\n\x1b]0;owned\x07 locked \r\n"_s), "-ERR ]0;owned locked");
    EXPECT_EQ(CleanedLines(u"Failed to connect\n\n-ERR \x1b[2J"_s), "Failed to connect\n\n-ERR  [2J");
    const QString endless(1 << 20, u'x');
    EXPECT_EQ(CleanedLine(endless), QString(MaxShownLine - 1, u'x') + u"…"_s);
    EXPECT_EQ(CleanedLine(QString(MaxShownLine - 2, u'x') + u"😀yy"_s), QString(MaxShownLine - 2, u'x') + u"…"_s)
        << "never half a character";
    EXPECT_EQ(CleanedLines(QString(1000, u'\n')).count(u'\n'), MaxShownLines - 1);
}

TEST(pop3HeaderText, UnfoldsTheLastFieldOfAName)
{
    const TExStringList header{"Subject: old", "From: Ann", "Subject: =?utf-8?q?first?=", " =?utf-8?q?_second?=",
                               "\tthird", "To: Bob", " not subject"};
    EXPECT_EQ(UnfoldedField(header, "Subject:", "x"), " =?utf-8?q?first?= =?utf-8?q?_second?=\tthird");
    EXPECT_EQ(DecodeHeaderText(UnfoldedField(header, "Subject:", "x")), " first second third");
    EXPECT_EQ(UnfoldedField(header, "From:", "x"), " Ann");
    EXPECT_EQ(UnfoldedField({"From: Ann", "FROM: Bob", "\tHill"}, "From:", "x"), " Bob\tHill") << "names match in any case";
}
