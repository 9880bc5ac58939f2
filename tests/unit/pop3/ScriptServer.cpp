#include "ScriptServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

TScriptServer::TScriptServer(const QHostAddress& address)
    : Replies{{"USER", "+OK\r\n"},
              {"PASS", "+OK Logged in.\r\n"},
              {"STAT", "+OK 2 320\r\n"},
              {"QUIT", "+OK Logging out.\r\n"}}
{
    server.listen(address);
    connect(&server, &QTcpServer::newConnection, this, [this] { Accept(); });
}

void TScriptServer::Accept()
{
    client = server.nextPendingConnection();
    ++Connections;
    received.clear();
    if (!reading)
        client->setReadBufferSize(1);
    connect(client, &QTcpSocket::readyRead, this, [this] { Receive(); });
    connect(client, &QTcpSocket::disconnected, this, [this, socket = client] {
        ++Disconnections;
        socket->deleteLater();
        if (client == socket)
            client = nullptr;
    });
    if (!Greeting.isEmpty())
        Send(Greeting);
}

void TScriptServer::Receive()
{
    if (!reading || !client)
        return;
    received += client->readAll();
    for (qsizetype end = received.indexOf("\r\n"); end >= 0; end = received.indexOf("\r\n")) {
        const QByteArray command = received.left(end);
        received.remove(0, end + 2);
        Commands.append(command);
        Answer(command);
    }
}

void TScriptServer::Answer(const QByteArray& command)
{
    if (Script && Script(command))
        return;
    auto reply = Replies.find(command);
    if (reply == Replies.end())
        reply = Replies.find(command.left(command.indexOf(' ')));
    Send(reply == Replies.end() ? QByteArray("-ERR Unknown command.\r\n") : reply->second);
}

void TScriptServer::Send(const QByteArray& bytes)
{
    if (client && !bytes.isEmpty())
        client->write(bytes);
}

void TScriptServer::SendLater(int milliseconds, const QByteArray& bytes)
{
    QTimer::singleShot(milliseconds, this, [this, bytes] { Send(bytes); });
}

void TScriptServer::CloseClient()
{
    if (client)
        client->disconnectFromHost();
}

void TScriptServer::StopReading()
{
    reading = false;
    if (client)
        client->setReadBufferSize(1);
}

void TScriptServer::ResumeReading()
{
    reading = true;
    if (!client)
        return;
    client->setReadBufferSize(0);
    // Discard what stalled the client; only commands matter to the tests.
    client->readAll();
    received.clear();
}

bool TScriptServer::ClientConnected() const
{
    return client && client->state() == QAbstractSocket::ConnectedState;
}

bool WaitUntil(const std::function<bool()>& condition, int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return condition();
}
