#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class RegistryStore;
class SecretStore;
class TRegistry;

// Where an account's password is kept: the desktop's secret store when one
// answered at start (RegistryStore::Secrets), else the account's scrambled
// Password value, as before there was a store. A value still in the file is
// used wherever it is found: it stays there when moving it failed.

// reg has the account's key open. mayPrompt: the user asked for what needs
// the password, and may be asked to unlock the keyring. Empty when the
// secret store holds none.
QString StoredPassword(const TRegistry& reg, RegistryStore& store, const QString& account, bool mayPrompt);
// The same for logging in, where a missing secret is a failure in words.
QString ReadAccountPassword(const TRegistry& reg, RegistryStore& store, const QString& account, bool mayPrompt);
// The account's secret goes with the account; without a store there is none.
void RemoveAccountPassword(RegistryStore& store, const QString& account);

// Moves every account's Password value and kept refresh token into the
// secret store: the secret is written first and the value removed after, so
// an account whose move fails keeps its value. Returns the failures, one line
// per account and secret.
QStringList MovePasswordsToSecretStore(RegistryStore& store, SecretStore& secrets);

// At start: a store that answers takes the passwords and is set as the
// store's Secrets (the caller keeps it while the store lives); without one
// the passwords stay in the file, and standard error says so once. A
// profile whose UseSecretStore is 0 keeps them in the file without a word.
std::unique_ptr<SecretStore> UseSecretStore(RegistryStore& store, const QString& profile);
