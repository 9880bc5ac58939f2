#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <map>

// A POP3 server on loopback that answers from a script, for the replies a
// real server will not give. It lives in the test's thread: the client's
// waits run the event loop, and with it this server.
class TScriptServer : public QObject
{
public:
    explicit TScriptServer(const QHostAddress& address = QHostAddress::LocalHost);

    quint16 Port() const { return server.serverPort(); }
    bool Listening() const { return server.isListening(); }

    // Sent when a client connects; empty keeps the server silent.
    QByteArray Greeting = "+OK Script ready.\r\n";
    // Replies by whole command line, else by command word; a command found
    // in neither gets -ERR. An empty reply is silence.
    std::map<QByteArray, QByteArray> Replies;
    // Runs for every command before the replies are looked up; returning
    // true means it answered itself.
    std::function<bool(const QByteArray& command)> Script;

    QList<QByteArray> Commands;
    int Connections = 0;
    int Disconnections = 0;

    void Send(const QByteArray& bytes);
    void SendLater(int milliseconds, const QByteArray& bytes);
    void CloseClient();
    // Stops taking data off the connection, so the client's sending stalls.
    void StopReading();
    void ResumeReading();
    bool ClientConnected() const;

private:
    void Accept();
    void Receive();
    void Answer(const QByteArray& command);

    QTcpServer server;
    QTcpSocket* client = nullptr;
    QByteArray received;
    bool reading = true;
};

// Runs the event loop until the condition holds or the limit passes.
bool WaitUntil(const std::function<bool()>& condition, int milliseconds = 5000);
