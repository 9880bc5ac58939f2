#pragma once

#include <QString>
#include <functional>

// No exception may cross a Qt frame: every entry point that Qt calls runs its
// body through Guarded, which hands any failure to the application's error
// report.
using ErrorReport = std::function<void(const QString& message)>;

void SetErrorReport(ErrorReport report);
void ReportError(const QString& message);
void Guarded(const std::function<void()>& body);
