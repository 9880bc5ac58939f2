#pragma once

#include <QString>

// Blanks pasted around a server, user or account name are no part of it: the
// account dialog stores, and a check reads, the text without them.
QString AccountText(const QString& typed);

// Why the text cannot name an account, in a user's words; empty when it can.
QString AccountNameProblem(const QString& name);

// Why no check can reach a server of this name, in a user's words; empty
// when nothing is wrong with it.
QString AccountServerProblem(const QString& server);

// Why the text cannot name the IMAP folder to watch, in a user's words;
// empty when it can.
QString AccountFolderProblem(const QString& folder);
