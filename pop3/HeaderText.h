#pragma once

#include "base/CleanText.h"
#include "pop3/MailMessage.h"

#include <QString>
#include <optional>
#include <utility>

// A header's text as a person reads it: encoded words (RFC 2047, "B" and
// "Q", any charset the platform knows) decoded, the white space between two
// adjacent encoded words dropped, everything else as it came. A word that
// does not decode stays as it came. The result is cleaned as CleanedText
// cleans it.
QString DecodeHeaderText(const QString& text);

// The value after name of the last line that starts with name (in any
// case: field names are), with its continuation lines joined on as they
// came; fallback where no line starts with name.
QString UnfoldedField(const TExStringList& header, const QString& name, const QString& fallback);

// The same, given the header a line at a time, so that one pass over the
// lines can read several fields.
class TUnfoldedField
{
public:
    explicit TUnfoldedField(QString name) : name(std::move(name)) {}

    void Add(const QString& line);
    QString Value(const QString& fallback) const { return value.value_or(fallback); }

private:
    QString name;
    std::optional<QString> value;
    bool inField = false;
};

// The two above together: a field's value as a person reads it.
QString ReadableField(const TExStringList& header, const QString& name, const QString& fallback);
