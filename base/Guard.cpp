#include "base/Guard.h"

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
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
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
