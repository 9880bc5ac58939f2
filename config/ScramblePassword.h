#pragma once

#include <QString>

// Turns a password into its stored form and the stored form back into the
// password: the same call does both.
QString ScramblePassword(const QString& text);
