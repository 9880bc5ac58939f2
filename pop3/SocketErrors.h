#pragma once

#include <QAbstractSocket>
#include <QString>
#include <QStringList>

// Socket errors as numbered in the error table, whatever the platform, and
// the description of the socket library in use.
namespace SocketErrors {

constexpr int HostNotFound = 11001;
constexpr int NoRecovery = 11003;

// Qt's socket error in the table's numbering; -1 for one the table lacks.
int Code(QAbstractSocket::SocketError error);
// "code:text" from the table, a generic text for other codes, empty for 0.
QString Message(int code);
// Six "Name= value" lines on Qt's network module and the system.
QStringList LibraryInfo();

} // namespace SocketErrors
