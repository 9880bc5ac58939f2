#pragma once

#include <QByteArray>
#include <QString>

// The n-th word (1-based) of a reply line split at one delimiter character:
// two delimiters in a row give an empty word, a word past the last delimiter
// is empty, and the last word keeps the rest of the line, line end included.
QByteArray Word(const QByteArray& line, int n, char delimiter = ' ');

// Bytes from the wire as text for a person: UTF-8 where that is valid, else
// Latin-1, so no byte is ever lost to a replacement character.
QString WireText(const QByteArray& bytes);

// The value of a hexadecimal digit of either case; -1 for any other byte.
int HexDigit(char c);
