#pragma once

#include <QString>
#include <concepts>
#include <functional>
#include <utility>

// No exception may cross a Qt frame: every entry point that Qt calls runs its
// body through Guarded, which hands any failure to the application's error
// report.
using ErrorReport = std::function<void(const QString& message)>;

void SetErrorReport(ErrorReport report);
void ReportError(const QString& message);
// The message as one line on standard error, for a report nobody may see.
void WriteErrorLine(const QString& message);
void Guarded(const std::function<void()>& body);

// A slot for QObject::connect that runs body through the guard. It takes the
// signal's arguments that body accepts, so Qt drops the others
// (QAction::triggered's bool for a body without parameters).
template <typename Body> auto GuardedSlot(Body body)
{
    return [body = std::move(body)](auto&&... args) requires std::invocable<Body&, decltype(args)...>
    {
        Guarded([&] { std::invoke(body, std::forward<decltype(args)>(args)...); });
    };
}
