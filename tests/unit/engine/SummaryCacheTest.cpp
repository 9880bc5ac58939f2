// The summary cache's file: what it keeps and what it refuses to read or
// write through.

#include "engine/PrivateJsonFile.h"
#include "engine/RowFormat.h"
#include "engine/SummaryCache.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SummaryCacheFile : public testing::Test
{
protected:
    static TSummaryFields Fields(const QString& from) { return {from, " Hello", "", "", "3", from, " Hello", "d"}; }

    void WriteFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static QByteArray Contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    const QString path = dir.filePath("summary-cache");
    const QString box = TSummaryCache::Mailbox("Home", "pop.example.org", "ann");
};

// A mailbox that claims a vast number of messages keeps only so many; the
// others, and the file, are unaffected.
TEST_F(SummaryCacheFile, OneMailboxKeepsAtMostItsShare)
{
    TSummaryCache cache(path);
    for (int n = 0; n <= TSummaryCache::MaxPerMailbox; ++n)
        cache.Remember(box, QString::number(n), Fields(" Ann"), 100);
    cache.Remember("Other", "x", Fields(" Bob"), 100);
    cache.Remember(box, "0", Fields(" Cid"), 200);
    cache.Save();

    TSummaryCache reread(path);
    EXPECT_NE(reread.Find(box, QString::number(TSummaryCache::MaxPerMailbox - 1)), nullptr);
    EXPECT_EQ(reread.Find(box, QString::number(TSummaryCache::MaxPerMailbox)), nullptr);
    ASSERT_NE(reread.Find(box, "0"), nullptr) << "a kept message is still updated";
    EXPECT_EQ(reread.Find(box, "0")->Fields.From, " Cid");
    EXPECT_EQ(reread.Find(box, "0")->Bytes, 200);
    EXPECT_NE(reread.Find("Other", "x"), nullptr);
}

// The file keeps the Date's text alone; a row made again from it orders
// by the Date's time as a row read from the server does.
TEST_F(SummaryCacheFile, AKeptDateOrdersByItsTime)
{
    TSummaryFields fields = Fields(" Ann");
    fields.Date = "Mon, 1 Dec 2025 08:30:00 +0000";
    TSummaryCache cache(path);
    cache.Remember(box, "1", fields, 100);
    cache.Save();

    TSummaryCache reread(path);
    ASSERT_NE(reread.Find(box, "1"), nullptr);
    EXPECT_EQ(reread.Find(box, "1")->Fields.ReceivedOrder, DateOrder(fields.Date));
}

// A file too large to have been written here is not read at start: it only
// costs the cache, which is written afresh.
TEST_F(SummaryCacheFile, AnOversizedFileIsNotRead)
{
    const QByteArray entry = R"("u1": [" Ann", " Hello", "", "", "3", " Ann", " Hello", "d"])";
    WriteFile(path, "{\"" + box.toUtf8().replace('\n', "\\n") + "\": {" + entry + "}, \"pad\": \""
                        + QByteArray(PrivateJsonFile::MaxBytes, 'x') + "\"}");
    testing::internal::CaptureStderr();
    TSummaryCache cache(path);
    EXPECT_EQ(cache.Find(box, "u1"), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("is larger than 64 MiB"), std::string::npos);

    cache.Remember(box, "u2", Fields(" Bob"), 100);
    cache.Save();
    EXPECT_NE(TSummaryCache(path).Find(box, "u2"), nullptr);
}

// Another program may put a link at the cache's name: the file it points to
// is neither read nor replaced.
TEST_F(SummaryCacheFile, ALinkAtItsNameIsNeitherReadNorWrittenThrough)
{
    const QString target = dir.filePath("elsewhere");
    {
        TSummaryCache written(target);
        written.Remember(box, "u1", Fields(" Ann"), 100);
        written.Save();
    }
    const QByteArray before = Contents(target);
    ASSERT_FALSE(before.isEmpty());
    ASSERT_TRUE(QFile::link(target, path));

    testing::internal::CaptureStderr();
    TSummaryCache cache(path);
    EXPECT_EQ(cache.Find(box, "u1"), nullptr);
    cache.Remember(box, "u2", Fields(" Bob"), 100);
    cache.Save();
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find("summary-cache is a symbolic link"), std::string::npos) << told;
    EXPECT_EQ(Contents(target), before);
    EXPECT_TRUE(QFileInfo(path).isSymLink());
}

} // namespace
