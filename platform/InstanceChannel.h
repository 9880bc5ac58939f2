#pragma once

#include <QObject>
#include <QHash>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// Lets one running copy per profile take requests from later starts of the
// program: a second start hands over its command-line words and ends.
class InstanceChannel : public QObject
{
    Q_OBJECT

public:
    explicit InstanceChannel(const QString& storeFilePath, QObject* parent = nullptr);

    QString ServerName() const { return serverName; }

    // Sends the words to the running copy; true when it took them.
    bool Forward(const QStringList& words) const;
    // Starts listening for later starts; false when another copy already listens.
    bool Listen();

signals:
    void CheckNowRequested();
    void ShowRequested();

private:
    void serveConnection();
    void readWords(QLocalSocket* socket);
    void dispatch(const QStringList& words);
    void dispatchWord(const QString& word);

    QString serverName;
    QLocalServer* server = nullptr;
    QHash<QLocalSocket*, QStringList> received;
};
