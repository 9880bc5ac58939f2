#include "config/AccountVoice.h"

#include "config/AccountRecord.h"
#include "config/Registry.h"
#include "config/StoreError.h"

using namespace Qt::StringLiterals;

namespace {

struct TClassValues
{
    TNotifyWays TAccountVoice::*Ways;
    QString Notify;
    QString Sound;
};

const TClassValues Classes[] = {
    {&TAccountVoice::High, u"HighNotify"_s, u"HighSoundfile"_s},
    {&TAccountVoice::Normal, u"NormNotify"_s, u"NormSoundfile"_s},
    {&TAccountVoice::Low, u"LowNotify"_s, u"LowSoundfile"_s},
};

bool hasAnyValue(const TRegistry& reg)
{
    for (const TClassValues& values : Classes) {
        if (reg.ValueExists(values.Notify) || reg.ValueExists(values.Sound))
            return true;
    }
    return false;
}

TNotifyWays readWays(const TRegistry& reg, const TClassValues& values)
{
    const int bits = reg.ReadInteger(values.Notify);
    if (bits < 0 || (bits & ~AllNotifyFlags.toInt()) != 0)
        throw EStoreError(u"The value \"%1\" in key \"%2\" holds %3, which is no choice of notification ways."_s.arg(
            values.Notify, reg.CurrentPath(), QString::number(bits)));
    return {NotifyFlags::fromInt(bits), reg.ValueExists(values.Sound) ? reg.ReadString(values.Sound) : QString()};
}

}

TAccountVoice TAccountVoice::General(const Settings& options)
{
    return {{options.HighNotify(), options.HighSoundfile()},
            {options.NormNotify(), options.NormSoundfile()},
            {options.LowNotify(), options.LowSoundfile()}};
}

std::optional<TAccountVoice> TAccountVoice::Read(RegistryStore& store, const QString& account)
{
    TRegistry reg(store);
    if (account.isEmpty() || !reg.OpenKeyReadOnly(TAccountRecord::KeyOf(account)))
        return std::nullopt;
    return Read(reg);
}

std::optional<TAccountVoice> TAccountVoice::Read(const TRegistry& reg)
{
    if (!hasAnyValue(reg))
        return std::nullopt;
    TAccountVoice voice;
    for (const TClassValues& values : Classes)
        voice.*values.Ways = readWays(reg, values);
    return voice;
}

void TAccountVoice::Write(TRegistry& reg, const std::optional<TAccountVoice>& voice)
{
    for (const TClassValues& values : Classes) {
        if (voice) {
            reg.WriteInteger(values.Notify, ((*voice).*values.Ways).Bits.toInt());
            reg.WriteString(values.Sound, ((*voice).*values.Ways).SoundFile);
        } else {
            reg.DeleteValue(values.Notify);
            reg.DeleteValue(values.Sound);
        }
    }
}
