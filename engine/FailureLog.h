#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The accounts whose last check failed, and why: a failure is told once, and
// stands in the tray's hint until the account is checked without one.
class TFailureLog
{
public:
    struct TFailure
    {
        QString Account;
        QString Reason;
        QDateTime Since;
    };

    // Notes the account's failure; true when it is news: the account had
    // none, or another one.
    bool Note(const QString& account, const QString& reason, const QDateTime& when);
    // The account was checked to its end; true when it had a failure.
    bool Clear(const QString& account);
    // Forgets the accounts that are no longer checked.
    void Keep(const QStringList& accounts);

    bool IsEmpty() const { return failures.isEmpty(); }
    // "Home: Failed to connect, 10:40"; empty for an account without one.
    QString Line(const QString& account) const;
    // One line per account.
    QStringList Lines() const;
    const QList<TFailure>& All() const { return failures; }

private:
    static QString LineOf(const TFailure& failure);

    QList<TFailure> failures;
};
