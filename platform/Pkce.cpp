#include "platform/Pkce.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace {
constexpr auto UrlText = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;
}

QByteArray RandomUrlText(int bytes)
{
    QByteArray random(bytes, Qt::Uninitialized);
    for (char& byte : random)
        byte = char(QRandomGenerator::system()->bounded(256));
    return random.toBase64(UrlText);
}

// 32 bytes give 43 characters, the shortest verifier allowed.
TPkce TPkce::Make()
{
    TPkce pkce;
    pkce.Verifier = RandomUrlText(32);
    pkce.Challenge = ChallengeOf(pkce.Verifier);
    return pkce;
}

QByteArray TPkce::ChallengeOf(const QByteArray& verifier)
{
    return QCryptographicHash::hash(verifier, QCryptographicHash::Sha256).toBase64(UrlText);
}
