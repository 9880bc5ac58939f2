#pragma once

#include <QString>

// Text from outside this program (a server's reply, a provider's error, a
// message's header) made fit to show: control characters (C0, DEL, C1) and
// the line and paragraph separators become blanks, so that no text can break
// a line, add a column or steer a terminal; the bidirectional controls and
// the other format characters that show nothing are taken out, so that no
// text can reorder itself or what stands beside it, or hide inside a word.
// Right-to-left letters stay as they are, and so do the joiners that
// scripts and emoji need.
QString CleanedText(const QString& text);

// Such a text as one line of a status bar, a tooltip or a terminal:
// cleaned, its blanks simplified, and cut to at most MaxShownLine
// characters, so that one reply cannot fill a screen.
QString CleanedLine(const QString& text);

// A text of several lines, such as a box's: each line cleaned and cut as
// above but its blanks kept, at most MaxShownLines lines.
QString CleanedLines(const QString& text);

inline constexpr qsizetype MaxShownLine = 1000;
inline constexpr qsizetype MaxShownLines = 40;
