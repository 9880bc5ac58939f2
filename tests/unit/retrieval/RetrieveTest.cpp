#include "ScriptServer.h"

#include "pop3/BodyText.h"
#include "pop3/FileStreamError.h"
#include "pop3/Pop3client.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <utility>

namespace {

// The message as the server sends it after +OK: CR LF line ends and the
// end line. Dots are written as they go on the wire.
QByteArray Wire(const QByteArray& message)
{
    return "+OK message follows\r\n" + QByteArray(message).replace("\n", "\r\n") + ".\r\n";
}

QByteArray Binary(int size)
{
    QRandomGenerator random(size);
    QByteArray bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random.bounded(256));
    return bytes;
}

QByteArray Base64Lines(const QByteArray& bytes)
{
    const QByteArray text = bytes.toBase64();
    QByteArray lines;
    for (qsizetype at = 0; at < text.size(); at += 76)
        lines += text.mid(at, 76) + "\n";
    return lines;
}

const QByteArray Plain = "From: Ann <ann@example.org>\n"
                         "Subject: Lunch\n"
                         "Message-ID: <1@example.org>\n"
                         "\n"
                         "Shall we meet?\n"
                         "..\n"
                         "Ann\n";

const QByteArray Attachment = Binary(3000);

const QByteArray Multipart = "From: Ann <ann@example.org>\n"
                             "Subject: Photo\n"
                             "MIME-Version: 1.0\n"
                             "Content-Type: multipart/mixed; boundary=\"==b=1\"\n"
                             "\n"
                             "This is a multi-part message.\n"
                             "--==b=1\n"
                             "Content-Type: text/plain\n"
                             "\n"
                             "See the photo.\n"
                             "--==b=1\n"
                             "Content-Type: application/octet-stream; name=\"photo.bin\"\n"
                             "Content-Transfer-Encoding: base64\n"
                             "\n" +
                             Base64Lines(Attachment) +
                             "--==b=1--\n"
                             "epilogue\n";

class retrieval : public testing::Test
{
protected:
    retrieval()
    {
        client.Host = "127.0.0.1";
        client.Port = server.Port();
        client.TimeOut = 5000;
        client.UserID = "ann";
        client.Password = "s3cret";
        client.AttachFilePath = folder.path() + "/";
        client.ReportLevel = 1;
        client.OnStatus = [this](QObject*, const QString& text) {
            if (!text.endsWith('\n'))
                events << text;
        };
        client.OnRetrieveStart = [this](QObject*) { events << "OnRetrieveStart"; };
        client.OnRetrieveEnd = [this](QObject*) { events << (client.Busy ? "OnRetrieveEnd busy" : "OnRetrieveEnd"); };
        client.UUProcessor.ShowMessage = [this](const QString& text) { events << "message:" + text; };
        server.Replies["DELE"] = "+OK Marked.\r\n";
        server.Replies["NOOP"] = "+OK\r\n";
    }

    void Retrieve(const QByteArray& message)
    {
        server.Replies["RETR 1"] = Wire(message);
        if (!client.Connected)
            client.Connect();
        events.clear();
        client.RetrieveMessage(1);
    }

    QByteArray FileContents(const QString& name)
    {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        return file.readAll();
    }

    // The session still answers: nothing of the message is left unread.
    void ExpectInStep()
    {
        EXPECT_EQ(client.Transaction("NOOP"), "+OK\r\n");
    }

    QTemporaryDir folder;
    TScriptServer server;
    TPop3Client client;
    QStringList events;
    const TMailMessage& message = client.MailMessage;
};

TEST_F(retrieval, PlainMessageFillsHeadAndBody)
{
    Retrieve(Plain);
    EXPECT_EQ(message.Head, QStringList({"From: Ann <ann@example.org>", "Subject: Lunch", "Message-ID: <1@example.org>", ""}));
    EXPECT_EQ(message.Body, QStringList({"Shall we meet?", "..", "Ann"})) << "no dot-unstuffing in the text body";
    EXPECT_TRUE(message.Attachments.isEmpty());
    EXPECT_EQ(message.MessageId, "<1@example.org>");
    EXPECT_EQ(server.Commands.last(), "RETR 1");
    EXPECT_EQ(events, QStringList({"OnRetrieveStart", "Extracting file", "Message Retrieved", "OnRetrieveEnd busy"}));
    EXPECT_FALSE(client.Busy);
    EXPECT_TRUE(QDir(folder.path()).isEmpty()) << "a text message writes no file";
    ExpectInStep();
}

TEST_F(retrieval, FieldPositionsDifferFromTheSummarys)
{
    const QByteArray head = "SUBJECT: Upper\n"
                            "from: ann@example.org\n"
                            "Message-id: <2@example.org>\n"
                            "Subject:NoBlank\n"
                            "\n"
                            "Body\n";
    server.Replies["TOP 1 0"] = "+OK\r\nSubject: Hello\r\nFrom: Ann\r\n.\r\n";
    server.Replies["LIST"] = "+OK 1 10\r\n";
    client.Connect();
    client.RetrieveSummary(1);
    EXPECT_EQ(client.Summary.Subject, " Hello");
    EXPECT_EQ(client.Summary.From, " Ann");

    Retrieve("Subject: Hello\nFrom: Ann\n\n");
    EXPECT_EQ(message.Subject, " Hello") << "Subject keeps the blank after its colon";
    EXPECT_EQ(message.From, "Ann") << "From skips it";

    Retrieve(head);
    EXPECT_EQ(message.Subject, " Upper") << "names are compared in upper case; SUBJECT:NOBLANK is no such word";
    EXPECT_EQ(message.From, "ann@example.org");
    EXPECT_EQ(message.MessageId, "<2@example.org>");
    Retrieve("Subject: " + QByteArray(300, 's') + "\n\n");
    EXPECT_EQ(message.Subject, " " + QString(255, 's'));
}

// What earlier quick views wrote goes after a week; the scratch file goes
// with the message.
TEST_F(retrieval, MultipartGivesTextBodyAndDecodedFile)
{
    const QDateTime now = QDateTime::currentDateTime();
    for (const auto& [name, age] : {std::pair{"week-old.bin", 8}, std::pair{"recent.bin", 6}}) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.setFileTime(now.addDays(-age), QFileDevice::FileModificationTime));
    }
    Retrieve(Multipart);
    EXPECT_EQ(message.Body, QStringList({"See the photo.", "\r\nFile \"photo.bin\" extracted"}));
    EXPECT_EQ(message.Attachments, QStringList{"photo.bin"});
    EXPECT_EQ(FileContents("photo.bin"), Attachment);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList({"photo.bin", "recent.bin"}));
    EXPECT_EQ(message.Head.last(), "");
    EXPECT_EQ(events, QStringList({"OnRetrieveStart", "Extracting file", "Extracting file", "Decoding file",
                                   "Message Retrieved", "OnRetrieveEnd busy"}));
    ExpectInStep();
}

TEST_F(retrieval, SameMessageAgainIsNumbered)
{
    for (const QString name : {"photo.bin", "photo_1.bin", "photo_2.bin"}) {
        Retrieve(Multipart);
        EXPECT_EQ(message.Attachments, QStringList{name});
        EXPECT_EQ(message.Notes, QStringList{"\r\nFile \"" + name + "\" extracted"}) << "named as stored";
        EXPECT_EQ(FileContents(name), Attachment) << name.toStdString();
    }
}

TEST_F(retrieval, PartsWithoutNameAreTextTmpAndQuotedPrintableStaysEncoded)
{
    Retrieve("Content-Type: multipart/mixed;\n"
             " boundary=\"=_b\"\n"
             "\n"
             "--=_b\n"
             "\n"
             "text\n"
             "--=_b\n"
             "Content-Type: text/plain\n"
             "Content-Transfer-Encoding: quoted-printable\n"
             "\n"
             "Gr=C3=BC=\n"
             "..dot\n"
             "--=_b--\n");
    EXPECT_EQ(message.Body, QStringList({"text", "\r\nFile \"text.tmp\" extracted"}));
    EXPECT_EQ(message.Attachments, QStringList{"text.tmp"});
    EXPECT_EQ(FileContents("text.tmp"), "Gr=C3=BC=\r\n.dot\r\n") << "stored as sent, the server's dot taken off";
    EXPECT_FALSE(QFile::exists(folder.filePath("Temp.mme"))) << "moved to its own name";
    ExpectInStep();
}

TEST_F(retrieval, LaterPartsInheritEncodingAndName)
{
    Retrieve("Content-Type: multipart/mixed; boundary=\"=_b\"\n\n--=_b\n\ntext\n"
             "--=_b\nContent-Disposition: attachment; filename=\"a.txt\"\nContent-Transfer-Encoding: base64\n\nQQ==\n"
             "--=_b\n\nQg==\n"
             "--=_b--\n");
    EXPECT_EQ(message.Attachments, QStringList({"a.txt", "a_1.txt"}));
    EXPECT_EQ(FileContents("a_1.txt"), "B");
    EXPECT_EQ(message.Body.last(), "\r\nFile \"a_1.txt\" extracted");
}

TEST_F(retrieval, SinglePartBase64BodyIsDecodedIntoBody)
{
    Retrieve("Subject: coded\n"
             "Content-Type: text/plain; name=\"note.txt\"\n"
             "Content-Transfer-Encoding: base64\n"
             "\n" +
             Base64Lines("First line\r\nZweite Zeile\r\n"));
    EXPECT_EQ(message.Body, QStringList({"First line", "Zweite Zeile"}));
    EXPECT_EQ(message.Attachments, QStringList{"note.txt"});
    EXPECT_EQ(FileContents("note.txt"), "First line\r\nZweite Zeile\r\n");
    ExpectInStep();
}

// What a person reads: the first text part that is no attachment, its
// encoding taken off and its charset applied; the files stay as stored.
TEST_F(retrieval, ReadableTextIsTheFirstTextPartDecoded)
{
    Retrieve(Plain);
    EXPECT_EQ(ReadableBody(message).Text, "Shall we meet?\r\n.\r\nAnn\r\n") << "the server's dot taken off";

    Retrieve("Content-Type: multipart/mixed; boundary=\"=_out\"\n\n"
             "--=_out\n"
             "Content-Type: multipart/alternative; boundary=\"=_in\"\n\n"
             "--=_in\n"
             "Content-Type: text/plain;\n\tcharset=\"ISO-8859-15\"\n"
             "Content-Transfer-Encoding: quoted-printable\n\n"
             "Co=FBt: 10 =A4, one =  \n"
             "line, =3D=\n"
             "\n"
             "--=_in\n"
             "Content-Type: text/html\n\n<p>html</p>\n"
             "--=_in--\n");
    const TReadableBody body = ReadableBody(message);
    EXPECT_EQ(body.Text, QString::fromUtf8("Coût: 10 €, one line, =\r\n"));
    EXPECT_FALSE(body.Html);
    EXPECT_EQ(body.Notes, "\r\nFile \"text.tmp\" extracted\r\n") << "the inner text part is the body";
    EXPECT_EQ(FileContents("text.tmp"), "<p>html</p>\r\n");

    Retrieve("Content-Type: text/html; charset=windows-1251\nContent-Transfer-Encoding: base64\n\n" +
             Base64Lines("<p>\xcf\xf0\xe8\xe2\xe5\xf2</p>"));
    EXPECT_EQ(ReadableBody(message).Text, QString::fromUtf8("<p>Привет</p>\r\n"));
    EXPECT_TRUE(ReadableBody(message).Html);
    EXPECT_EQ(message.Body, QStringList{QString::fromLatin1("<p>\xcf\xf0\xe8\xe2\xe5\xf2</p>")}) << "the body as read stays";
}

TEST_F(retrieval, UuencodedPartsWithAndWithoutEndLine)
{
    const QByteArray message1 = "Content-Type: multipart/mixed; boundary=\"=_b\"\n\n--=_b\n\ntext\n"
                                "--=_b\nContent-Type: application/octet-stream; name=\"cat.txt\"\n"
                                "Content-Transfer-Encoding: X-UUENCODE\n\n"
                                "begin 644 cat.txt\n#0V%T\n`\n";
    Retrieve(message1 + "end\n--=_b--\n");
    EXPECT_EQ(FileContents("cat.txt"), "Cat");
    EXPECT_FALSE(events.join('|').contains("message:")) << events.join('|').toStdString();

    Retrieve(message1 + "--=_b--\n");
    EXPECT_EQ(FileContents("cat_1.txt"), "Cat");
    EXPECT_TRUE(events.contains("message: No end line.")) << events.join('|').toStdString();

    const QByteArray unended = "--=_b\nContent-Transfer-Encoding: X-UUENCODE\n\nbegin 644 x\n#0V%T\n";
    Retrieve("Content-Type: multipart/mixed; boundary=\"=_b\"\n\n--=_b\n\ntext\n" + unended.repeated(3) + "--=_b--\n");
    EXPECT_EQ(message.Attachments.size(), 3);
    EXPECT_EQ(events.count("message: No end line."), 1) << "one box for the message, not one per part";
    EXPECT_GT(events.indexOf("message: No end line."), events.lastIndexOf("Decoding file")) << "told once all is read";
}

// Delimiters as RFC 2046 writes them, of the multipart being read or of one
// around it: a multipart inside a part does not end the message's parts.
TEST_F(retrieval, NestedMultipartsAreReadPartByPart)
{
    Retrieve("Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\n"
             "Content-Type: multipart/alternative; boundary=\"b1\"\n\npreamble\n--b1\n"
             "Content-Type: text/plain\n\nplain\n--b text\n--b1x\n--b1\n"
             "Content-Type: text/html; name=\"page.html\"\n\n<p>html</p>\n--b1-- \nepilogue\n--b\n"
             "Content-Type: application/pdf; name=\"doc.pdf\"\n\n%PDF\n--b--\n");
    EXPECT_EQ(message.Body, QStringList({"plain", "--b text", "--b1x", "\r\nFile \"page.html\" extracted",
                                         "\r\nFile \"doc.pdf\" extracted"}));
    EXPECT_EQ(FileContents("page.html"), "<p>html</p>\r\n");
    EXPECT_EQ(FileContents("doc.pdf"), "%PDF\r\n") << "the part after the inner multipart";
    ExpectInStep();

    // Deeper than the reader goes, the rest is one part; 50,000 levels
    // must neither take long nor exhaust the stack.
    QByteArray deep = "Content-Type: multipart/mixed; boundary=\"d0\"\n\n";
    for (int level = 1; level <= 50000; ++level)
        deep += "--d" + QByteArray::number(level - 1) + "\nContent-Type: multipart/mixed; boundary=\"d" +
                QByteArray::number(level) + "\"\n\n";
    Retrieve(deep + "--d50000\n\ninnermost\n");
    EXPECT_TRUE(message.Attachments.isEmpty());
    EXPECT_EQ(message.Body.first(), "--d20");
    EXPECT_EQ(message.Body.last(), "innermost");
    ExpectInStep();
}

TEST_F(retrieval, AThousandFilesAtMostTheRestNamedAsLeftOut)
{
    ASSERT_TRUE(QFile(folder.filePath("a_2.txt")).open(QIODevice::WriteOnly));
    const QByteArray part = "--=_b\nContent-Type: text/plain; name=\"a.txt\"\n\nA\n";
    Retrieve("Content-Type: multipart/mixed; boundary=\"=_b\"\n\n--=_b\n\ntext\n" + part.repeated(1005) + "--=_b--\n");
    ASSERT_EQ(message.Attachments.size(), 1000);
    EXPECT_EQ(message.Attachments.mid(0, 3), QStringList({"a.txt", "a_1.txt", "a_3.txt"}));
    EXPECT_EQ(message.Attachments.last(), "a_1000.txt");
    EXPECT_EQ(QDir(folder.path()).count(), 1001 + 2);
    EXPECT_EQ(FileContents("a_1000.txt"), "A\r\n");
    ASSERT_EQ(message.Notes.size(), 1005);
    EXPECT_EQ(message.Notes.last(), "\r\nFile \"a.txt\" left out: at most 1000 files of a message are saved");
    EXPECT_EQ(message.Notes.filter("left out").size(), 5);
    ExpectInStep();
}

// A message that is not the one expected is refused once its header is in.
TEST_F(retrieval, RefusedHeaderWritesNothingAndKeepsTheSession)
{
    QStringList asked;
    client.AcceptHeader = [&](const QStringList& head) {
        asked = head;
        return false;
    };
    client.DeleteOnRead = true;
    EXPECT_THROW(Retrieve(Multipart), EMessageRefused);
    EXPECT_EQ(asked, QString(Multipart.left(Multipart.indexOf("\n\n") + 1)).split('\n'));
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
    EXPECT_EQ(events.last(), "OnRetrieveEnd busy");
    EXPECT_FALSE(server.Commands.contains("DELE 1"));
    ExpectInStep();

    client.AcceptHeader = [](const QStringList&) { return true; };
    Retrieve(Multipart);
    EXPECT_EQ(FileContents("photo.bin"), Attachment);
}

TEST_F(retrieval, FoldedPartHeaderAndBoundaryMissingEndAtTheMessageEnd)
{
    Retrieve("Content-Type: multipart/mixed;\n\tboundary=\"=_b\"\n\n--=_b\n\nbody\n"
             "--=_b\nContent-Type: application/octet-stream;\n\tname=\"folded.bin\"\n"
             "Content-Transfer-Encoding:\n base64\n\nQUJD\n");
    EXPECT_EQ(message.Attachments, QStringList{"folded.bin"});
    EXPECT_EQ(FileContents("folded.bin"), "QUJD\r\n") << "an encoding on a continuation line is not seen: stored as sent";
    ExpectInStep();

    Retrieve("Content-Type: multipart/mixed; boundary=\"never\"\n\nno parts at all\n");
    EXPECT_TRUE(message.Body.isEmpty());
    ExpectInStep();

    Retrieve("Subject: header without end\n");
    EXPECT_EQ(message.Head, QStringList{"Subject: header without end"});
    ExpectInStep();
}

TEST_F(retrieval, StrayBoundaryParameterDoesNotCutAPlainBody)
{
    Retrieve("Subject: about boundary=x\n\nfirst\nx marks the spot\nlast\n");
    EXPECT_EQ(message.Body, QStringList({"first", "x marks the spot", "last"}));
    ExpectInStep();
}

TEST_F(retrieval, MultipartWithoutUsableBoundaryKeepsItsBody)
{
    for (const char* type : {"multipart/mixed; boundary=\"\"", "multipart/mixed; boundary="}) {
        Retrieve("Content-Type: " + QByteArray(type) + "\n\nfirst\n--\nlast\n");
        EXPECT_EQ(message.Body, QStringList({"first", "--", "last"})) << type;
        ExpectInStep();
    }
}

// Text past the limit is read away without a gap in what is kept; the file
// after it is still written whole.
TEST_F(retrieval, OverlongTextIsCutAndSaid)
{
    const QString note = "[The message is too long: the rest of its text is left out.]";
    const QByteArray line(998, 't');
    Retrieve("Content-Type: multipart/mixed; boundary=\"==b=1\"\n\n--==b=1\n\n" + (line + "\n").repeated(10000) +
             "--==b=1\nContent-Type: application/octet-stream; name=\"photo.bin\"\n"
             "Content-Transfer-Encoding: base64\n\n" +
             Base64Lines(Attachment) + "--==b=1--\n");
    ASSERT_GT(message.Body.size(), 7000) << "kept up to the limit";
    EXPECT_LT(message.Body.size(), 10000);
    EXPECT_EQ(message.Body.last(), note);
    EXPECT_EQ(message.Body.count(QString::fromLatin1(line)), message.Body.size() - 1);
    EXPECT_EQ(FileContents("photo.bin"), Attachment);
    ExpectInStep();

    Retrieve(QByteArray("X-Filler: 1\n").repeated(300000) + "\nbody\n");
    EXPECT_GT(message.Head.size(), 100000);
    EXPECT_LT(message.Head.size(), 300000);
    EXPECT_EQ(message.Body, QStringList{note}) << "the head used up the limit";
    ExpectInStep();
}

TEST_F(retrieval, HostileNamesLandInTheFolderOnly)
{
    QTemporaryDir root;
    client.AttachFilePath = root.path() + "/home/attach/";
    ASSERT_TRUE(QDir().mkpath(root.path() + "/home/attach"));
    ASSERT_TRUE(QFile::link(root.path() + "/planted-target", client.AttachFilePath + "planted.txt"));
    QByteArray parts;
    for (const QByteArray& name : QList<QByteArray>{"../../.bashrc", "/etc/passwd", "a/../../b", QByteArray(300, 'n') + ".txt", "planted.txt"})
        parts += "--=_b\nContent-Type: text/plain; name=\"" + name + "\"\n\ncontent\n";
    Retrieve("Content-Type: multipart/mixed; boundary=\"=_b\"\n\n--=_b\n\ntext\n" + parts + "--=_b--\n");

    ASSERT_EQ(message.Attachments.size(), 5);
    EXPECT_EQ(message.Attachments.mid(0, 3), QStringList({"bashrc", "passwd", "b"}));
    EXPECT_LE(message.Attachments[3].size(), 200);
    EXPECT_EQ(message.Attachments[4], "planted_1.txt");
    QStringList everything;
    for (QDirIterator it(root.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDirIterator::Subdirectories);
         it.hasNext();)
        everything << it.next().mid(root.path().size());
    everything.sort();
    QStringList expected{"/home", "/home/attach"};
    for (const QString& name : message.Attachments + QStringList{"planted.txt"})
        expected << "/home/attach/" + name;
    expected.sort();
    EXPECT_EQ(everything, expected);
    EXPECT_FALSE(QFile::exists(root.path() + "/planted-target"));
}

TEST_F(retrieval, RefusedRetrStillEndsAndClearsBusy)
{
    server.Replies["RETR 1"] = "-ERR no such message\r\n";
    client.Connect();
    try {
        client.RetrieveMessage(1);
        FAIL() << "a refused RETR passed";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "-ERR no such message\r\n");
    }
    EXPECT_EQ(events, QStringList({"OnRetrieveStart", "OnRetrieveEnd busy"}));
    EXPECT_FALSE(client.Busy);
}

TEST_F(retrieval, DeleteOnReadNeedsExactlyPlusOk)
{
    client.DeleteOnRead = true;
    Retrieve(Plain);
    EXPECT_EQ(server.Commands.mid(server.Commands.size() - 2), QList<QByteArray>({"RETR 1", "DELE 1"}));

    server.Replies["DELE"] = "+OK\r\n";
    EXPECT_THROW(Retrieve(Plain), Exception);
    EXPECT_EQ(message.Body.first(), "Shall we meet?") << "what was retrieved stays";
    EXPECT_EQ(events.last(), "OnRetrieveEnd busy");
    EXPECT_FALSE(client.Busy);
}

TEST_F(retrieval, NestedCallsReturnAtOnce)
{
    server.Replies["RETR 1"] = Wire(Plain);
    server.Replies["RETR 2"] = Wire("Subject: other\n\n");
    client.Connect();
    client.OnRetrieveEnd = [this](QObject*) { client.RetrieveMessage(2); };
    client.OnRetrieveStart = [this](QObject*) { client.DeleteMessage(1); };
    client.RetrieveMessage(1);
    EXPECT_EQ(message.Subject, " Lunch");
    EXPECT_EQ(server.Commands.count("RETR 1"), 1);
    EXPECT_EQ(server.Commands.count("RETR 2"), 0);
    EXPECT_EQ(server.Commands.count("DELE 1"), 0);
}

TEST_F(retrieval, UnwritableFolderRaisesAndTheSessionRecovers)
{
    QFile blocker(folder.filePath("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    client.AttachFilePath = folder.filePath("not-a-folder") + "/attach/";
    EXPECT_THROW(Retrieve(Multipart), EFileStreamError);
    EXPECT_EQ(events.last(), "OnRetrieveEnd busy");
    EXPECT_FALSE(client.Busy);
    EXPECT_NO_THROW(client.Disconnect());
    EXPECT_EQ(server.Commands.last(), "QUIT");
    EXPECT_NO_THROW(client.Connect());
    client.AttachFilePath = folder.path();
    Retrieve(Multipart);
    EXPECT_EQ(FileContents("photo.bin"), Attachment) << "a folder without its final slash gets one";
}

TEST_F(retrieval, CancelEndsTheRetrieval)
{
    server.Replies["RETR 1"] = "+OK\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\ntext\r\n"
                               "--b\r\n\r\nfile that never ends\r\n";
    client.Connect();
    QTimer::singleShot(50, [this] { client.Cancel(); });
    EXPECT_THROW(client.RetrieveMessage(1), EAbortError);
    EXPECT_EQ(events.last(), "OnRetrieveEnd busy");
    EXPECT_FALSE(client.Busy);
    EXPECT_TRUE(QDir(folder.path()).isEmpty()) << "the scratch file goes however the message ends";
}

TEST_F(retrieval, NotConnectedRaisesWithoutEvents)
{
    EXPECT_THROW(client.RetrieveMessage(1), Exception);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_FALSE(client.Busy);
}

} // namespace
