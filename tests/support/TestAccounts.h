#pragma once

#include "config/Registry.h"
#include "config/ScramblePassword.h"
#include "config/StoreKeys.h"

// Stores an account the way the account dialog does: the password in its
// stored form.
inline void StoreAccount(RegistryStore& store, const QString& name, const QString& server, int port,
                         const QString& user, const QString& password, bool selected = true)
{
    TRegistry reg(store);
    reg.OpenKey(StoreKeys::Accounts + u'\\' + name, true);
    reg.WriteString(QStringLiteral("Server"), server);
    reg.WriteString(QStringLiteral("Username"), user);
    reg.WriteString(QStringLiteral("Password"), ScramblePassword(password));
    reg.WriteInteger(QStringLiteral("Port"), port);
    reg.WriteBool(QStringLiteral("Selected"), selected);
}

inline void StoreBlockedSender(RegistryStore& store, const QString& sender, bool ticked = true)
{
    TRegistry reg(store);
    reg.OpenKey(StoreKeys::BlockedSenders, true);
    reg.WriteBool(sender, ticked);
}
