#pragma once

#include <QString>
#include <QTime>

// How the list shows a row's values to a person.

// The sender as read: its display name, or its address where it has none
// ("Ann <ann@example.org>" gives "Ann", "<ann@example.org>" the address).
// A text that is no name-and-address shows whole.
QString SenderName(const QString& from);

// A message's size with a unit: bytes below 1 KB, whole KB below 1 MB, MB
// with one decimal above (KB and MB of 1024).
QString SizeText(qint64 bytes);

// A Date header's value as milliseconds since the epoch, for ordering by
// time; a date that does not parse as RFC 2822 orders before every other.
qint64 DateOrder(const QString& date);

// The locale's hours and minutes, for since when a state stands: it may be
// hours old, and seconds would only crowd the line.
QString HoursAndMinutes(const QTime& time);
