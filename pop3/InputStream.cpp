#include "pop3/InputStream.h"

void TInputStream::Append(const char* data, qsizetype length)
{
    if (start > 0) {
        bytes.remove(0, start);
        start = 0;
    }
    bytes.append(data, length);
}

QByteArray TInputStream::TakeLine()
{
    const qsizetype end = bytes.indexOf('\n', start) + 1;
    QByteArray line = bytes.mid(start, end - start);
    start = end;
    if (start == bytes.size())
        Clear();
    return line;
}

QByteArray TInputStream::TakeAll()
{
    QByteArray rest = bytes.mid(start);
    Clear();
    return rest;
}

void TInputStream::Clear()
{
    bytes.clear();
    start = 0;
}
