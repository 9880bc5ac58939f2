#pragma once

#include <QUrl>

// Hands an address to the user's web browser and returns at once; whether a
// browser opened is not known.
void OpenInBrowser(const QUrl& url);
