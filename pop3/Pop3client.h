#pragma once

#include "pop3/Linesock.h"

#include <QStringList>

using TExStringList = QStringList;

// One message's header summary, replaced by each RetrieveSummary.
struct TSummary
{
    QString Subject;
    QString From;
    QString MessageId;
    qint64 Bytes = 0;
    TExStringList Header;
};

// One whole message; filled by message retrieval.
struct TMailMessage
{
    TExStringList Head;
    QStringList Body;
    QStringList Attachments;
    QString From;
    QString Subject;
    QString MessageId;
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
    virtual void DeleteMessage(int index) = 0;
    virtual void Cancel() = 0;

    QString UserID;
    QString Password;
    int MessageCount = 0;
    TSummary Summary;
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
    void DeleteMessage(int index) override;
    void Cancel() override { TLineSocket::Cancel(); }

    TMailMessage MailMessage;

protected:
    void CloseDown() override;
    void AbortReceive() override;

private:
    void AskCredentials();
    void ReadGreeting();
    void LogIn();
    bool TryLogIn();
    void CountMessages();
    void QuitQuietly();
    void EndConnect(bool wasBusy, bool loggedIn);
    void Quit();
    void ReadSummaryHeader();
    void TakeSummaryField(const QByteArray& line);
    QByteArray Command(const char* word, int index);
};
