#pragma once

#include <QByteArray>

// Unpadded base64url text of that many bytes from the system's
// cryptographic random source: a PKCE verifier, a state.
QByteArray RandomUrlText(int bytes);

// A proof key for one sign-in (RFC 7636, method S256): the verifier stays
// with us until the code is exchanged, the challenge goes to the browser.
struct TPkce
{
    QByteArray Verifier;
    QByteArray Challenge;

    static TPkce Make();
    static QByteArray ChallengeOf(const QByteArray& verifier);
};
