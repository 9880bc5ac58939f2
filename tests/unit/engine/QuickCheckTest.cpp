// Checks that know the messages an earlier check read: by their unique ids,
// from a summary cache in a real file.

#include "EngineFixture.h"
#include "engine/SummaryCache.h"

#include <QTemporaryDir>

namespace {

class QuickCheck : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        AddAccount("Home", {FakeMessage(" Ann", " One"), FakeMessage(" Spam", " buy"), FakeMessage(" Cid", " Three", 1),
                            FakeMessage(" Dee", " Four", 5, 0)});
        for (int i = 0; i < 4; ++i)
            Mailbox("Home").Messages[i].Uid = QStringLiteral("u%1").arg(i + 1);
        StoreBlockedSender(store, " Spam");
        Load();
        settings.SetSaveBlocked(true);
        settings.SetBlockZeroLength(true);
        Cache = &cache;
        Rebuild();
    }

    // The list as the rows show it, numbers and texts.
    QStringList Check()
    {
        client.Log.clear();
        CheckNow();
        RunSteps();
        QStringList rows;
        for (int row = 0; row < list.Count(); ++row) {
            const MessageEntry& e = list.Entry(row);
            rows << QStringList{e.Account, QString::number(e.Number), e.ReadableFrom, e.ReadableSubject, QString::number(e.Bytes), e.Priority, e.Received}.join('|');
        }
        return rows;
    }

    void SetQuickCheck(bool on)
    {
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::Accounts + QStringLiteral("\\Home"), false);
        reg.WriteInteger("QuickCheck", on ? 1 : 0);
    }

    QTemporaryDir dir;
    TSummaryCache cache{dir.filePath("summary-cache")};
};

// The same rows, numbers and deletions as the full check, and a re-check
// that sends no TOP at all.
TEST_F(QuickCheck, ListsWhatTheFullCheckListsAndAReCheckReadsNoHeader)
{
    Mailbox("Home").Messages << Mailbox("Home").Messages[1];
    Mailbox("Home").Messages[4].Uid = "u5";
    SetQuickCheck(false);
    const QStringList full = Check();
    EXPECT_FALSE(client.Log.contains("UIDL"));
    SetQuickCheck(true);
    EXPECT_EQ(Check(), full);
    EXPECT_EQ(client.Log.filter("TOP").size(), 5);
    EXPECT_EQ(Check(), full);
    EXPECT_TRUE(client.Log.filter("TOP").isEmpty()) << client.Log.join(',').toStdString();
    EXPECT_TRUE(client.Log.contains("UIDL") && client.Log.contains("LIST"));
    EXPECT_EQ(host.Panels[0], "Done");

    settings.SetSaveBlocked(false);
    Check();
    EXPECT_EQ(client.Log.filter("DELE"), (QStringList{"DELE 2", "DELE 4", "DELE 5"}));
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home Three #2"})) << "numbered as the server numbers them after QUIT";
}

// A new message is read, a removed one forgotten; a row made from the
// cache is known again by its id for Delete.
TEST_F(QuickCheck, ANewMessageIsReadAndARemovedOneForgotten)
{
    Check();
    Mailbox("Home").Messages.removeFirst();
    Mailbox("Home").Messages << FakeMessage(" Eve", " Five");
    Mailbox("Home").Messages.last().Uid = "u6";
    Check();
    EXPECT_EQ(client.Log.filter("TOP"), QStringList{"TOP 4 0"});
    EXPECT_EQ(Rows(), (QStringList{"Home Three #2", "Home Five #4"}));
    const QString mailbox = TSummaryCache::Mailbox("Home", "home.example.org", "home");
    TSummaryCache reread(dir.filePath("summary-cache"));
    EXPECT_EQ(reread.Find(mailbox, "u1"), nullptr);
    EXPECT_NE(reread.Find(mailbox, "u6"), nullptr);

    Mailbox("Home").Messages.removeFirst();
    host.Answers = {true};
    client.Log.clear();
    Guarded([&] { engine->actDeleteExecute(0); });
    EXPECT_TRUE(client.Log.contains("UIDL 2")) << client.Log.join(',').toStdString();
    EXPECT_TRUE(client.Log.filter("DELE").isEmpty()) << "the number is another message's now";
    EXPECT_FALSE(client.Log.contains("TOP 2 0"));
}

// A server may give a new message the unique id of a deleted one: a cached
// row stands for it only at the same size, and a row from a file without
// sizes never deletes before its header is read again.
TEST_F(QuickCheck, AReusedUniqueIdIsReadAgainBeforeAnyDeletion)
{
    Check();
    settings.SetSaveBlocked(false);
    Mailbox("Home").Messages[1] = FakeMessage(" Eve", " New", 3, 180);
    Mailbox("Home").Messages[1].Uid = "u2";
    Check();
    EXPECT_EQ(client.Log.filter("TOP"), QStringList{"TOP 2 0"});
    EXPECT_EQ(client.Log.filter("DELE"), QStringList{"DELE 4"}) << "a cached blocked row of the same size and id";
    EXPECT_EQ(Rows(), (QStringList{"Home One #1", "Home New #2", "Home Three #3"}));

    QFile unsized(dir.filePath("summary-cache"));
    ASSERT_TRUE(unsized.open(QIODevice::WriteOnly));
    unsized.write(R"({"Home\nhome.example.org\nhome": {)"
                  R"("u1": [" Ann", " Old", "", "", "3", " Ann", " Old", "d1"],)"
                  R"("u2": [" Spam", " buy", "", "", "3", " Spam", " buy", "d2"]}})");
    unsized.close();
    TSummaryCache old(dir.filePath("summary-cache"));
    Cache = &old;
        Rebuild();
    Mailbox("Home").Messages.resize(2);
    Check();
    EXPECT_EQ(client.Log.filter("TOP"), QStringList{"TOP 2 0"});
    EXPECT_TRUE(client.Log.filter("DELE").isEmpty());
    EXPECT_EQ(Rows(), (QStringList{"Home Old #1", "Home New #2"}));
}

// A server without UIDL, or QuickCheck 0, or a listing that cannot be
// trusted: the full check, its TOPs and its steps; a corrupt file is empty.
TEST_F(QuickCheck, WithoutTrustworthyIdsEveryHeaderIsRead)
{
    Mailbox("Home").Uidl = false;
    Check();
    EXPECT_EQ(client.Log.filter("TOP").size(), 4);
    Mailbox("Home").Uidl = true;
    for (const QStringList& ids : {QStringList{"a", "b", "a", "c"}, QStringList{"a", "b", "c"}}) {
        Mailbox("Home").ListedIds = ids;
        Check();
        EXPECT_EQ(client.Log.filter("TOP").size(), 4) << ids.join(',').toStdString();
        EXPECT_EQ(list.Count(), 2);
    }
    Mailbox("Home").ListedIds.reset();

    QFile corrupt(dir.filePath("summary-cache"));
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write("{\"Home\\nhome.example.org\\nhome\": {\"x\": [1, 2]}, broken");
    corrupt.close();
    TSummaryCache damaged(dir.filePath("summary-cache"));
    Cache = &damaged;
        Rebuild();
    Check();
    EXPECT_EQ(client.Log.filter("TOP").size(), 4);
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

} // namespace
