#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <map>
#include <memory>

// An OAuth 2.0 provider's token introspection on loopback, as Dovecot's
// oauth2 passdb asks it: POST token=... answers {"active": true, "email":
// USER} for a token in Active, {"active": false} for any other. It lives in
// the test's thread: the client's waits run the event loop, and with it this.
class TTokenIntrospection
{
public:
    TTokenIntrospection()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            QTcpSocket* socket = server.nextPendingConnection();
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [=, this] { Answer(socket, *request += socket->readAll()); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        });
    }

    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/introspect").arg(server.serverPort()); }

    std::map<QByteArray, QString> Active; // token to user name
    QList<QByteArray> Asked;

private:
    // Once the whole form is in: its token is asked about, and the answer closes.
    void Answer(QTcpSocket* socket, const QByteArray& request)
    {
        const qsizetype end = request.indexOf("\r\n\r\n");
        const qsizetype at = request.toLower().indexOf("\r\ncontent-length:");
        if (end < 0 || at < 0 || request.size() < end + 4 + request.mid(at + 17, end - at).split('\r').first().trimmed().toInt())
            return;
        const QByteArray token = QByteArray::fromPercentEncoding(request.mid(end + 4).split('&').first().mid(6).replace('+', ' '));
        Asked << token;
        const auto user = Active.find(token);
        const QByteArray body = QJsonDocument(user == Active.end() ? QJsonObject{{"active", false}}
                                                                   : QJsonObject{{"active", true}, {"email", user->second}})
                                    .toJson(QJsonDocument::Compact);
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer server;
};
