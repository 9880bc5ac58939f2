#pragma once

#include <QObject>

class QDBusConnection;

// Tells when the machine has woken from sleep: on Linux logind's
// PrepareForSleep with false on the system bus (without logind it never
// tells), on Windows the resume notice broadcast to the top-level windows.
class TSleepWatch : public QObject
{
    Q_OBJECT

public:
    explicit TSleepWatch(QObject* parent = nullptr);
    // Linux only: logind on this bus rather than the system bus.
    explicit TSleepWatch(const QDBusConnection& systemBus, QObject* parent = nullptr);

signals:
    void Resumed();
};
