#pragma once

#include <QByteArray>

// Received bytes not yet consumed. Consumed lines are dropped by moving the
// unread rest to the front before more is appended.
class TInputStream
{
public:
    void Append(const char* data, qsizetype length);
    bool HasLine() const { return bytes.indexOf('\n', start) >= 0; }
    QByteArray TakeLine();
    // Everything unread, line end or not.
    QByteArray TakeAll();
    qsizetype Unread() const { return bytes.size() - start; }
    void Clear();

private:
    QByteArray bytes;
    qsizetype start = 0;
};
