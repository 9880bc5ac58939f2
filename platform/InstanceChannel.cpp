#include "platform/InstanceChannel.h"

#include "base/Guard.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <utility>

namespace {
const QByteArray Accepted = "ok\n";
const QString ListingWord = QStringLiteral("list");
// More than any listing, less than a runaway reply could take.
constexpr qint64 LongestListing = 16 * 1024 * 1024;
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

bool InstanceChannel::sendWords(const QStringList& words) const
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

// Listening replaces any socket file of that name; nobody of this user
// answered there, so it was left by a copy that crashed. The server admits
// this user alone.
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
