#pragma once

#include <QString>

// What a person reads of an HTML message, as plain text. Nothing it refers
// to is loaded: no image, style sheet or file, from the network or this
// computer; no script is ever run.
QString HtmlText(const QString& html);
