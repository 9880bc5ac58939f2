#include "platform/InstanceChannel.h"

#include "base/Exception.h"
#include "base/Guard.h"
#include "platform/Profile.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {
constexpr int ReplyWaitMs = 3000;
// Longer than one Forward can take, so a copy waits out the one before it.
constexpr int LockWaitMs = 4 * ReplyWaitMs;
const QByteArray Accepted = "ok\n";
const QString ListingWord = QStringLiteral("list");
// More than any listing, less than a runaway reply could take.
constexpr qint64 LongestListing = 16 * 1024 * 1024;

// One name per profile, so a demo profile and the user's own run side by side.
QString nameFor(const QString& storeFilePath)
{
    const QByteArray hash = QCryptographicHash::hash(storeFilePath.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("postwatch-%1").arg(QString::fromLatin1(hash));
}
}

// A name in /tmp would let any other user listen there first, or hold the
// lock, and so answer for this program or stall its start.
InstanceChannel::InstanceChannel(const QString& storeFilePath, QObject* parent) : QObject(parent)
{
    try {
        serverName = Profile::RuntimeFolder() + u'/' + nameFor(storeFilePath);
        lockPath = serverName + QStringLiteral(".lock");
    } catch (const Exception& e) {
        refusal = e.Message;
    }
}

bool InstanceChannel::open() const
{
    if (!refusal.isEmpty())
        WriteErrorLine(QStringLiteral("Copies of Postwatch cannot reach each other: %1.").arg(refusal));
    return refusal.isEmpty();
}

bool InstanceChannel::connectToRunningCopy(QLocalSocket& socket) const
{
    if (serverName.isEmpty())
        return false;
    socket.connectToServer(serverName);
    return socket.waitForConnected(ReplyWaitMs) && PeerIsThisUser(socket.socketDescriptor());
}

bool InstanceChannel::Forward(const QStringList& words) const
{
    QLocalSocket socket;
    if (!connectToRunningCopy(socket))
        return false;
    socket.write(words.join(QLatin1Char('\n')).toUtf8() + "\n\n");
    if (!socket.waitForBytesWritten(ReplyWaitMs))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(ReplyWaitMs))
            return false;
    }
    return socket.readLine() == Accepted;
}

std::optional<QByteArray> InstanceChannel::AskListing() const
{
    QLocalSocket socket;
    if (!open() || !connectToRunningCopy(socket))
        return std::nullopt;
    socket.write(ListingWord.toUtf8() + "\n\n");
    QByteArray reply;
    while (socket.state() == QLocalSocket::ConnectedState && reply.size() <= LongestListing) {
        if (!socket.waitForReadyRead(ReplyWaitMs) && socket.state() == QLocalSocket::ConnectedState)
            return std::nullopt;
        reply += socket.readAll();
    }
    reply += socket.readAll();
    if (!reply.startsWith(Accepted))
        return std::nullopt;
    return reply.mid(Accepted.size());
}

// Without the lock two copies could both find nobody answering and both
// listen, the later one unlinking the earlier one's socket. The lock lies
// beside the socket.
InstanceChannel::Outcome InstanceChannel::ForwardOrListen(const QStringList& words)
{
    if (!open())
        return NotListening;
    QLockFile lock(lockPath);
    if (!lock.tryLock(LockWaitMs))
        return NotListening;
    if (Forward(words))
        return Forwarded;
    return listen() ? Listening : NotListening;
}

// Listening replaces any socket file of that name; nobody of this user
// answered there, so it was left by a copy that crashed.
bool InstanceChannel::listen()
{
    QLocalServer::removeServer(serverName);
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(serverName))
        return false;
    connect(server, &QLocalServer::newConnection, this, &InstanceChannel::serveConnection);
    return true;
}

void InstanceChannel::SetReady()
{
    ready = true;
    dispatchLater();
}

void InstanceChannel::serveConnection()
{
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        if (!PeerIsThisUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            received.remove(socket);
            socket->deleteLater();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readWords(socket); });
    }
}

// The words end with an empty line. The sender is answered before anything
// runs: a check started here may take long, and the sender must not wait for it.
void InstanceChannel::readWords(QLocalSocket* socket)
{
    QStringList& words = received[socket];
    while (socket->canReadLine()) {
        const QString word = QString::fromUtf8(socket->readLine().trimmed());
        if (!word.isEmpty()) {
            words << word;
            continue;
        }
        const QStringList request = received.take(socket);
        const bool listing = request == QStringList{ListingWord};
        socket->write(listing && Listing ? Accepted + Listing() : Accepted);
        socket->disconnectFromServer();
        if (!listing)
            takeRequest(request);
        return;
    }
}

void InstanceChannel::takeRequest(const QStringList& words)
{
    waiting += words;
    if (ready)
        dispatchLater();
}

void InstanceChannel::dispatchLater()
{
    QMetaObject::invokeMethod(this, &InstanceChannel::dispatchWaiting, Qt::QueuedConnection);
}

void InstanceChannel::dispatchWaiting()
{
    const QStringList words = std::exchange(waiting, {});
    for (const QString& word : words)
        dispatchWord(word);
}

void InstanceChannel::dispatchWord(const QString& word)
{
    if (word == QLatin1String("checknow"))
        emit CheckNowRequested();
    else if (word == QLatin1String("show"))
        emit ShowRequested();
}

bool PeerIsThisUser(qintptr socketDescriptor)
{
    ucred peer{};
    socklen_t size = sizeof(peer);
    return getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof(peer)
           && peer.uid == getuid();
}
