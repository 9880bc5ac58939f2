#pragma once

#include <QFile>
#include <QSslCertificate>

// The port of the Dovecot that this test run started, 0 when none runs.
// PW_POP3_SERVER_DIR is the server's folder, given to each integration test.
inline int DovecotPort()
{
    QFile port(PW_POP3_SERVER_DIR "/port");
    return port.open(QIODevice::ReadOnly) ? port.readAll().trimmed().toInt() : 0;
}

// Its SSL/TLS port; its plain port offers STLS.
inline int DovecotTlsPort()
{
    QFile port(PW_POP3_SERVER_DIR "/tls-port");
    return port.open(QIODevice::ReadOnly) ? port.readAll().trimmed().toInt() : 0;
}

// Its certificate, self-signed for "localhost".
inline QSslCertificate DovecotCertificate()
{
    const QList<QSslCertificate> found = QSslCertificate::fromPath(PW_POP3_SERVER_DIR "/tls/cert.pem");
    return found.isEmpty() ? QSslCertificate() : found.first();
}

// What the server's log says of logins so far.
inline QByteArray DovecotLog()
{
    QFile log(PW_POP3_SERVER_DIR "/dovecot.log");
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

// Its IMAP port (STARTTLS offered) and IMAP SSL/TLS port.
inline int DovecotImapPort()
{
    QFile port(PW_POP3_SERVER_DIR "/imap-port");
    return port.open(QIODevice::ReadOnly) ? port.readAll().trimmed().toInt() : 0;
}

inline int DovecotImapTlsPort()
{
    QFile port(PW_POP3_SERVER_DIR "/imap-tls-port");
    return port.open(QIODevice::ReadOnly) ? port.readAll().trimmed().toInt() : 0;
}
