#include "engine/Notifier.h"

#include "base/Guard.h"
#include "config/StoreError.h"
#include "engine/EngineHost.h"
#include "engine/MessageFields.h"
#include "engine/MessageList.h"

#include <QHash>

#include <algorithm>

namespace {

constexpr int MaxNoticeLines = 5;
constexpr int MaxNoticeLineLength = 80;
// Shorter than "x.wav" names no sound file.
constexpr int ShortestSoundFile = 5;

int HighestRank(const TNoticeRows& rows)
{
    int highest = 0;
    for (const MessageEntry* entry : rows)
        highest = std::max(highest, Priority::Rank(entry->Priority));
    return highest;
}

// The messages as the bubble's buttons find them again: all of them, or
// none where one has no unique id. The host is asked once per account.
QList<DesktopNotice::Message> NoticeMessages(const TNoticeRows& rows, TDesktopActions& host)
{
    QHash<QString, bool> marksRead;
    QList<DesktopNotice::Message> messages;
    messages.reserve(rows.size());
    for (const MessageEntry* entry : rows) {
        if (entry->UniqueId.isEmpty())
            return {};
        auto known = marksRead.constFind(entry->Account);
        if (known == marksRead.constEnd())
            known = marksRead.insert(entry->Account, host.MarksRead(entry->Account));
        messages.append({entry->Account, entry->UniqueId, *known, NoticeSender(entry->ReadableFrom),
                         entry->ReadableSubject.trimmed()});
    }
    return messages;
}

}

// Rows kept from an earlier check while their account's check fails were
// announced by that check.
TNoticeRows AllRows(const TMessageList& list)
{
    TNoticeRows rows;
    for (int row = 0; row < list.Count(); ++row)
        if (!list.AsOf(list.Entry(row).Account).isValid())
            rows << &list.Entry(row);
    return rows;
}

QString NoticeSender(const QString& from)
{
    QString sender = from.section(u'<', 0, 0).trimmed();
    if (sender.size() >= 2 && sender.startsWith(u'"') && sender.endsWith(u'"'))
        sender = sender.mid(1, sender.size() - 2).trimmed();
    return sender.isEmpty() ? from.trimmed() : sender;
}

QString NoticeLine(const QString& from, const QString& subject)
{
    const QString sender = NoticeSender(from);
    const QString shownSubject = subject.trimmed();
    const QString line = shownSubject.isEmpty() ? sender : sender + QStringLiteral(": ") + shownSubject;
    if (line.size() <= MaxNoticeLineLength)
        return line;
    // Not between the two halves of a character beyond 16 bits (an emoji).
    const bool pairAtCut = line[MaxNoticeLineLength - 2].isHighSurrogate();
    return line.left(MaxNoticeLineLength - (pairAtCut ? 2 : 1)) + QChar(0x2026);
}

bool IsEventSound(const QString& file)
{
    return file.endsWith(QLatin1String("wav")) || file.endsWith(QLatin1String("oga"))
        || file.endsWith(QLatin1String("ogg"));
}

void TNotifier::NotifyByPriority(const TNoticeRows& rows)
{
    const int level = HighestRank(rows);
    const TAccountVoice voice = VoiceOf(LeadingAccount(rows, level));
    const std::pair<QString, TNotifyWays> classes[] = {
        {Priority::High, voice.High}, {Priority::Normal, voice.Normal}, {Priority::Low, voice.Low}};
    for (const auto& [priorityClass, ways] : classes) {
        if (Priority::Rank(priorityClass) <= level && ways.Bits) {
            NotifyUser(ways, priorityClass, rows);
            return;
        }
    }
}

// An account no longer in the list (deleted meanwhile) comes after the
// listed ones.
QString TNotifier::LeadingAccount(const TNoticeRows& rows, int rank) const
{
    QHash<QString, qsizetype> order;
    const CheckedNames& accounts = options.Accounts().Items();
    for (qsizetype i = 0; i < accounts.size(); ++i)
        order.insert(accounts[i].Name, i);
    QString leading;
    qsizetype leadingOrder = accounts.size();
    for (const MessageEntry* entry : rows) {
        const qsizetype position = order.value(entry->Account, accounts.size());
        if (Priority::Rank(entry->Priority) == rank && (leading.isNull() || position < leadingOrder)) {
            leading = entry->Account;
            leadingOrder = position;
        }
    }
    return leading;
}

// Ways that cannot be read never keep mail from being told: the general
// options speak instead, and standard error says why once.
TAccountVoice TNotifier::VoiceOf(const QString& account)
{
    try {
        if (const std::optional<TAccountVoice> own = TAccountVoice::Read(options.Store(), account))
            return *own;
    } catch (const EStoreError& e) {
        if (!toldUnreadable.contains(account)) {
            toldUnreadable.insert(account);
            WriteErrorLine(account + QStringLiteral(": its own notification settings cannot be read, so the general ones are used. ")
                           + e.Message);
        }
    }
    return TAccountVoice::General(options);
}

// Where nothing can flash, the bubble stands in for the flashing icon. A
// server that plays the bubble's sound plays it instead of us, not twice.
void TNotifier::NotifyUser(const TNotifyWays& ways, const QString& priorityClass, const TNoticeRows& rows)
{
    const NotifyFlags bits = ways.Bits;
    const QString& sound = ways.SoundFile;
    const bool bubble = bits.testFlag(NotifyDesktop);
    const bool soundInBubble = bubble && bits.testFlag(NotifyPlaySound) && IsEventSound(sound)
                               && host.NoticePlaysSound();
    if (bits.testFlag(NotifyShowList))
        host.ShowMainWindow();
    const bool flashed = bits.testFlag(NotifyFlashIcon) && host.StartFlashing();
    if (bits.testFlag(NotifyLaunchClient))
        host.LaunchClient();
    if (bits.testFlag(NotifyPlaySound) && !soundInBubble)
        Sound(sound);
    if (bubble || (bits.testFlag(NotifyFlashIcon) && !flashed)) {
        DesktopNotice notice = Notice(priorityClass, rows);
        if (soundInBubble)
            notice.SoundFile = sound;
        host.ShowNotice(notice);
    }
}

void TNotifier::Sound(const QString& file)
{
    if (file.size() < ShortestSoundFile)
        return;
    if (IsEventSound(file))
        host.PlaySound(file);
    else
        host.OpenFile(file);
}

// The summary counts the messages told about (all listed ones, as the status
// bar says, unless only new ones are announced); the body names the first,
// the most urgent first.
DesktopNotice TNotifier::Notice(const QString& priorityClass, const TNoticeRows& rows) const
{
    TNoticeRows sorted = rows;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const MessageEntry* a, const MessageEntry* b) {
                         return Priority::Rank(a->Priority) > Priority::Rank(b->Priority);
                     });
    DesktopNotice notice;
    notice.Summary = QString::number(rows.size()) + QStringLiteral(" new messages");
    for (const MessageEntry* entry : sorted.mid(0, MaxNoticeLines))
        notice.Lines << NoticeLine(entry->ReadableFrom, entry->ReadableSubject);
    notice.Messages = NoticeMessages(rows, host);
    notice.Level = priorityClass == Priority::High  ? DesktopNotice::Critical
                   : priorityClass == Priority::Low ? DesktopNotice::Low
                                                    : DesktopNotice::Normal;
    return notice;
}
