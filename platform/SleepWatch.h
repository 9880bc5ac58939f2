#pragma once

#include <QDBusConnection>
#include <QObject>

// Tells when the machine has woken from sleep: logind's PrepareForSleep
// with false on the system bus. Without logind it never tells.
class TSleepWatch : public QObject
{
    Q_OBJECT

public:
    explicit TSleepWatch(const QDBusConnection& systemBus = QDBusConnection::systemBus(), QObject* parent = nullptr);

signals:
    void Resumed();

private slots:
    void prepareForSleep(bool sleeping);
};
