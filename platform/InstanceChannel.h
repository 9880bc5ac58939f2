#pragma once

#include <QObject>
#include <QHash>
#include <QStringList>
#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

// Lets one running copy per profile take requests from later starts of the
// program: a second start hands over its command-line words and ends. On
// Linux they go over a socket in the user's runtime folder. On Windows
// "checknow" goes as message 0x8190 to the window titled "Postwatch" that
// FindWindow finds, the other words and --list over a named pipe that admits
// only this user; a copy whose window does not answer is not waited for.
class InstanceChannel : public QObject
{
    Q_OBJECT

public:
    enum Outcome {
        Forwarded,   // a running copy took the words, or hangs (said on standard error): this start ends
        Listening,   // this copy is the running one now
        NotListening // no lock or no socket: this copy runs but takes no requests
    };

    // The socket and the lock lie in the user's runtime folder; where that
    // folder is not safe, the channel stays closed and says why on standard error.
    explicit InstanceChannel(const QString& storeFilePath, QObject* parent = nullptr);

    // The socket's full path, or the pipe's name; empty when the folder was refused.
    QString ServerName() const { return serverName; }

    // Sends the words to the running copy; true when it took them.
    bool Forward(const QStringList& words) const;
    // What the running copy's Listing gives now; none when no copy answers.
    std::optional<QByteArray> AskListing() const;
    // Hands the words to the running copy or, when none answers, becomes it.
    // Copies that start together take turns, so exactly one of them listens.
    Outcome ForwardOrListen(const QStringList& words);

    // Requests are held until the program can carry them out; from now on
    // they run, those held first, in the order they came.
    void SetReady();

    // Answers a later start's AskListing, at once: it only reads.
    std::function<QByteArray()> Listing;

signals:
    void CheckNowRequested();
    void ShowRequested();

private:
    bool open() const;
    bool connectToRunningCopy(QLocalSocket& socket) const;
    bool listen();
    void serveConnection();
    void readWords(QLocalSocket* socket);
    void takeRequest(const QStringList& words);
    void dispatchLater();
    void dispatchWaiting();
    void dispatchWord(const QString& word);

    QString serverName;
    QString lockPath;
    QString refusal;
    QLocalServer* server = nullptr;
    QHash<QLocalSocket*, QStringList> received;
    QStringList waiting;
    bool ready = false;
};

// Whether the other end of a connected local socket runs as this user: the
// kernel's word for it, which the peer cannot forge. On Windows, where any
// user can make a pipe of a given name first, the process at the other end
// is asked for its user.
bool PeerIsThisUser(qintptr socketDescriptor);
