#pragma once

#include <QString>
#include <QStringList>

// The two words the program looks for anywhere in its lower-cased command
// line, and what a second start asks of the running copy because of them.
struct CommandLine {
    static CommandLine Parse(const QStringList& arguments);

    QString Text; // the arguments joined by blanks, as the process got them
    bool CheckNow = false;
    bool Visible = false;

    // A second start always wants to see the program unless it only asked
    // for a check. The window shows first: a check waits on the network.
    QStringList ForwardedWords() const;
};
