#pragma once

#include <QString>

// The system's store of secrets: one secret per account of one profile,
// shown to the user as "Postwatch: <account>". On Linux the desktop's
// Secret Service (GNOME Keyring, KWallet, KeePassXC) through QtKeychain, where
// every request waits in a local event loop for at most its time-out, so a
// store that never answers costs a few seconds, not a hang; on Windows the
// Credential Manager, which answers at once and never prompts. Failures raise
// Exception in a user's words.
class SecretStore
{
public:
    // profile: the settings' place (the file's path, or the registry key),
    // which keeps two profiles' accounts of the same name apart.
    explicit SecretStore(QString profile);

    // Which of an account's secrets a request is about.
    enum Kind { Password, SignIn };

    // How long a request to the Secret Service may go unanswered; while the
    // desktop asks the user to unlock the keyring, the longer one.
    int TimeOut = 5000;
    int PromptTimeOut = 120000;

    // That no store answers, in the words of this system.
    static QString NotAnswering();
    // Whether a store answers.
    bool Answers();

    // The account's secret, empty when the store holds none. A locked Linux
    // keyring is unlocked through the desktop's prompt when mayPrompt;
    // otherwise it raises "The keyring is locked" without asking anybody.
    QString Read(const QString& account, bool mayPrompt, Kind kind = Password);
    void Write(const QString& account, const QString& secret, Kind kind = Password, bool mayPrompt = true);
    // Removing a secret the store does not hold is no failure.
    void Remove(const QString& account, Kind kind = Password);

private:
    // The name the store shows for the secret. No account name makes one
    // kind's name the other's: the prefixes differ before either ends.
    QString Label(const QString& account, Kind kind) const;

    QString profile;
};
