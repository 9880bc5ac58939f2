#pragma once

#include <QFile>

// The port of the Dovecot that this test run started, 0 when none runs.
// PW_POP3_SERVER_DIR is the server's folder, given to each integration test.
inline int DovecotPort()
{
    QFile port(PW_POP3_SERVER_DIR "/port");
    return port.open(QIODevice::ReadOnly) ? port.readAll().trimmed().toInt() : 0;
}
