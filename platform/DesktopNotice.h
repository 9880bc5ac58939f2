#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One desktop notification bubble as the program fills it.
struct DesktopNotice
{
    // A message the bubble tells of, by the keys the message list knows it
    // by, and as the user would name it.
    struct Message
    {
        QString Account;
        QString UniqueId;
        bool CanMarkRead = false; // its server keeps a read mark
        QString Sender;
        QString Subject;
    };
    // What a bubble's button asks of its messages.
    enum class Action { Open, Delete, MarkRead };

    QString Summary;   // "3 new messages"
    QStringList Lines; // the body, at most five lines shown
    enum Urgency { Low = 0, Normal = 1, Critical = 2 } Level = Normal;
    QString SoundFile; // empty: no sound
    // Every message told of; none where one of them has no unique id to be
    // found by, and the bubble then offers nothing to do to them.
    QList<Message> Messages = {};
};
