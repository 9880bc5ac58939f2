#include "base/Guard.h"

#include "base/CleanText.h"
#include "base/Exception.h"

#include <cstdio>

namespace {
ErrorReport& currentReport()
{
    static ErrorReport report;
    return report;
}
}

void SetErrorReport(ErrorReport report)
{
    currentReport() = std::move(report);
}

void ReportError(const QString& message)
{
    if (currentReport())
        currentReport()(message);
    else
        WriteErrorLine(message);
}

// Started by the desktop's autostart, the program has nobody watching its
// boxes; standard error goes to the session's journal. Many messages quote
// a server, whose words must not steer a terminal.
void WriteErrorLine(const QString& message)
{
    const QString line = CleanedLine(message);
    std::fprintf(stderr, "postwatch: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void Guarded(const std::function<void()>& body)
{
    try {
        body();
    } catch (const Exception& e) {
        ReportError(e.Message);
    } catch (const std::exception& e) {
        ReportError(QString::fromLocal8Bit(e.what()));
    }
}
