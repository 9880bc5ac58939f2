#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>
#include <utility>

using FormFields = QList<std::pair<QString, QString>>;

// The application/x-www-form-urlencoded text of the fields. Every byte but
// the unreserved ones is escaped: a "+" or "&" in a secret stays itself.
QByteArray FormEncoded(const FormFields& fields);

// The fields of such a text (a query or a form body), "+" read as a blank.
// Nothing when a name comes twice: a redirect may carry each field once.
std::optional<QMap<QString, QString>> FormDecoded(const QByteArray& text);
