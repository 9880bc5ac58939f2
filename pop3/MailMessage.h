#pragma once

#include <QString>
#include <QStringList>

using TExStringList = QStringList;

// One whole message; filled by message retrieval.
struct TMailMessage
{
    TExStringList Head;
    QStringList Body;
    QStringList Attachments;
    QString From;
    QString Subject;
    QString MessageId;
};
