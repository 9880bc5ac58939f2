#pragma once

#include "config/AccountList.h"
#include "config/BlockedSenderList.h"
#include "config/ComboField.h"
#include "config/QuietHours.h"

#include <QObject>

class RegistryStore;

// What to do when messages of one priority are found.
enum NotifyFlag {
    NotifyShowList = 1,
    NotifyFlashIcon = 2,
    NotifyLaunchClient = 4,
    NotifyPlaySound = 8,
    NotifyDesktop = 16, // a desktop notification bubble
};
Q_DECLARE_FLAGS(NotifyFlags, NotifyFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(NotifyFlags)
constexpr NotifyFlags AllNotifyFlags {NotifyShowList | NotifyFlashIcon | NotifyLaunchClient | NotifyPlaySound
                                      | NotifyDesktop};

// How a check reaches the internet.
enum ConnectionType { LanConn = 0, WaitConn = 1, InitConn = 2 };

// The one holder of the program's options, as the configuration dialog shows
// them, with the lists that dialog edits. Setters change the value at once
// but do not store it: SaveSettings stores all options together. Check marks
// are stored the moment they change.
//
// The holder starts from the defaults that a first start stores, so a stored
// value it ignores leaves the default in place, and a save writes that.
class Settings : public QObject
{
    Q_OBJECT

public:
    static constexpr int NoItem = ComboField::NoItem;
    static constexpr int HotkeyCount = 12;  // F1 ... F12
    static constexpr int ModifierCount = 4; // none, Alt, Control, Shift

    explicit Settings(RegistryStore& store, QObject* parent = nullptr);

    // The lists, in the order the options need them: accounts, e-mail
    // clients, dial-up entries, blocked senders. Run before LoadSettings.
    void FillLists();

    // Writes every absent option with its default, then takes all of them.
    // A value that cannot be read raises EStoreError and ends the load there.
    void LoadSettings();
    void SaveSettings();

    // Where the options and the lists are kept; the account dialog writes
    // accounts there directly.
    RegistryStore& Store() const { return store; }

    AccountList& Accounts() { return accounts; }
    const AccountList& Accounts() const { return accounts; }
    BlockedSenderList& BlockedSenders() { return blocked; }
    const BlockedSenderList& BlockedSenders() const { return blocked; }

    // Stores the sender as BlockedSenderList::Add does; an open list of the
    // blocked senders hears of it through SenderBlocked.
    bool BlockSender(const QString& sender);

    QStringList SelectedAccounts() const { return accounts.SelectedNames(); }
    bool IsSenderBlocked(const QString& sender) const { return blocked.Blocks(sender); }

    bool CheckingEnabled() const { return checkingEnabled; }
    void SetCheckingEnabled(bool value) { checkingEnabled = value; }

    int Interval() const { return interval; }
    void SetInterval(int minutes); // outside 1..999 keeps the interval

    int Timeout() const { return timeout; }
    void SetTimeout(int seconds); // clamped into 1..999

    bool LoadOnStartup() const { return loadOnStartup; }
    void SetLoadOnStartup(bool value);

    bool StartVisible() const { return startVisible; }
    void SetStartVisible(bool value) { startVisible = value; }

    bool HotkeyEnabled() const { return hotkeyEnabled; }
    void SetHotkeyEnabled(bool value);

    int Hotkey() const { return hotkey; } // 0 = F1 ... 11 = F12, or NoItem
    void SetHotkey(int index);

    int Modifier() const { return modifier; } // 0 none, 1 Alt, 2 Control, 3 Shift, or NoItem
    void SetModifier(int index);

    // "Default" when the default client is chosen, else the client field's text.
    QString ClientToUse() const;
    // Empty or exactly "Default" chooses the default client, anything else the
    // specified one; the client list chooses the entry equal ignoring case.
    void SetClientToUse(const QString& text);
    bool UseSpecifiedClient() const { return useSpecifiedClient; }
    void SetUseSpecifiedClient(bool value) { useSpecifiedClient = value; }
    ComboField& Clients() { return clients; }
    const ComboField& Clients() const { return clients; }

    int ConnType() const { return connType; } // a ConnectionType
    void SetConnType(int type); // outside 0..2 keeps the mode

    QString Connectoid() const { return connectoids.Text(); }
    // A name NetworkManager does not list (not ready yet, or renamed) is kept as typed.
    void SetConnectoid(const QString& name) { connectoids.SelectOrKeep(name); }
    ComboField& Connectoids() { return connectoids; }
    const ComboField& Connectoids() const { return connectoids; }

    bool HangUpWhenDone() const { return hangUpWhenDone; }
    void SetHangUpWhenDone(bool value) { hangUpWhenDone = value; }

    bool HangUpWait() const { return hangUpWait; }
    void SetHangUpWait(bool value) { hangUpWait = value; }

    // Seconds, shown and edited as minutes and seconds.
    int HangUpDelay() const;
    void SetHangUpDelay(int seconds);
    int HangUpDelayMin() const { return hangUpDelayMin; }
    void SetHangUpDelayMin(int minutes) { hangUpDelayMin = minutes; }
    int HangUpDelaySec() const { return hangUpDelaySec; }
    void SetHangUpDelaySec(int seconds) { hangUpDelaySec = seconds; }

    NotifyFlags NormNotify() const { return normNotify; }
    void SetNormNotify(NotifyFlags flags) { normNotify = flags & AllNotifyFlags; }
    NotifyFlags HighNotify() const { return highNotify; }
    void SetHighNotify(NotifyFlags flags) { highNotify = flags & AllNotifyFlags; }
    NotifyFlags LowNotify() const { return lowNotify; }
    void SetLowNotify(NotifyFlags flags) { lowNotify = flags & AllNotifyFlags; }

    QString NormSoundfile() const { return normSoundfile; }
    void SetNormSoundfile(const QString& path) { normSoundfile = path; }
    QString HighSoundfile() const { return highSoundfile; }
    void SetHighSoundfile(const QString& path) { highSoundfile = path; }
    QString LowSoundfile() const { return lowSoundfile; }
    void SetLowSoundfile(const QString& path) { lowSoundfile = path; }

    // Announce only messages that were not there at the last check.
    bool NotifyNewOnly() const { return notifyNewOnly; }
    void SetNotifyNewOnly(bool value) { notifyNewOnly = value; }

    // The quiet hours as stored, empty for none. A text that is not two
    // different times stays as it is until the user sets others, and means
    // none.
    QString QuietHours() const { return quietHours; }
    void SetQuietHours(const QString& text) { quietHours = text; }
    std::optional<TQuietHours> QuietHoursRule() const { return TQuietHours::Parse(quietHours); }
    // A message of High priority is told as usual while it is quiet.
    bool QuietBreakThrough() const { return quietBreakThrough; }
    void SetQuietBreakThrough(bool value) { quietBreakThrough = value; }

    bool BlockBlankFrom() const { return blockBlankFrom; }
    void SetBlockBlankFrom(bool value) { blockBlankFrom = value; }
    bool BlockBlankTo() const { return blockBlankTo; }
    void SetBlockBlankTo(bool value) { blockBlankTo = value; }
    bool BlockBlankSubject() const { return blockBlankSubject; }
    void SetBlockBlankSubject(bool value) { blockBlankSubject = value; }
    bool BlockZeroLength() const { return blockZeroLength; }
    void SetBlockZeroLength(bool value) { blockZeroLength = value; }

    // false: blocked messages are deleted on the server; true: left there.
    bool SaveBlocked() const { return saveBlocked; }
    void SetSaveBlocked(bool value) { saveBlocked = value; }

signals:
    // Fires when Timeout changes and after every LoadSettings, so the POP3
    // time-out always follows the loaded value.
    void TimeoutChanged(int milliseconds);
    // Fires when HotkeyEnabled, Hotkey or Modifier changes, and once after
    // every LoadSettings has read all three.
    void HotkeyChanged();
    // Fires when LoadOnStartup changes, and at every LoadSettings that finds
    // it true, so the Startup entry is written again.
    void LoadOnStartupChanged(bool on);
    // Fires when BlockSender stored a sender, whichever window asked.
    void SenderBlocked();

private:

    // What a first start stores, where that is not false, 0 or empty.
    struct Default {
        static constexpr bool CheckingEnabled = true;
        static constexpr int Interval = 10;
        static constexpr int Timeout = 30;
        static constexpr bool StartVisible = true;
        static constexpr int ConnType = WaitConn;
        static constexpr int HangUpDelay = 60;
        static constexpr NotifyFlags Notify {NotifyShowList | NotifyFlashIcon};
        static constexpr bool QuietBreakThrough = true;
    };

    void fillClientList();
    void fillConnectoidList();

    class OptionReader;
    void loadGeneral(OptionReader& option);
    void loadConnection(OptionReader& option);
    void loadNotification(OptionReader& option);
    void loadFilters(OptionReader& option);
    void reportUnreadQuietHours();

    RegistryStore& store;
    AccountList accounts;
    BlockedSenderList blocked;
    ComboField clients;
    ComboField connectoids;

    bool checkingEnabled = Default::CheckingEnabled;
    int interval = Default::Interval;
    int timeout = Default::Timeout;
    bool loadOnStartup = false;
    bool startVisible = Default::StartVisible;
    bool hotkeyEnabled = false;
    int hotkey = 0;
    int modifier = 0;
    bool useSpecifiedClient = false;
    int connType = Default::ConnType;
    bool hangUpWhenDone = false;
    bool hangUpWait = false;
    int hangUpDelayMin = Default::HangUpDelay / 60;
    int hangUpDelaySec = Default::HangUpDelay % 60;
    NotifyFlags normNotify = Default::Notify;
    NotifyFlags highNotify = Default::Notify;
    NotifyFlags lowNotify = Default::Notify;
    QString normSoundfile;
    QString highSoundfile;
    QString lowSoundfile;
    bool notifyNewOnly = false;
    QString quietHours;
    bool quietBreakThrough = Default::QuietBreakThrough;
    // The unreadable quiet hours said on standard error, said once.
    QString reportedQuietHours;
    bool blockBlankFrom = false;
    bool blockBlankTo = false;
    bool blockBlankSubject = false;
    bool blockZeroLength = false;
    bool saveBlocked = false;
};
