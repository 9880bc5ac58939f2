#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
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
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] { Accept(); });
    }

    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/introspect").arg(server.serverPort()); }

    // Token to user name.
    std::map<QByteArray, QString> Active;
    // The tokens asked about, decoded.
    QList<QByteArray> Asked;

private:
    void Accept()
    {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                *request += socket->readAll();
                Answer(socket, *request);
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    // Answers once the whole body is in, then closes.
    void Answer(QTcpSocket* socket, const QByteArray& request)
    {
        const qsizetype end = request.indexOf("\r\n\r\n");
        const qsizetype at = request.toLower().indexOf("\r\ncontent-length:");
        if (end < 0 || at < 0 || at > end)
            return;
        const qsizetype length = request.mid(at + 17, request.indexOf("\r\n", at + 2) - at - 17).trimmed().toLongLong();
        if (request.size() < end + 4 + length)
            return;
        const QByteArray token = TokenOf(request.mid(end + 4, length));
        Asked << token;
        const auto user = Active.find(token);
        const QJsonObject answer = user == Active.end() ? QJsonObject{{"active", false}}
                                                        : QJsonObject{{"active", true}, {"email", user->second}};
        const QByteArray body = QJsonDocument(answer).toJson(QJsonDocument::Compact);
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    static QByteArray TokenOf(const QByteArray& form)
    {
        for (QByteArray field : form.split('&'))
            if (field.startsWith("token="))
                return QByteArray::fromPercentEncoding(field.mid(6).replace('+', ' '));
        return {};
    }

    QTcpServer server;
};
