#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The text that bytes in a MIME charset (any case) stand for; none where
// the charset is unknown here or the bytes are not valid in it.
std::optional<QString> CharsetDecoded(const QByteArray& charset, const QByteArray& bytes);
