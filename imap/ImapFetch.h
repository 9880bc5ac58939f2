#pragma once

#include "imap/ImapResponse.h"

#include <optional>

// What one FETCH response tells of a message.
struct TFetchItems
{
    std::optional<quint32> Uid = {};
    qint64 Size = 0;
    std::optional<bool> Seen = {};
    // BODY[HEADER.FIELDS (...)] or BODY[HEADER]
    std::optional<QByteArray> Header = {};
    // BODY[]
    std::optional<QByteArray> Message = {};

    // Whether it carries message data rather than a change of flags alone.
    bool HoldsData() const { return Header || Message; }
};

// Raises EImapProtocol for a FETCH whose items are no list of pairs.
TFetchItems FetchItemsOf(const TImapResponse& fetch);
