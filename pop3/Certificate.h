#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>

// The SHA-256 fingerprint as `openssl x509 -fingerprint -sha256` prints it:
// upper-case hex pairs joined by colons.
QString Fingerprint(const QSslCertificate& certificate);

// A SHA-256 fingerprint typed or pasted by the user, written as Fingerprint
// writes it: case, blanks, colons and a pasted "sha256 Fingerprint=" in
// front do not matter. Empty when the text is no such fingerprint.
QString NormalFingerprint(const QString& text);

// Whether a fingerprint the user stored names this certificate.
bool FingerprintMatches(const QString& stored, const QSslCertificate& certificate);

// Why the certificate a server showed for host was refused, in a user's
// words, with its fingerprint to compare or to trust.
QString CertificateRefusal(const QString& host, const QSslCertificate& certificate, const QList<QSslError>& errors);
// The same for a certificate that differs from the one trusted for the account.
QString UntrustedPinRefusal(const QString& host, const QSslCertificate& certificate);
