#pragma once

#include <QString>

// The keys the program keeps its state under, below HKEY_CURRENT_USER unless
// noted. The last two belong to the system and are only read.
namespace StoreKeys {
inline const QString Program = QStringLiteral("Software\\Tallowfen\\Postwatch\\2.0");
inline const QString Accounts = Program + QStringLiteral("\\Accounts");
inline const QString BlockedSenders = Program + QStringLiteral("\\BlockedSenders");
inline const QString MailClients = QStringLiteral("Software\\Clients\\Mail\\"); // HKEY_LOCAL_MACHINE
inline const QString DialUpProfiles = QStringLiteral("RemoteAccess\\Profile");
}
