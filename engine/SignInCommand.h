#pragma once

#include <QString>

// `postwatch --sign-in NAME`: the OAuth 2.0 sign-in of one account in the
// desktop's browser, its address also on standard error for a browser
// elsewhere. Says "Signed in to NAME" and returns 0, or says why not and
// returns 1.
int RunSignInCommand(int argc, char** argv, const QString& account);
