#include "platform/DesktopNotifier.h"

#include "base/CleanText.h"
#include "base/Guard.h"
#include "platform/Profile.h"
#include "resources/Images.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = Service;
const QString DefaultAction = QStringLiteral("default");
const QString CheckNowAction = QStringLiteral("checknow");
const QString ShowListAction = QStringLiteral("showlist");
constexpr int MaxLines = 5;
constexpr int ServerDecidesTimeout = -1;
// Long enough for a server on the session bus, short enough for an exit.
constexpr int CloseOnExitMilliseconds = 500;

QDBusMessage method(const QString& name)
{
    return QDBusMessage::createMethodCall(Service, Path, Interface, name);
}

// The server reads the icon from a file, not from our compiled-in resources.
// Where the file cannot be written the name stays empty, and the server may
// take the icon from our desktop entry.
QString writeIcon()
{
    const QString folder = Profile::CacheFolder();
    const QString target = folder + "/postwatch.svg";
    QFile source(Images::AppIconPath());
    QSaveFile file(target);
    if (!QDir().mkpath(folder) || !source.open(QIODevice::ReadOnly) || !file.open(QIODevice::WriteOnly))
        return {};
    if (file.write(source.readAll()) != source.size() || !file.commit())
        return {};
    return QUrl::fromLocalFile(target).toString();
}

QString iconUri()
{
    static const QString uri = writeIcon();
    return uri;
}

// A server that reads the body as markup says so; the others show it as it
// is. A line may quote a mail server.
QString body(const QStringList& lines, bool markup)
{
    QStringList shown = lines.mid(0, MaxLines);
    for (QString& line : shown)
        line = CleanedLine(line);
    const QString text = shown.join('\n');
    return markup ? text.toHtmlEscaped() : text;
}
}

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                SLOT(actionInvoked(uint, QString)));
    // A server started later, or one taking over, plays sounds or not on its
    // own terms and knows nothing of our bubble.
    auto* watcher = new QDBusServiceWatcher(Service, bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, GuardedSlot([this] {
                for (Bubble& bubble : bubbles)
                    bubble.Id = 0;
                askCapabilities();
            }));
    askCapabilities();
}

DesktopNotifier::~DesktopNotifier()
{
    for (const Bubble& bubble : bubbles)
        if (bubble.Id != 0)
            QDBusConnection::sessionBus().call(method("CloseNotification") << bubble.Id, QDBus::Block,
                                               CloseOnExitMilliseconds);
}

bool DesktopNotifier::ServerPlaysSound() const
{
    return capabilities.contains(QStringLiteral("sound"));
}

void DesktopNotifier::Show(const DesktopNotice& notice, Kind kind)
{
    bubbles[kind].WithdrawWaiting = false;
    showOrWait(kind, notice);
}

void DesktopNotifier::showOrWait(Kind kind, const DesktopNotice& notice)
{
    Bubble& bubble = bubbles[kind];
    if (bubble.Sending || asking)
        bubble.Waiting = notice;
    else
        send(kind, notice);
}

void DesktopNotifier::Withdraw(Kind kind)
{
    Bubble& bubble = bubbles[kind];
    bubble.Waiting.reset();
    if (bubble.Sending)
        bubble.WithdrawWaiting = true;
    else
        close(kind);
}

void DesktopNotifier::close(Kind kind)
{
    bubbles[kind].Offered.clear();
    bubbles[kind].OnMessages.clear();
    const uint id = std::exchange(bubbles[kind].Id, 0);
    if (id != 0)
        QDBusConnection::sessionBus().asyncCall(method("CloseNotification") << id);
}

void DesktopNotifier::askCapabilities()
{
    asking = true;
    auto* call = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(method("GetCapabilities")), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, GuardedSlot([this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                QDBusPendingReply<QStringList> reply = *call;
                if (!reply.isError())
                    capabilities = reply.value();
                capabilitiesKnown();
            }));
}

void DesktopNotifier::capabilitiesKnown()
{
    asking = false;
    for (int kind = 0; kind < KindCount; ++kind)
        if (std::optional<DesktopNotice> waiting = std::exchange(bubbles[kind].Waiting, std::nullopt))
            showOrWait(Kind(kind), *waiting);
}

// Buttons only where the server shows them; the bubble itself is clicked
// anywhere. A button on messages goes with this notice alone: its id is not
// that of the notice it replaces, nor of the one that replaces it.
QStringList DesktopNotifier::offer(Kind kind, const DesktopNotice& notice)
{
    Bubble& bubble = bubbles[kind];
    bubble.OnMessages.clear();
    QStringList actions {DefaultAction, QStringLiteral("Show")};
    if (capabilities.contains(QStringLiteral("actions"))) {
        const QString serial = QString::number(++sentNotices);
        const auto onMessages = [&](const QString& name, const QString& label, DesktopNotice::Action action) {
            const QString id = name + u'-' + serial;
            bubble.OnMessages.insert(id, {action, notice.Messages});
            actions << id << label;
        };
        const QList<DesktopNotice::Message>& messages = notice.Messages;
        const bool markRead = std::all_of(messages.begin(), messages.end(),
                                          [](const DesktopNotice::Message& message) { return message.CanMarkRead; });
        if (messages.size() == 1) {
            onMessages(QStringLiteral("open"), QStringLiteral("Open"), DesktopNotice::Action::Open);
            if (markRead)
                onMessages(QStringLiteral("markread"), QStringLiteral("Mark as Read"), DesktopNotice::Action::MarkRead);
            onMessages(QStringLiteral("delete"), QStringLiteral("Delete"), DesktopNotice::Action::Delete);
        } else if (messages.size() > 1) {
            actions << ShowListAction << QStringLiteral("Show List");
            if (markRead)
                onMessages(QStringLiteral("markallread"), QStringLiteral("Mark All as Read"),
                           DesktopNotice::Action::MarkRead);
        }
        actions << CheckNowAction << QStringLiteral("Check Now");
    }
    bubble.Offered.clear();
    for (qsizetype id = 0; id < actions.size(); id += 2)
        bubble.Offered << actions[id];
    return actions;
}

void DesktopNotifier::send(Kind kind, const DesktopNotice& notice)
{
    QVariantMap hints {
        {QStringLiteral("urgency"), QVariant::fromValue(uchar(notice.Level))},
        {QStringLiteral("category"), kind == NewMail ? QStringLiteral("email.arrived") : QStringLiteral("network.error")},
        {QStringLiteral("desktop-entry"), QStringLiteral(POSTWATCH_APP_ID)},
    };
    if (!notice.SoundFile.isEmpty() && ServerPlaysSound())
        hints.insert(QStringLiteral("sound-file"), notice.SoundFile);
    const QStringList actions = offer(kind, notice);

    QDBusMessage message = method("Notify");
    Bubble& bubble = bubbles[kind];
    message << QStringLiteral("Postwatch") << bubble.Id << iconUri() << CleanedLine(notice.Summary)
            << body(notice.Lines, capabilities.contains(QStringLiteral("body-markup")))
            << actions << hints << ServerDecidesTimeout;
    bubble.Sending = true;
    auto* call = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            GuardedSlot([this, kind](QDBusPendingCallWatcher* call) { notifyFinished(kind, call); }));
}

void DesktopNotifier::notifyFinished(Kind kind, QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    Bubble& bubble = bubbles[kind];
    bubble.Sending = false;
    QDBusPendingReply<uint> reply = *call;
    if (!reply.isError())
        bubble.Id = reply.value();
    if (std::exchange(bubble.WithdrawWaiting, false)) {
        close(kind);
    } else if (std::optional<DesktopNotice> next = std::exchange(bubble.Waiting, std::nullopt)) {
        showOrWait(kind, *next);
    }
}

// Anyone on the bus may send the signal; only the server's reaches us, and
// of that only what our bubbles offer now. A button on messages is taken
// once before it runs, so a server that repeats it, or one pressed again
// while its question waits, does it once.
void DesktopNotifier::actionInvoked(uint id, const QString& action)
{
    Guarded([&] {
        const auto bubble = std::find_if(std::begin(bubbles), std::end(bubbles),
                                         [id](const Bubble& bubble) { return id != 0 && bubble.Id == id; });
        if (bubble == std::end(bubbles) || !bubble->Offered.contains(action))
            return;
        if (action == DefaultAction || action == ShowListAction)
            emit DefaultActionInvoked();
        else if (action == CheckNowAction)
            emit CheckNowInvoked();
        else if (const auto offer = bubble->OnMessages.constFind(action); offer != bubble->OnMessages.constEnd()) {
            const MessageOffer taken = *offer;
            bubble->OnMessages.erase(offer);
            emit MessageActionInvoked(taken.Action, taken.Messages);
        }
    });
}

void DesktopNotifier::TrayBubbleClicked()
{
    emit DefaultActionInvoked();
}
