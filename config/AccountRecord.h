#pragma once

#include "base/Auth.h"
#include "base/Security.h"
#include "platform/OAuthSignIn.h"

#include <QString>

#include <optional>

class RegistryStore;
class TRegistry;

// One account's values in its key of the store (Accounts\<Name>). The
// password and the refresh token are secrets and stay with AccountPassword
// and OAuthAccount. Values are read as stored: a Security or Auth out of
// range is kept for the reader to refuse or clamp, and a value stored with
// another type throws EStoreError naming it.
class TAccountRecord
{
public:
    QString Name;
    QString Server;   // without surrounding blanks
    QString Username; // without surrounding blanks
    int Port = 110;
    // An account written before TLS has none and stays plain.
    TSecurity Security = secNone;
    int Auth = authPassword;
    TOAuthProvider Provider; // kept only while Auth is authOAuth2
    QString SignInId;        // given when a refresh token is first kept
    QString DesktopAccount;  // the desktop's id of its online account; kept only while Auth is authDesktop
    QString CertFingerprint; // empty: the system's authorities decide
    bool QuickCheck = true;
    bool Selected = true;
    QString Protocol = DefaultProtocol;
    QString Folder = DefaultFolder;

    static inline const QString DefaultProtocol = QStringLiteral("POP3");
    static inline const QString ImapProtocol = QStringLiteral("IMAP");
    static inline const QString DefaultFolder = QStringLiteral("INBOX");

    // In any case, as a hand-edited key may hold "imap".
    static bool IsImap(const QString& protocol);

    // Nothing when the account's key does not exist. Server, Username and
    // Port must be stored; EStoreError says which one is missing.
    static std::optional<TAccountRecord> Read(RegistryStore& store, const QString& name);
    // reg has the account's key open.
    static TAccountRecord Read(const TRegistry& reg, const QString& name);
    // Creates the key where needed. Values whose absence means what they
    // hold (no fingerprint, a password sign-in, POP3, INBOX) are left out.
    void Write(RegistryStore& store) const;
    void Write(TRegistry& reg) const;

    // Stores the values Read requires with their defaults where the key has
    // none, as an account being edited gets them; reg has the key open.
    static void CompleteRequired(TRegistry& reg);
    // Only into an account that still exists.
    static void TrustCertificate(RegistryStore& store, const QString& name, const QString& fingerprint);
    // The check mark alone: false for an account that is gone, true where
    // the key has none (written by hand).
    static bool ReadSelected(RegistryStore& store, const QString& name);
    static void WriteSelected(RegistryStore& store, const QString& name, bool selected);
    // Gives the account a sign-in id unless it has one; reg has the key open.
    static void GiveSignInId(TRegistry& reg);

    static QString KeyOf(const QString& name);

    // The server is this machine: it stays reachable without a network.
    bool IsLocal() const;
};

// The port a server of the protocol listens on for the security, where the
// user gave none: the protocol's TLS port for SSL/TLS, its plain one else.
int DefaultPort(const QString& protocol, int security);
