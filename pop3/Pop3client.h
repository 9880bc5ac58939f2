#pragma once

#include "base/Auth.h"
#include "pop3/Linesock.h"
#include "pop3/MailMessage.h"
#include "pop3/MessageReader.h"
#include "pop3/TokenLogin.h"
#include "pop3/Uudecoder.h"

#include <QStringList>

// One message's header summary, replaced by each RetrieveSummary.
struct TSummary
{
    QString Subject;
    QString From;
    QString MessageId;
    qint64 Bytes = 0;
    TExStringList Header;
    // The header was longer than a summary keeps: what was read of it.
    bool Cut = false;
};

// The server refused the account's access token (expired, revoked or never
// valid): only a new sign-in helps, no password question.
class ETokenRefused : public Exception
{
public:
    explicit ETokenRefused(const QString& account)
        : Exception(account.isEmpty() ? QStringLiteral("Sign in again")
                                      : QStringLiteral("Sign in to %1 again").arg(account)) {}
};

// The mail client as the check engine sees it: every operation is synchronous
// for its caller and reports failure by an exception.
class TMailClient : public virtual TSocketProperties
{
public:
    virtual ~TMailClient() = default;

    virtual void Connect() = 0;
    virtual void Disconnect() = 0;
    virtual void RetrieveSummary(int index) = 0;
    // The whole mailbox's unique ids and sizes, from one UIDL and one LIST:
    // false, with ListingProblem saying why, where the server has no UIDL or
    // a listing that cannot be trusted. The session goes on either way.
    virtual bool ListMailbox() = 0;
    // One message's unique id now (UIDL n); empty where the server gives none.
    virtual QString UniqueId(int index) = 0;
    virtual void RetrieveMessage(int index) = 0;
    virtual void DeleteMessage(int index) = 0;
    virtual void Cancel() = 0;

    QString UserID;
    QString Password;
    int Auth = authPassword;
    // Sent instead of the password where Auth sends a token.
    QString AccessToken;
    // The account's name as the user knows it, for ETokenRefused's words.
    QString AccountName;
    int MessageCount = 0;
    // What the server's CAPA listed after the login, one line each; none
    // where it answered -ERR.
    QStringList Capabilities;
    // The seconds the server wants between two logins (LOGIN-DELAY), 0 for none.
    int LoginDelay = 0;
    // From ListMailbox, by message number - 1.
    QStringList UniqueIds;
    QList<qint64> Sizes;
    QString ListingProblem;
    // The numbers RetrieveSummary will be asked for next, in ascending order:
    // a server that offers PIPELINING gets their TOP commands ahead, and the
    // sizes of a listed mailbox need no LIST of their own.
    QList<int> SummariesAhead;
    TSummary Summary;
    TMailMessage MailMessage;
    bool DeleteOnRead = false;
    // Where a retrieved message's parts are written; names are joined to it
    // without a separator, so it ends with "/".
    QString AttachFilePath;
    // Asked when a retrieved message's header has arrived, before any part
    // is written: a refusal reads the rest away and RetrieveMessage raises
    // EMessageRefused. Empty: every message is taken.
    THeaderCheck AcceptHeader;
    bool Busy = false;

    TNotifyEvent OnConnect;
    THandlerEvent OnAuthenticationNeeded;
    THandlerEvent OnAuthenticationFailed;
    TNotifyEvent OnRetrieveStart;
    TNotifyEvent OnRetrieveEnd;
    TNotifyEvent OnSuccess;
    TNotifyEvent OnFailure;
};

class TPop3Client : public TLineSocket, public TMailClient
{
public:
    explicit TPop3Client(QObject* parent = nullptr);

    void Connect() override;
    void Disconnect() override;
    void RetrieveSummary(int index) override;
    bool ListMailbox() override;
    QString UniqueId(int index) override;
    void RetrieveMessage(int index) override;
    void DeleteMessage(int index) override;
    void Cancel() override { TLineSocket::Cancel(); }

    TUUProcessor UUProcessor;

protected:
    void CloseDown() override;
    void AbortReceive() override;

private:
    void AskCredentials();
    void ReadGreeting();
    void StartTls();
    void LogIn();
    bool TryLogIn();
    void RequireToken();
    void LogInWithToken();
    QByteArray TokenExchange(TTokenMechanism mechanism);
    void ReadCapabilities();
    void CountMessages();
    void QuitQuietly();
    void EndConnect(bool wasBusy, bool loggedIn);
    void Quit();
    void ReadMessage(int index);
    void ReadMessageText();
    void EndRetrieve();
    bool HasCapability(const QString& name) const;
    void ReadSummary(int index);
    void SendTops(int index);
    bool ListIds();
    bool ListSizes();
    template <typename Line> void ReadListing(const Line& line);
    void ReadSummaryHeader();
    [[noreturn]] void ReplyTooLong();
    void TakeSummaryField(const QByteArray& line);
    QByteArray Command(const char* word, int index);

    TMessageReader Reader{MailMessage, UUProcessor};
    // TOP commands sent whose replies are still to be read, in order.
    QList<int> awaiting;
};
