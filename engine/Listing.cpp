#include "engine/Listing.h"

#include "base/CleanText.h"
#include "engine/FailureLog.h"
#include "engine/MessageFields.h"
#include "engine/MessageList.h"
#include "engine/Notifier.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <algorithm>

namespace {

const QStringList Fields = {QStringLiteral("from"),     QStringLiteral("subject"), QStringLiteral("size"),
                            QStringLiteral("priority"), QStringLiteral("received"), QStringLiteral("account"),
                            QStringLiteral("number")};
enum { FromField, SubjectField, SizeField, PriorityField };

// An IMAP message has no number in its mailbox's listing: it goes by its
// unique id, and a 0 would read as a number.
QStringList RowOf(const MessageEntry& entry)
{
    const QString number = entry.Number > 0 ? QString::number(entry.Number) : QString();
    return {Shown(entry.ReadableFrom), Shown(entry.ReadableSubject), QString::number(entry.Bytes), entry.Priority,
            entry.Received,            entry.Account,                number};
}

void WriteRow(QTextStream& out, const QStringList& row)
{
    out << row.join(QLatin1Char('\t')) << QLatin1Char('\n');
}

void WriteStatus(QTextStream& out, const QStringList& status)
{
    for (const QString& line : status)
        if (!line.isEmpty())
            out << line << QLatin1Char('\n');
}

// A failure's line quotes the server.
QStringList CleanedStatus(const QStringList& status)
{
    QStringList cleaned;
    for (const QString& line : status)
        cleaned << CleanedLine(line);
    return cleaned;
}

QJsonArray RowsJson(const QList<QStringList>& rows)
{
    QJsonArray array;
    for (const QStringList& row : rows) {
        QJsonObject object;
        for (int field = 0; field < Fields.size(); ++field)
            object.insert(Fields[field], row.value(field));
        array << object;
    }
    return array;
}

QJsonArray FailedJson(const QList<TListing::TFailed>& failed)
{
    QJsonArray array;
    for (const TListing::TFailed& failure : failed)
        array << QJsonObject{{QStringLiteral("account"), failure.Account}, {QStringLiteral("reason"), failure.Reason}};
    return array;
}

// Since when in UTC, which a script reads without knowing this machine's
// time zone; absent while the account is watched live.
QJsonArray WatchingJson(const TWatchedAccounts& watching)
{
    QJsonArray array;
    for (const TWatchedAccount& watched : watching) {
        QJsonObject object{{QStringLiteral("account"), watched.Account}, {QStringLiteral("live"), watched.State.Live}};
        if (watched.Retrying())
            object.insert(QStringLiteral("retryingSince"), watched.State.RetryingSince.toUTC().toString(Qt::ISODate));
        array << object;
    }
    return array;
}

TWatchedAccounts WatchingOf(const QJsonArray& array)
{
    TWatchedAccounts watching;
    for (const QJsonValue& value : array) {
        const QJsonObject object = value.toObject();
        const QDateTime since =
            QDateTime::fromString(object.value(QStringLiteral("retryingSince")).toString(), Qt::ISODate);
        watching << TWatchedAccount{object.value(QStringLiteral("account")).toString(),
                                    {object.value(QStringLiteral("live")).toBool(), since.toLocalTime()}};
    }
    return watching;
}

// A failure outweighs any priority: the count may be short.
QString PanelClass(const TListing& listing)
{
    const QList<QStringList>& rows = listing.Rows;
    if (!listing.Failed.isEmpty())
        return QStringLiteral("failed");
    if (rows.isEmpty())
        return QStringLiteral("none");
    const bool high = std::ranges::any_of(rows, [](const QStringList& row) { return row.value(PriorityField) == Priority::High; });
    return high ? QStringLiteral("high") : QStringLiteral("normal");
}

// Panels such as waybar read the tooltip as Pango markup: a "<" in a
// subject would hide the whole tooltip, a tag would restyle it.
QString Tooltip(const TListing& listing)
{
    QStringList lines;
    for (const QStringList& row : listing.Rows)
        lines << NoticeLine(row.value(FromField), row.value(SubjectField));
    if (!lines.isEmpty())
        for (const TListing::TFailed& failure : listing.Failed)
            lines << QStringLiteral("Check failed for ") + failure.Account + QStringLiteral(": ") + failure.Reason;
    return (lines.isEmpty() ? listing.Text().trimmed() : lines.join(QLatin1Char('\n'))).toHtmlEscaped();
}

}

TListing TListing::Of(const TMessageList& list, const QStringList& status, const TFailureLog* failures,
                      const TWatchedAccounts& watching)
{
    TListing listing;
    listing.Status = CleanedStatus(status);
    listing.Watching = watching;
    if (failures)
        for (const TFailureLog::TFailure& failure : failures->All())
            listing.Failed << TFailed{failure.Account, CleanedLine(failure.Reason)};
    for (int row = 0; row < list.Count(); ++row)
        listing.Rows << RowOf(list.Entry(row));
    return listing;
}

QString TListing::Text() const
{
    QString text;
    QTextStream out(&text);
    for (const QStringList& row : Rows)
        WriteRow(out, row);
    WriteStatus(out, Status);
    WriteStatus(out, WatchLines(Watching));
    out.flush();
    return text;
}

void TListing::WriteText(QTextStream& out, const TMessageList& list, const QStringList& status)
{
    for (int row = 0; row < list.Count(); ++row)
        WriteRow(out, RowOf(list.Entry(row)));
    WriteStatus(out, CleanedStatus(status));
}

QByteArray TListing::ToJson() const
{
    return QJsonDocument(QJsonObject{{QStringLiteral("rows"), RowsJson(Rows)},
                                     {QStringLiteral("status"), QJsonArray::fromStringList(Status)},
                                     {QStringLiteral("failed"), FailedJson(Failed)},
                                     {QStringLiteral("watching"), WatchingJson(Watching)}})
        .toJson(QJsonDocument::Compact);
}

TListing TListing::FromJson(const QByteArray& json)
{
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    TListing listing;
    for (const QJsonValue& status : object.value(QStringLiteral("status")).toArray())
        listing.Status << status.toString();
    for (const QJsonValue& value : object.value(QStringLiteral("rows")).toArray()) {
        QStringList row;
        for (const QString& field : Fields)
            row << value.toObject().value(field).toString();
        listing.Rows << row;
    }
    for (const QJsonValue& value : object.value(QStringLiteral("failed")).toArray())
        listing.Failed << TFailed{value.toObject().value(QStringLiteral("account")).toString(),
                                  value.toObject().value(QStringLiteral("reason")).toString()};
    listing.Watching = WatchingOf(object.value(QStringLiteral("watching")).toArray());
    return listing;
}

QByteArray TListing::PanelJson() const
{
    return QJsonDocument(QJsonObject{{QStringLiteral("count"), int(Rows.size())},
                                     {QStringLiteral("status"), QJsonArray::fromStringList(Status)},
                                     {QStringLiteral("rows"), RowsJson(Rows)},
                                     {QStringLiteral("failed"), FailedJson(Failed)},
                                     {QStringLiteral("watching"), WatchingJson(Watching)},
                                     {QStringLiteral("text"), QString::number(Rows.size())},
                                     {QStringLiteral("tooltip"), Tooltip(*this)},
                                     {QStringLiteral("class"), PanelClass(*this)}})
        .toJson(QJsonDocument::Compact);
}
