#include "pop3/Certificate.h"

#include <QCryptographicHash>
#include <QRegularExpression>

namespace {

QString CertificateNames(const QSslCertificate& certificate)
{
    QStringList names = certificate.subjectAlternativeNames().values(QSsl::DnsEntry);
    names += certificate.subjectAlternativeNames().values(QSsl::IpAddressEntry);
    if (names.isEmpty())
        names = certificate.subjectInfo(QSslCertificate::CommonName);
    names.removeDuplicates();
    return names.join(QStringLiteral(", "));
}

QString Reason(const QSslError& error, const QString& host)
{
    switch (error.error()) {
    case QSslError::CertificateExpired:
        return QStringLiteral("it has expired");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("it is not valid yet");
    case QSslError::HostNameMismatch: {
        const QString names = CertificateNames(error.certificate());
        return names.isEmpty() ? QStringLiteral("it was issued for another name than %1").arg(host)
                               : QStringLiteral("it was issued for %1, not for %2").arg(names, host);
    }
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
    case QSslError::InvalidCaCertificate:
        return QStringLiteral("it is not signed by an authority this computer trusts");
    case QSslError::CertificateRevoked:
        return QStringLiteral("it has been revoked");
    default:
        return error.errorString();
    }
}

QString WithFingerprint(const QString& text, const QSslCertificate& certificate)
{
    return text + QStringLiteral("\nSHA-256 fingerprint: ") + Fingerprint(certificate);
}

} // namespace

QString Fingerprint(const QSslCertificate& certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

QString NormalFingerprint(const QString& text)
{
    QString hex = text.section(u'=', -1);
    hex.remove(QRegularExpression(QStringLiteral("[\\s:]")));
    static const QRegularExpression sha256(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    if (!sha256.match(hex).hasMatch())
        return {};
    return QString::fromLatin1(QByteArray::fromHex(hex.toLatin1()).toHex(':').toUpper());
}

bool FingerprintMatches(const QString& stored, const QSslCertificate& certificate)
{
    const QString normal = NormalFingerprint(stored);
    return !normal.isEmpty() && !certificate.isNull() && normal == Fingerprint(certificate);
}

QString CertificateRefusal(const QString& host, const QSslCertificate& certificate, const QList<QSslError>& errors)
{
    QStringList reasons;
    for (const QSslError& error : errors) {
        const QString reason = Reason(error, host);
        if (!reasons.contains(reason))
            reasons << reason;
    }
    return WithFingerprint(QStringLiteral("The certificate of %1 cannot be trusted: %2.").arg(host, reasons.join(QStringLiteral("; "))),
                           certificate);
}

QString UntrustedPinRefusal(const QString& host, const QSslCertificate& certificate)
{
    return WithFingerprint(
        QStringLiteral("The certificate of %1 is not the one trusted for this account.").arg(host), certificate);
}
