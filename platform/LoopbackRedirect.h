#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QUrl>

#include <optional>

class QEventLoop;
class QTcpSocket;

// The listener on 127.0.0.1 that the browser comes back to from the
// provider's sign-in page. Only a GET of "/" that carries this sign-in's
// state is the redirect; any other request, from whatever connects, is
// answered 400 and the wait goes on. The redirect's page tells the user the
// browser may be closed, and the listener then closes.
class TLoopbackRedirect : public QObject
{
public:
    TLoopbackRedirect(QString account, QByteArray state);

    // Throws Exception when no port is to be had.
    void Listen();
    QUrl RedirectUri() const;
    bool IsListening() const { return server.isListening(); }

    // Runs the event loop until the redirect came, at most milliseconds; the
    // listener is closed after. The redirect's fields, none on a time-out.
    std::optional<QMap<QString, QString>> Wait(int milliseconds);

    // What the last request turned away was; empty when none was.
    QString Refused;

private:
    void accept();
    void read(QTcpSocket* socket);
    bool isTheRedirect(const QByteArray& requestLine);
    void answer(QTcpSocket* socket, bool ok, const QByteArray& page);
    void close();

    QString account;
    QByteArray state;
    QTcpServer server;
    QList<QPointer<QTcpSocket>> open;
    std::optional<QMap<QString, QString>> fields;
    QEventLoop* loop = nullptr;
};
