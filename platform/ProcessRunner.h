#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What a helper program left behind.
struct ProcessResult {
    bool Finished = false; // it started and exited within the time allowed
    int ExitCode = -1;
    QByteArray Output;     // standard output
    bool Succeeded() const { return Finished && ExitCode == 0; }
};

// Runs a program with its arguments, never through a shell, and waits at most
// timeoutMs for it. The event loop runs meanwhile, so the windows stay alive;
// a program that overruns is killed.
ProcessResult RunProcess(const QString& program, const QStringList& arguments, int timeoutMs);
