#include "platform/ProcessRunner.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

ProcessResult RunProcess(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::SeparateChannels);

    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);

    process.start();
    if (!process.waitForStarted())
        return {};
    deadline.start(timeoutMs);
    if (process.state() != QProcess::NotRunning)
        loop.exec();

    ProcessResult result;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.Finished = process.exitStatus() == QProcess::NormalExit;
    result.ExitCode = process.exitCode();
    result.Output = process.readAllStandardOutput();
    return result;
}
