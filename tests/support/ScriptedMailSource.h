#pragma once

#include "engine/MailSource.h"
#include "pop3/Pop3client.h"

#include <QStringList>

// A mailbox played from a script, told of its changes as they happen: it
// lists its rows, keeps a read mark where told to, and answers Mark Read as
// told. Each answer comes before the call returns.
class TScriptedMailSource : public TMailSource
{
public:
    enum class TAnswer { Marked, Missing, Failed, None };

    using TMailSource::TMailSource;

    QList<TSourceRow> Rows;
    bool KeepsReadMarks = true;
    // Deletes only mark the message, for the next expunge.
    bool DeletesAtExpunge = false;
    TAnswer MarkAnswer = TAnswer::Marked;
    TWatchState Watch;
    // The unique ids asked to be marked read, and to be fetched whole.
    QStringList Marked;
    QStringList Fetches;

    bool Pushes() const override { return true; }
    TWatchState Watching() const override { return Watch; }
    bool MarksRead() const override { return KeepsReadMarks; }
    void Open() override {}
    void Refresh() override
    {
        emit Listing(int(Rows.size()));
        for (const TSourceRow& row : std::as_const(Rows))
            emit Listed(row);
        emit Refreshed({});
    }
    void Delete(const TMessageKey& key) override
    {
        if (DeletesAtExpunge)
            emit DeletedAtExpunge(key);
        emit Deleted(key);
    }
    void Fetch(const TMessageKey& key) override { Fetches << key.UniqueId; }
    void MarkRead(const TMessageKey& key) override
    {
        Marked << key.UniqueId;
        switch (MarkAnswer) {
        case TAnswer::Marked: emit MarkedRead(key); break;
        case TAnswer::Missing: emit Missing(key); break;
        case TAnswer::Failed: emit Failed({TFailureKind::Network, QStringLiteral("Connection reset by peer")}); break;
        case TAnswer::None: break;
        }
    }
    void Close() override {}
    void Cancel() override {}

    void Add(const QString& from, const QString& subject, const QString& uniqueId)
    {
        TSummary summary;
        summary.From = from;
        summary.Subject = subject;
        summary.Header = {QStringLiteral("From:") + from, QStringLiteral("Subject:") + subject, QStringLiteral(".")};
        Rows << TSourceRow{{Account(), uniqueId, int(Rows.size()) + 1}, FieldsOf(summary), 2048};
    }
};
