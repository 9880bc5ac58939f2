#pragma once

#include <QList>
#include <QString>

// One entry of a check list: a name and its check mark.
struct CheckedName {
    QString Name;
    bool Checked = false;

    bool operator==(const CheckedName&) const = default;
};
using CheckedNames = QList<CheckedName>;
