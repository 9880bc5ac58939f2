#pragma once

#include "base/Exception.h"

#include <QByteArray>
#include <QList>
#include <optional>

// What a server sent that breaks IMAP's grammar or one of our limits.
class EImapProtocol : public Exception
{
public:
    using Exception::Exception;
};

// One value of a response: an atom (a flag, a keyword, a FETCH item's name
// with its section), a number, a string (quoted or a literal), NIL or a
// parenthesised list.
struct TImapValue
{
    enum class TKind { Atom, Number, String, Nil, List };

    TKind Kind = TKind::Nil;
    QByteArray Text = {};
    QList<TImapValue> Items = {};

    bool IsAtom(const char* word) const;
    bool IsText() const { return Kind == TKind::Atom || Kind == TKind::Number || Kind == TKind::String; }
    // A number's value; 0 for anything else or one beyond 32 bits.
    quint32 Number() const;
};

// One whole response: tagged, untagged ("*") or a continuation ("+").
struct TImapResponse
{
    enum class TKind { Tagged, Untagged, Continuation };

    TKind Kind = TKind::Untagged;
    QByteArray Tag = {};
    // Upper case: OK, NO, BAD, BYE, PREAUTH, or a data response's name
    // (CAPABILITY, SEARCH, EXISTS, FETCH, ...).
    QByteArray Name = {};
    // The number in front of EXISTS, EXPUNGE, FETCH and RECENT.
    std::optional<quint32> Number = {};
    // A status response's bracketed code; its first atom in upper case.
    QList<TImapValue> Code = {};
    // What follows a data response's name.
    QList<TImapValue> Data = {};
    // A status response's or continuation's free text.
    QByteArray Text = {};

    bool IsStatus() const;
    bool HasCode(const char* name) const;
};

// Cuts the bytes a server sends into responses, as they arrive. It holds at
// most limit bytes at once: a line without an end or a literal announced
// larger than that raises instead of growing.
class TImapParser
{
public:
    explicit TImapParser(qint64 limit) : limit(limit) {}

    // Raises EImapProtocol when the bytes exceed the limit.
    void Feed(const QByteArray& bytes);
    // The next whole response, if one has arrived; raises EImapProtocol for
    // one that breaks the grammar.
    std::optional<TImapResponse> Next();
    // Bytes received that make no whole response yet.
    bool HoldsBytes() const { return start < buffer.size(); }
    void Clear();

private:
    bool FrameResponse();
    void TakeLiteralSize(qsizetype lineStart, qsizetype lineEnd);

    qint64 limit;
    QByteArray buffer;
    // The current response begins at start; the framing has reached scanned.
    qsizetype start = 0;
    qsizetype scanned = 0;
    qint64 literalLeft = 0;
    qsizetype responseEnd = -1;
};
