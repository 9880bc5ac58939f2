#pragma once

#include "pop3/MailMessage.h"

#include <QString>

// A message's text as a person reads it.
struct TReadableBody
{
    // Lines ended by CR LF; HTML source where Html is set.
    QString Text;
    bool Html = false;
    // The notes that follow the text, lines ended by CR LF.
    QString Notes;
};

// The text part with its transfer encoding (quoted-printable, base64) taken
// off and its charset applied; a message without a text part gives its body
// as read. Nothing in it fails: what does not decode is shown as it came.
TReadableBody ReadableBody(const TMailMessage& message);

QByteArray QuotedPrintableDecoded(const QByteArray& text);
