#include "pop3/Uudecoder.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

struct TDecoded
{
    QByteArray Bytes;
    QStringList Messages;
    QStringList Events;
};

TDecoded Decode(UUMethods method, const QByteArray& text, qint64 start = 0)
{
    QByteArray input = text;
    QBuffer in(&input);
    in.open(QIODevice::ReadOnly);
    in.seek(start);
    TDecoded result;
    QBuffer out(&result.Bytes);
    out.open(QIODevice::WriteOnly);
    TUUProcessor decoder;
    decoder.Method = method;
    decoder.InputStream = &in;
    decoder.OutputStream = &out;
    decoder.ShowMessage = [&](const QString& text) { result.Messages << text; };
    decoder.OnBeginDecode = [&](QObject* sender) { result.Events << (sender == &decoder ? "begin" : "begin?"); };
    decoder.OnEndDecode = [&](QObject*) { result.Events << "end"; };
    decoder.Decode();
    decoder.TellEndLineMissing();
    return result;
}

QByteArray Lines(const QByteArray& text)
{
    return QByteArray(text).replace("\n", "\r\n");
}

QByteArray RandomBytes(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random.bounded(256));
    return bytes;
}

QByteArray Wrapped(const QByteArray& text, int width)
{
    QByteArray lines;
    for (qsizetype at = 0; at < text.size(); at += width)
        lines += text.mid(at, width) + "\r\n";
    return lines;
}

TEST(base64Decoder, DecodesLinesOfAnyLengthByteForByte)
{
    for (int size : {0, 1, 2, 3, 4, 57, 1000, 4099}) {
        const QByteArray bytes = RandomBytes(size, size);
        for (int width : {76, 4, 75, 198, 199, 1000, 100000}) {
            const TDecoded decoded = Decode(uuMime, Wrapped(bytes.toBase64(), width));
            EXPECT_EQ(decoded.Bytes, bytes) << "size " << size << ", lines of " << width;
        }
    }
}

TEST(base64Decoder, StartsAtTheInputsPositionAndFiresItsEvents)
{
    const QByteArray text = "skipped\r\nSGVsbG8=\r\n";
    const TDecoded decoded = Decode(uuMime, text, 9);
    EXPECT_EQ(decoded.Bytes, "Hello");
    EXPECT_EQ(decoded.Events, QStringList({"begin", "end"}));
}

TEST(base64Decoder, SkipsWhatIsNotData)
{
    // A "====" line, short lines, characters outside the alphabet before and
    // between groups, and a bare LF line end.
    const QByteArray text = "====\r\nx\r\n  SGVs\r\n*bG8g d29y\nbGQ=\r\n";
    EXPECT_EQ(Decode(uuMime, text).Bytes, "Hello world");
}

TEST(base64Decoder, PaddingEndsTheDecodingAfterItsLine)
{
    EXPECT_EQ(Decode(uuMime, Lines("SGk=SGk=\nSGk=\n")).Bytes, "HiHi");
    EXPECT_EQ(Decode(uuMime, Lines("QQ==\nQUJD\n")).Bytes, "A");
}

TEST(base64Decoder, EqualsSignBeforeTheDataEndsTheDecoding)
{
    EXPECT_EQ(Decode(uuMime, Lines("QUJD\n=QUJD\nQUJD\n")).Bytes, "ABC");
}

TEST(base64Decoder, GarbageNeverFails)
{
    EXPECT_EQ(Decode(uuMime, QByteArray("\x00\xff\r\r\n\n", 6)).Bytes, "");
}

// Encoded by an independent uuencoder (Python's binascii), 45 bytes a line.
const QByteArray Hundred = "begin 644 hundred.bin\n"
                           "M  $\" P0%!@<(\"0H+# T.#Q 1$A,4%187&!D:&QP='A\\@(2(C)\"4F)R@I*BLL\n"
                           "M+2XO,#$R,S0U-C<X.3H[/#T^/T!!0D-$149'2$E*2TQ-3D]045)35%565UA9\n"
                           "*6EM<75Y?8&%B8P  \n";

QByteArray HundredBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 100; ++i)
        bytes += static_cast<char>(i);
    return bytes;
}

TEST(uuDecoder, DecodesDataLinesOnly)
{
    for (const QByteArray zero : {"`", " "}) {
        const TDecoded decoded = Decode(uuCode, Lines(Hundred + zero + "\nend\n"));
        EXPECT_EQ(decoded.Bytes, HundredBytes());
        EXPECT_TRUE(decoded.Messages.isEmpty()) << decoded.Messages.join('|').toStdString();
    }
    EXPECT_EQ(Decode(uuCode, Lines("begin 644 cat.txt\n#0V%T\n`\nend\n")).Bytes, "Cat");
}

TEST(uuDecoder, MissingEndLineIsReportedAndDecodingGoesOn)
{
    const struct
    {
        QByteArray text;
        QByteArray bytes;
    } cases[] = {
        {"#0V%T\n`\n", "Cat"},
        {"#0V%T\n`\n#0V%T\n`\nend\n", "CatCat"},
        {"#0V%T\n", "Cat"},
    };
    for (const auto& [text, bytes] : cases) {
        const TDecoded decoded = Decode(uuCode, Lines(text));
        EXPECT_EQ(decoded.Bytes, bytes) << text.constData();
        EXPECT_EQ(decoded.Messages, QStringList{" No end line."}) << text.constData();
    }
}

TEST(uuDecoder, ShortLinesGiveWhatTheyHold)
{
    // A count of 45 with only one group present, and a count of 1.
    EXPECT_EQ(Decode(uuCode, Lines("M0V%T\n!00``\nend\n")).Bytes, QByteArray("Cat") + "A");
}

} // namespace
