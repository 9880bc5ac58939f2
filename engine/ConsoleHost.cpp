#include "engine/ConsoleHost.h"

#include "engine/CheckEngine.h"
#include "base/Guard.h"
#include "base/CleanText.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {
// Some messages carry a server's reply, which must not steer the terminal;
// their own line breaks stay.
void sayOnStandardError(const QString& text)
{
    QTextStream(stderr) << CleanedLines(text.trimmed()) << Qt::endl;
}
}

TConsoleHost::TConsoleHost()
{
    Timer1.setSingleShot(true);
    Timer1.setInterval(100);
    QObject::connect(&Timer1, &QTimer::timeout, GuardedSlot([this] { Engine->Timer1Timer(); }));
}

void TConsoleHost::SetStatusText(int panel, const QString& text)
{
    if (panel >= 0 && panel < 3)
        StatusTexts[panel] = text;
}

bool TConsoleHost::AskYesNo(const QString& text, const QString& caption, TBoxOwner)
{
    Fail(caption + QStringLiteral(": ") + text + QStringLiteral(" (answered No: nobody to ask)"));
    return false;
}

void TConsoleHost::Tell(const QString& text, const QString& caption, TBoxOwner)
{
    Fail(caption.isEmpty() ? text : caption + QStringLiteral(": ") + text);
}

void TConsoleHost::ShowMessage(const QString& text)
{
    Fail(text);
}

void TConsoleHost::Fail(const QString& message)
{
    Failed = true;
    sayOnStandardError(message);
}

void TConsoleHost::Post(std::function<void()> work)
{
    ++PostedWork;
    QTimer::singleShot(0, [this, work = std::move(work)] {
        --PostedWork;
        Guarded(work);
    });
}

// Between client calls the engine goes on only through Timer1 or posted
// work; with neither pending the check is over, finished or stalled.
// A source that answers by signals keeps the check busy between events.
void TConsoleHost::WaitUntilIdle()
{
    while (Timer1.isActive() || PostedWork > 0 || (Engine && Engine->EngineBusy()))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
