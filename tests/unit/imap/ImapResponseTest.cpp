#include "imap/ImapResponse.h"

#include <gtest/gtest.h>

namespace {

using TKind = TImapValue::TKind;

// Every response the bytes make, fed one byte at a time so that literals and
// lines arrive split at every possible point.
QList<TImapResponse> ByteByByte(const QByteArray& bytes, qint64 limit = 1024 * 1024)
{
    TImapParser parser(limit);
    QList<TImapResponse> responses;
    for (char c : bytes) {
        parser.Feed(QByteArray(1, c));
        while (std::optional<TImapResponse> response = parser.Next())
            responses.append(*response);
    }
    EXPECT_FALSE(parser.HoldsBytes());
    return responses;
}

QString ErrorOf(const QByteArray& bytes, qint64 limit = 1024 * 1024)
{
    TImapParser parser(limit);
    try {
        parser.Feed(bytes);
        while (parser.Next()) {
        }
    } catch (const EImapProtocol& error) {
        return error.Message;
    }
    return {};
}

} // namespace

TEST(imapParser, ReadsFetchValuesOfEveryKindSplitAnywhere)
{
    const QList<TImapResponse> responses = ByteByByte(
        "* 12 FETCH (UID 7 FLAGS (\\Seen $Junk) BODY[HEADER.FIELDS (FROM SUBJECT)] {13}\r\nFrom: a\r\n\r\n\r\n"
        " X NIL \"q\\\"uo\\\\te \xe9\")\r\n");
    ASSERT_EQ(responses.size(), 1);
    const TImapResponse& fetch = responses.first();
    EXPECT_EQ(fetch.Kind, TImapResponse::TKind::Untagged);
    EXPECT_EQ(fetch.Number, 12u);
    EXPECT_EQ(fetch.Name, "FETCH");
    ASSERT_EQ(fetch.Data.size(), 1);
    const QList<TImapValue>& items = fetch.Data.first().Items;
    ASSERT_EQ(items.size(), 9);
    EXPECT_EQ(items[1].Kind, TKind::Number);
    EXPECT_EQ(items[1].Number(), 7u);
    EXPECT_EQ(items[3].Items.size(), 2);
    EXPECT_TRUE(items[3].Items[0].IsAtom("\\seen"));
    EXPECT_EQ(items[4].Text, "BODY[HEADER.FIELDS (FROM SUBJECT)]") << "a section's list stays in its atom";
    EXPECT_EQ(items[5].Kind, TKind::String);
    EXPECT_EQ(items[5].Text, "From: a\r\n\r\n\r\n") << "a literal's CR LF are data, not the line's end";
    EXPECT_EQ(items[6].Kind, TKind::Atom);
    EXPECT_EQ(items[7].Kind, TKind::Nil);
    EXPECT_EQ(items[8].Text, "q\"uo\\te \xe9") << "escapes undone, 8-bit bytes kept";
}

TEST(imapParser, ReadsNestedListsAndEmptyAndNonSynchronisingLiterals)
{
    const QList<TImapResponse> responses = ByteByByte("* LIST (a (b {0}\r\n) ~{3}\r\nx)y {2+}\r\nzz) \"/\" INBOX\r\n");
    ASSERT_EQ(responses.size(), 1);
    const QList<TImapValue>& data = responses.first().Data;
    ASSERT_EQ(data.size(), 3);
    const TImapValue& outer = data[0];
    ASSERT_EQ(outer.Items.size(), 4);
    EXPECT_EQ(outer.Items[1].Items.size(), 2);
    EXPECT_EQ(outer.Items[1].Items[1].Kind, TKind::String);
    EXPECT_EQ(outer.Items[1].Items[1].Text, "");
    EXPECT_EQ(outer.Items[2].Text, "x)y") << "a literal holds parentheses as data";
    EXPECT_EQ(outer.Items[3].Text, "zz");
    EXPECT_EQ(data[2].Text, "INBOX");
}

TEST(imapParser, ReadsStatusCodesTagsAndContinuations)
{
    const QList<TImapResponse> responses = ByteByByte("* OK [UIDVALIDITY 3857529045] UIDs valid\r\n"
                                                      "* ok [capability IMAP4rev2 IDLE AUTH=PLAIN] Hi (there\r\n"
                                                      "A7 NO [TRYCREATE] No such folder\r\n"
                                                      "A8 OK [READ-ONLY] EXAMINE completed\r\n"
                                                      "+ idling\r\n"
                                                      "* 3 EXISTS\r\n");
    ASSERT_EQ(responses.size(), 6);
    EXPECT_TRUE(responses[0].HasCode("UIDVALIDITY"));
    EXPECT_EQ(responses[0].Code[1].Number(), 3857529045u);
    EXPECT_EQ(responses[0].Text, "UIDs valid");
    EXPECT_EQ(responses[1].Name, "OK");
    EXPECT_TRUE(responses[1].HasCode("CAPABILITY"));
    EXPECT_EQ(responses[1].Code.size(), 4);
    EXPECT_EQ(responses[1].Text, "Hi (there") << "free text is not parsed";
    EXPECT_EQ(responses[2].Kind, TImapResponse::TKind::Tagged);
    EXPECT_EQ(responses[2].Tag, "A7");
    EXPECT_TRUE(responses[2].HasCode("TRYCREATE"));
    EXPECT_TRUE(responses[3].HasCode("READ-ONLY"));
    EXPECT_EQ(responses[4].Kind, TImapResponse::TKind::Continuation);
    EXPECT_EQ(responses[4].Text, "idling");
    EXPECT_EQ(responses[5].Number, 3u);
    EXPECT_EQ(responses[5].Name, "EXISTS");
}

TEST(imapParser, RefusesBrokenGrammar)
{
    EXPECT_EQ(ErrorOf("* 1 FETCH (UID 5\r\n"), "sent a reply whose parentheses do not match");
    EXPECT_EQ(ErrorOf("* 1 FETCH (UID 5))\r\n"), "sent a reply whose parentheses do not match");
    EXPECT_EQ(ErrorOf("* LIST () \"/ INBOX\r\n"), "sent a quoted string without its end");
    EXPECT_EQ(ErrorOf("* OK [ALERT text\r\n"), "sent a reply whose parentheses do not match");
    EXPECT_EQ(ErrorOf("* 99999999999 EXISTS\r\n"), "sent a message number beyond 32 bits");
    EXPECT_EQ(ErrorOf("* 1 FETCH (BODY[HEADER 1)\r\n"), "sent a reply whose brackets do not match");
    EXPECT_EQ(ErrorOf("\r\n"), "sent a reply without a tag");
}

TEST(imapParser, KeepsWithinItsLimit)
{
    EXPECT_EQ(ErrorOf("* 1 FETCH (BODY[] {2147483648}\r\n", 64 * 1024 * 1024),
              "announced 2147483648 bytes of data at once, more than the 64 MiB a session may hold");
    EXPECT_EQ(ErrorOf("* 1 FETCH (BODY[] {99999999999999999999999}\r\n"),
              "announced 99999999999999999999 bytes of data at once, more than the 1 MiB a session may hold");

    TImapParser parser(1024 * 1024);
    const QByteArray endless(64 * 1024, 'x');
    EXPECT_THROW(
        {
            for (int i = 0; i < 20; ++i)
                parser.Feed(endless);
        },
        EImapProtocol)
        << "a line without an end";

    // What was taken is let go: a long session of small responses never fills it.
    TImapParser steady(1024);
    for (int i = 0; i < 1000; ++i) {
        steady.Feed("* OK Still here\r\n");
        ASSERT_TRUE(steady.Next());
    }
}
