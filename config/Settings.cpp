#include "config/Settings.h"

#include "base/Guard.h"
#include "config/Registry.h"
#include "config/StoreKeys.h"

#include <QSignalBlocker>
#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

// Reads one option with its type, first writing its default when it is absent.
class Settings::OptionReader
{
public:
    explicit OptionReader(TRegistry& reg) : reg(reg) {}

    bool Bool(const QString& name, bool fallback)
    {
        if (!reg.ValueExists(name))
            reg.WriteBool(name, fallback);
        return reg.ReadBool(name);
    }

    int Integer(const QString& name, int fallback)
    {
        if (!reg.ValueExists(name))
            reg.WriteInteger(name, fallback);
        return reg.ReadInteger(name);
    }

    QString String(const QString& name, const QString& fallback)
    {
        if (!reg.ValueExists(name))
            reg.WriteString(name, fallback);
        return reg.ReadString(name);
    }

    NotifyFlags Notify(const QString& name) { return NotifyFlags::fromInt(Integer(name, Default::Notify.toInt())); }

private:
    TRegistry& reg;
};

Settings::Settings(RegistryStore& store, QObject* parent)
    : QObject(parent), store(store), accounts(store), blocked(store)
{
}

void Settings::FillLists()
{
    accounts.Fill();
    fillClientList();
    fillConnectoidList();
    blocked.Fill();
}

void Settings::fillClientList()
{
    TRegistry reg(store, RootKey::HKEY_LOCAL_MACHINE);
    if (reg.OpenKey(StoreKeys::MailClients, false))
        clients.SetItems(reg.GetKeyNames());
}

void Settings::fillConnectoidList()
{
    TRegistry reg(store);
    connectoids.SetItems(reg.OpenKey(StoreKeys::DialUpProfiles, false) ? reg.GetKeyNames() : QStringList());
}

void Settings::LoadSettings()
{
    TRegistry reg(store);
    reg.OpenKey(StoreKeys::Program, true);
    OptionReader option(reg);
    loadGeneral(option);
    loadConnection(option);
    loadNotification(option);
    loadFilters(option);
    reg.CloseKey();
}

// The effects follow each value as it is taken; the hotkey once all three
// parts of it are read.
void Settings::loadGeneral(OptionReader& option)
{
    SetCheckingEnabled(option.Bool(u"CheckingEnabled"_s, Default::CheckingEnabled));
    SetInterval(option.Integer(u"Interval"_s, Default::Interval));
    {
        const QSignalBlocker quiet(this);
        SetTimeout(option.Integer(u"Timeout"_s, Default::Timeout));
    }
    emit TimeoutChanged(timeout * 1000);

    const bool wasOnStartup = loadOnStartup;
    {
        const QSignalBlocker quiet(this);
        SetLoadOnStartup(option.Bool(u"LoadOnStartup"_s, false));
    }
    if (loadOnStartup || wasOnStartup)
        emit LoadOnStartupChanged(loadOnStartup);

    SetStartVisible(option.Bool(u"StartVisible"_s, Default::StartVisible));
    {
        const QSignalBlocker quiet(this);
        SetHotkeyEnabled(option.Bool(u"HotkeyEnabled"_s, false));
        SetHotkey(option.Integer(u"Hotkey"_s, 0));
        SetModifier(option.Integer(u"Modifier"_s, 0));
    }
    emit HotkeyChanged();
    SetClientToUse(option.String(u"ClientToUse"_s, u"Default"_s));
}

void Settings::loadConnection(OptionReader& option)
{
    SetConnType(option.Integer(u"ConnType"_s, Default::ConnType));
    SetConnectoid(option.String(u"Connectoid"_s, u"Default"_s));
    SetHangUpWhenDone(option.Bool(u"HangUpWhenDone"_s, false));
    SetHangUpWait(option.Bool(u"HangUpWait"_s, false));
    SetHangUpDelay(option.Integer(u"HangUpDelay"_s, Default::HangUpDelay));
}

void Settings::loadNotification(OptionReader& option)
{
    SetNormNotify(option.Notify(u"NormNotify"_s));
    SetHighNotify(option.Notify(u"HighNotify"_s));
    SetLowNotify(option.Notify(u"LowNotify"_s));
    SetNormSoundfile(option.String(u"NormSoundfile"_s, {}));
    SetHighSoundfile(option.String(u"HighSoundfile"_s, {}));
    SetLowSoundfile(option.String(u"LowSoundfile"_s, {}));
    SetNotifyNewOnly(option.Bool(u"NotifyNewOnly"_s, false));
    SetQuietHours(option.String(u"QuietHours"_s, {}));
    reportUnreadQuietHours();
    SetQuietBreakThrough(option.Bool(u"QuietBreakThrough"_s, Default::QuietBreakThrough));
}

// Said where a person who edited the file by hand looks; a Cancel that
// loads the same text again does not say it twice.
void Settings::reportUnreadQuietHours()
{
    if (quietHours.isEmpty() || QuietHoursRule() || quietHours == reportedQuietHours)
        return;
    reportedQuietHours = quietHours;
    WriteErrorLine(u"The quiet hours \"%1\" in the settings are not two different times of the form HH:MM-HH:MM; "
                   u"there are no quiet hours until you set them again."_s.arg(quietHours));
}

void Settings::loadFilters(OptionReader& option)
{
    SetBlockBlankFrom(option.Bool(u"BlockBlankFrom"_s, false));
    SetBlockBlankTo(option.Bool(u"BlockBlankTo"_s, false));
    SetBlockBlankSubject(option.Bool(u"BlockBlankSubject"_s, false));
    SetBlockZeroLength(option.Bool(u"BlockZeroLength"_s, false));
    SetSaveBlocked(option.Bool(u"SaveBlocked"_s, false));
}

void Settings::SaveSettings()
{
    TRegistry reg(store);
    reg.OpenKey(StoreKeys::Program, true);
    reg.WriteBool(u"CheckingEnabled"_s, checkingEnabled);
    reg.WriteInteger(u"Interval"_s, interval);
    reg.WriteInteger(u"Timeout"_s, timeout);
    reg.WriteBool(u"LoadOnStartup"_s, loadOnStartup);
    reg.WriteBool(u"StartVisible"_s, startVisible);
    reg.WriteBool(u"HotkeyEnabled"_s, hotkeyEnabled);
    reg.WriteInteger(u"Hotkey"_s, hotkey);
    reg.WriteInteger(u"Modifier"_s, modifier);
    reg.WriteString(u"ClientToUse"_s, ClientToUse());
    reg.WriteInteger(u"ConnType"_s, connType);
    reg.WriteString(u"Connectoid"_s, Connectoid());
    reg.WriteBool(u"HangUpWhenDone"_s, hangUpWhenDone);
    reg.WriteBool(u"HangUpWait"_s, hangUpWait);
    reg.WriteInteger(u"HangUpDelay"_s, HangUpDelay());
    reg.WriteInteger(u"NormNotify"_s, normNotify.toInt());
    reg.WriteInteger(u"HighNotify"_s, highNotify.toInt());
    reg.WriteInteger(u"LowNotify"_s, lowNotify.toInt());
    reg.WriteString(u"NormSoundfile"_s, normSoundfile);
    reg.WriteString(u"HighSoundfile"_s, highSoundfile);
    reg.WriteString(u"LowSoundfile"_s, lowSoundfile);
    reg.WriteBool(u"NotifyNewOnly"_s, notifyNewOnly);
    reg.WriteString(u"QuietHours"_s, quietHours);
    reg.WriteBool(u"QuietBreakThrough"_s, quietBreakThrough);
    reg.WriteBool(u"BlockBlankFrom"_s, blockBlankFrom);
    reg.WriteBool(u"BlockBlankTo"_s, blockBlankTo);
    reg.WriteBool(u"BlockBlankSubject"_s, blockBlankSubject);
    reg.WriteBool(u"BlockZeroLength"_s, blockZeroLength);
    reg.WriteBool(u"SaveBlocked"_s, saveBlocked);
    reg.CloseKey();
}

void Settings::SetInterval(int minutes)
{
    if (minutes >= 1 && minutes <= 999)
        interval = minutes;
}

void Settings::SetTimeout(int seconds)
{
    const int clamped = std::clamp(seconds, 1, 999);
    if (clamped == timeout)
        return;
    timeout = clamped;
    emit TimeoutChanged(timeout * 1000);
}

bool Settings::BlockSender(const QString& sender)
{
    if (!blocked.Add(sender))
        return false;
    emit SenderBlocked();
    return true;
}

void Settings::SetLoadOnStartup(bool value)
{
    if (value == loadOnStartup)
        return;
    loadOnStartup = value;
    emit LoadOnStartupChanged(value);
}

void Settings::SetHotkeyEnabled(bool value)
{
    if (value == hotkeyEnabled)
        return;
    hotkeyEnabled = value;
    emit HotkeyChanged();
}

namespace {
int itemOrNone(int index, int count)
{
    return index >= 0 && index < count ? index : Settings::NoItem;
}
}

void Settings::SetHotkey(int index)
{
    const int chosen = itemOrNone(index, HotkeyCount);
    if (chosen == hotkey)
        return;
    hotkey = chosen;
    emit HotkeyChanged();
}

void Settings::SetModifier(int index)
{
    const int chosen = itemOrNone(index, ModifierCount);
    if (chosen == modifier)
        return;
    modifier = chosen;
    emit HotkeyChanged();
}

QString Settings::ClientToUse() const
{
    return useSpecifiedClient ? clients.Text() : u"Default"_s;
}

void Settings::SetClientToUse(const QString& text)
{
    useSpecifiedClient = !text.isEmpty() && text != u"Default"_s;
    clients.Select(text);
}

void Settings::SetConnType(int type)
{
    if (type >= LanConn && type <= InitConn)
        connType = type;
}

// The parts are edited without limit, so their sum may not fit.
int Settings::HangUpDelay() const
{
    const qint64 seconds = qint64(hangUpDelayMin) * 60 + hangUpDelaySec;
    return int(std::clamp<qint64>(seconds, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

void Settings::SetHangUpDelay(int seconds)
{
    hangUpDelayMin = seconds / 60;
    hangUpDelaySec = seconds % 60;
}
