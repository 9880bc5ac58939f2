#pragma once

#include <QString>
#include <QStringList>

// One desktop notification bubble as the program fills it.
struct DesktopNotice
{
    QString Summary;   // "3 new messages"
    QStringList Lines; // the body, at most five lines shown
    enum Urgency { Low = 0, Normal = 1, Critical = 2 } Level = Normal;
    QString SoundFile; // empty: no sound
};
