#include "pop3/Pop3client.h"
#include "tests/support/TestDovecot.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Whole messages by RETR from the Dovecot that start-dovecot prepared; each
// test has a mailbox of its own.
namespace {

QStringList MessageLines(const char* name)
{
    QFile file(QStringLiteral(PW_MESSAGES_DIR "/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    lines.removeLast();
    return lines;
}

class retrieveDovecot : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_GT(DovecotPort(), 0) << "no Dovecot started for this run in " PW_POP3_SERVER_DIR;
        client.Host = "127.0.0.1";
        client.Port = DovecotPort();
        client.TimeOut = 10000;
        client.AttachFilePath = folder.path() + "/";
        client.OnRetrieveStart = [this](QObject*) { events << "OnRetrieveStart"; };
        client.OnRetrieveEnd = [this](QObject*) { events << (client.Busy ? "OnRetrieveEnd busy" : "OnRetrieveEnd"); };
        client.UUProcessor.ShowMessage = [this](const QString& text) { events << text; };
    }

    void LogIn(const QString& user)
    {
        client.UserID = user;
        client.Password = "pw-" + user;
        client.Connect();
    }

    QByteArray FileContents(const QString& name)
    {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        return file.readAll();
    }

    QTemporaryDir folder;
    TPop3Client client;
    QStringList events;
    const TMailMessage& message = client.MailMessage;
};

TEST_F(retrieveDovecot, PlainMessageAsTheServerSendsIt)
{
    LogIn("retrieve");
    client.RetrieveMessage(1);
    const QStringList lines = MessageLines("plain.eml");
    const qsizetype blank = lines.indexOf("");
    EXPECT_EQ(message.Head, lines.mid(0, blank + 1));
    EXPECT_EQ(message.Subject, " Lunch on Friday");
    EXPECT_EQ(message.From, "Ann Example <ann@example.org>");
    EXPECT_EQ(message.MessageId, "<lunch.1@example.org>");
    // The server doubles a leading dot, and the text body keeps both.
    EXPECT_EQ(message.Body, QStringList({"Shall we meet at noon?", "...and a line that starts with a dot."}));
    EXPECT_TRUE(message.Attachments.isEmpty());
    EXPECT_EQ(events, QStringList({"OnRetrieveStart", "OnRetrieveEnd busy"}));
    client.Disconnect();
}

TEST_F(retrieveDovecot, MultipartPartsBecomeFilesNumberedOnEachRetrieval)
{
    QByteArray photo;
    for (int i = 0; i < 8; ++i)
        for (int byte = 0; byte < 256; ++byte)
            photo += static_cast<char>(byte);
    LogIn("retrieve");
    const QStringList suffixes{"", "_1", "_2"};
    for (const QString& suffix : suffixes) {
        client.RetrieveMessage(2);
        EXPECT_EQ(message.Body, QStringList({"Here are the photos.", "Dora",
                                             "\r\nFile \"text" + suffix + ".tmp\" extracted",
                                             "\r\nFile \"photo" + suffix + ".bin\" extracted"}));
        EXPECT_EQ(message.Attachments, QStringList({"text" + suffix + ".tmp", "photo" + suffix + ".bin"}));
        EXPECT_EQ(FileContents("photo" + suffix + ".bin"), photo);
        EXPECT_EQ(FileContents("text" + suffix + ".tmp"), "Gr=C3=BC=C3=9Fe aus dem Urlaub\r\n");
    }
    client.Disconnect();
}

TEST_F(retrieveDovecot, Base64BodyAndUuencodedParts)
{
    LogIn("retrieve");
    client.RetrieveMessage(3);
    EXPECT_EQ(message.Body, QStringList({"Dear Bob,", "the meeting moves to Thursday.", "Eve"}));
    EXPECT_EQ(message.Attachments, QStringList{"meeting.txt"});

    events.clear();
    client.RetrieveMessage(4);
    EXPECT_EQ(message.Attachments, QStringList({"cat.txt", "dog.txt"}));
    EXPECT_EQ(FileContents("cat.txt"), "Cat");
    EXPECT_EQ(FileContents("dog.txt"), "Dog");
    EXPECT_EQ(events, QStringList({"OnRetrieveStart", " No end line.", "OnRetrieveEnd busy"}));
    client.Disconnect();
}

TEST_F(retrieveDovecot, RefusedRetrAndDeleteOnRead)
{
    LogIn("retrieve-delete");
    ASSERT_EQ(client.MessageCount, 2);
    EXPECT_THROW(client.RetrieveMessage(9), Exception);
    EXPECT_EQ(events, QStringList({"OnRetrieveStart", "OnRetrieveEnd busy"}));
    EXPECT_FALSE(client.Busy);

    client.DeleteOnRead = true;
    client.RetrieveMessage(1);
    EXPECT_EQ(message.Subject, " Lunch on Friday");
    client.Disconnect();

    LogIn("retrieve-delete");
    EXPECT_EQ(client.MessageCount, 1);
    client.DeleteOnRead = false;
    client.RetrieveMessage(1);
    EXPECT_EQ(message.Subject, " Holiday photos");
    client.Disconnect();
}

} // namespace
