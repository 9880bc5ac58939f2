// Feeds arbitrary bytes as the header lines of a summary (one per input
// line, decoded as the client decodes them) to the texts the list, the
// quick view, the notification and --check show of it: From and Subject as
// read, and the Date. None may hold a control, separator or bidirectional
// control character.
#include "engine/MessageFields.h"
#include "pop3/HeaderText.h"
#include "base/Words.h"
#include "tests/fuzz/ShownText.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TExStringList header;
    for (const QByteArray& line : input.split('\n'))
        header << WireText(line);
    const QString fallback = header.value(0);
    const TSummaryFields fields = HeaderFields(header, fallback, fallback);
    const QString shown[] = {fields.ReadableFrom, fields.ReadableSubject, fields.Date,
                             DecodeHeaderText(WireText(input))};
    for (const QString& text : shown)
        if (!FitToShow(text))
            std::abort();
    return 0;
}
