#include "platform/InstanceChannel.h"

#include "base/Exception.h"
#include "platform/Profile.h"

#include <QCryptographicHash>
#include <QLockFile>

#include <sys/socket.h>
#include <unistd.h>

// On Linux a start finds the running copy at a socket in the user's runtime
// folder, and copies starting together take turns through a lock file beside it.
namespace {
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

bool InstanceChannel::Forward(const QStringList& words) const
{
    return sendWords(words);
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

bool PeerIsThisUser(qintptr socketDescriptor)
{
    ucred peer{};
    socklen_t size = sizeof(peer);
    return getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof(peer)
           && peer.uid == getuid();
}
