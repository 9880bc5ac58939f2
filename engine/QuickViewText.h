#pragma once

#include "engine/MailSource.h"

struct TMailMessage;

// What the quick view shows of a message the reader took apart.
TQuickViewText QuickViewOf(const TMailMessage& message, const QString& account);

// Takes apart a whole message as a server sent it, its files going into
// attachFolder.
void ReadWholeMessage(const QByteArray& bytes, const QString& attachFolder, TMailMessage& message);
