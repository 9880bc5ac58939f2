// Feeds arbitrary bytes to the uuencode decoder.
#include "pop3/Uudecoder.h"

#include <QBuffer>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QByteArray output;
    QBuffer in(&input);
    QBuffer out(&output);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::WriteOnly);
    TUUProcessor decoder;
    decoder.Method = uuCode;
    decoder.InputStream = &in;
    decoder.OutputStream = &out;
    decoder.ShowMessage = [](const QString&) {};
    decoder.Decode();
    // Uuencoded data are decoded to the end of the input, and one
    // character gives at most three bytes.
    if (!in.atEnd() || output.size() > input.size() * 3)
        std::abort();
    return 0;
}
