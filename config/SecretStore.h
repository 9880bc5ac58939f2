#pragma once

#include <QString>
#include <optional>

namespace QKeychain {
class Job;
}

// The desktop's secret store (the freedesktop Secret Service: GNOME Keyring,
// KWallet, KeePassXC) through QtKeychain: one secret per account of one
// profile, shown in the keyring application as "Postwatch: <account>".
// Every request waits in a local event loop for at most its time-out, so a
// store that never answers costs a few seconds, not a hang. Failures raise
// Exception in a user's words.
class SecretStore
{
public:
    // profile: the settings file's path, which keeps two profiles' accounts
    // of the same name apart.
    explicit SecretStore(QString profile);

    // Which of an account's secrets a request is about.
    enum Kind { Password, SignIn };

    // How long a request may go unanswered; while the desktop asks the user
    // to unlock the keyring, the longer one.
    int TimeOut = 5000;
    int PromptTimeOut = 120000;

    // Whether a store answers on the session bus.
    bool Answers();

    // The account's secret, empty when the store holds none. A locked
    // keyring is unlocked through the desktop's prompt when mayPrompt;
    // otherwise it raises "The keyring is locked" without asking anybody.
    QString Read(const QString& account, bool mayPrompt, Kind kind = Password);
    void Write(const QString& account, const QString& secret, Kind kind = Password, bool mayPrompt = true);
    // Removing a secret the store does not hold is no failure.
    void Remove(const QString& account, Kind kind = Password);

    // What a finished request said.
    struct JobResult {
        int Error = 0; // a QKeychain::Error
        QString Message;
        QString Text;
    };

private:
    // No account name makes one kind's label the other's: the prefixes differ
    // before either ends.
    static QString Label(const QString& account, Kind kind);
    // Whether the Secret Service holds the account's secret locked or,
    // holding none, keeps its default keyring locked; false where it cannot
    // tell (another kind of store, or none).
    bool IsLocked(const QString& label) const;
    // The request's time-out; refuses one that may not prompt but would.
    int TimeOutFor(const QString& label, bool mayPrompt) const;
    // Starts the job and waits for its answer: none when the time-out came
    // first, which Answer raises as a failure.
    static std::optional<JobResult> Wait(QKeychain::Job& job, int timeOut);
    static JobResult Answer(QKeychain::Job& job, int timeOut);

    QString profile;
};
