#include "engine/FailureKind.h"

#include "base/Exception.h"
#include "platform/OAuthSignIn.h"
#include "pop3/Linesock.h"
#include "pop3/Pop3client.h"

TSourceFailure FailureOf(const Exception& error)
{
    TSourceFailure failure;
    failure.Message = error.Message;
    if (const auto* certificate = dynamic_cast<const ECertificateError*>(&error)) {
        failure.Kind = TFailureKind::Certificate;
        failure.Fingerprint = certificate->Fingerprint;
    } else if (dynamic_cast<const ETokenRefused*>(&error) || dynamic_cast<const ESignInAgain*>(&error)) {
        failure.Kind = TFailureKind::SignInRefused;
    } else if (dynamic_cast<const EAbortError*>(&error)) {
        failure.Kind = TFailureKind::Canceled;
    } else if (dynamic_cast<const ESockError*>(&error)) {
        failure.Kind = TFailureKind::Network;
    }
    return failure;
}
