#include "platform/DesktopNotifier.h"

#include "base/CleanText.h"

// The tray icon's balloon: Windows shows one at a time and takes it away
// itself, so there is nothing to replace or withdraw, and it plays no sound
// of ours.
namespace {
constexpr int MaxLines = 5;
}

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent) {}

DesktopNotifier::~DesktopNotifier() = default;

bool DesktopNotifier::ServerPlaysSound() const
{
    return false;
}

void DesktopNotifier::Show(const DesktopNotice& notice, Kind)
{
    QStringList lines = notice.Lines.mid(0, MaxLines);
    for (QString& line : lines)
        line = CleanedLine(line);
    if (ShowTrayBubble)
        ShowTrayBubble(CleanedLine(notice.Summary), lines.join(u'\n'), notice.Level);
}

void DesktopNotifier::Withdraw(Kind) {}

void DesktopNotifier::TrayBubbleClicked()
{
    emit DefaultActionInvoked();
}

void DesktopNotifier::actionInvoked(uint, const QString&) {}
