#include "platform/LoopbackRedirect.h"

#include "base/Exception.h"
#include "platform/FormEncoding.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

namespace {
// A browser's request head is far smaller; more is someone else's.
constexpr qsizetype MaxHead = 16 * 1024;
// Browsers open a spare connection or two; other local programs may open many.
constexpr int MaxConnections = 16;

QByteArray page(const QByteArray& text)
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Postwatch</title></head>"
           "<body><p>" + text + "</p></body></html>\n";
}
}

TLoopbackRedirect::TLoopbackRedirect(QString account, QByteArray state)
    : account(std::move(account)), state(std::move(state))
{
    server.setMaxPendingConnections(MaxConnections);
    connect(&server, &QTcpServer::newConnection, this, &TLoopbackRedirect::accept);
}

void TLoopbackRedirect::Listen()
{
    if (!server.listen(QHostAddress::LocalHost, 0))
        throw Exception(QStringLiteral("The sign-in to ") + account +
                        QStringLiteral(" found no free port on 127.0.0.1: ") + server.errorString());
}

QUrl TLoopbackRedirect::RedirectUri() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort()));
}

std::optional<QMap<QString, QString>> TLoopbackRedirect::Wait(int milliseconds)
{
    QEventLoop waiting;
    QTimer::singleShot(milliseconds, &waiting, &QEventLoop::quit);
    loop = &waiting;
    if (server.isListening())
        waiting.exec();
    loop = nullptr;
    close();
    return fields;
}

void TLoopbackRedirect::accept()
{
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        socket->setParent(this);
        open.removeAll(nullptr);
        // The oldest silent one goes: a flood of idle connections cannot shut out the browser.
        if (open.size() >= MaxConnections)
            open.takeFirst()->abort();
        open << socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void TLoopbackRedirect::read(QTcpSocket* socket)
{
    if (!open.contains(socket))
        return;
    const QByteArray head = socket->peek(MaxHead + 1);
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0 && head.size() <= MaxHead)
        return;
    open.removeAll(socket);
    socket->readAll();
    if (end < 0 || !isTheRedirect(head.left(head.indexOf("\r\n")))) {
        answer(socket, false, page("This is not a sign-in that Postwatch waits for."));
        return;
    }
    const bool signedIn = !fields->value(QStringLiteral("code")).isEmpty() && !fields->contains(QStringLiteral("error"));
    answer(socket, signedIn, page(signedIn ? "Postwatch has its sign-in. You may close this page."
                                           : "The sign-in did not succeed; Postwatch tells why. "
                                             "You may close this page."));
    close();
    if (loop)
        loop->quit();
}

// The redirect's query comes from the provider through the browser; its
// state proves it answers the request this sign-in made.
bool TLoopbackRedirect::isTheRedirect(const QByteArray& requestLine)
{
    const QByteArrayList parts = requestLine.split(' ');
    if (parts.size() != 3 || parts[0] != "GET" || !parts[2].startsWith("HTTP/1.")) {
        Refused = QStringLiteral("a request that was not a browser's GET");
        return false;
    }
    const qsizetype question = parts[1].indexOf('?');
    if (parts[1].left(question) != "/") {
        Refused = QStringLiteral("a request for another address");
        return false;
    }
    const auto query = FormDecoded(question < 0 ? QByteArray() : parts[1].mid(question + 1));
    if (!query || query->value(QStringLiteral("state")).toLatin1() != state) {
        Refused = QStringLiteral("a redirect that did not carry this sign-in's state");
        return false;
    }
    fields = query;
    return true;
}

void TLoopbackRedirect::answer(QTcpSocket* socket, bool ok, const QByteArray& body)
{
    socket->write((ok ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 400 Bad Request\r\n") +
                  QByteArray("Content-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n"
                             "Connection: close\r\nContent-Length: ") +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    socket->flush();
    socket->disconnectFromHost();
}

// A connection that never said anything is no browser's: it goes too.
void TLoopbackRedirect::close()
{
    server.close();
    for (const QPointer<QTcpSocket>& socket : std::as_const(open))
        if (socket)
            socket->abort();
    open.clear();
}
