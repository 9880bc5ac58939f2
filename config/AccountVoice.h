#pragma once

#include "config/Settings.h"

#include <optional>

class RegistryStore;
class TRegistry;

// How mail of one priority class is told: the notify bits and the sound
// file played for them.
struct TNotifyWays
{
    NotifyFlags Bits;
    QString SoundFile;

    bool operator==(const TNotifyWays&) const = default;
};

// An account's own ways of telling its mail, in place of the general
// options. They are kept under the options' own names (HighNotify,
// HighSoundfile, ...) in the account's key, so they go wherever the key
// goes; an account without them uses the general options.
class TAccountVoice
{
public:
    TNotifyWays High;
    TNotifyWays Normal;
    TNotifyWays Low;

    bool operator==(const TAccountVoice&) const = default;

    static TAccountVoice General(const Settings& options);

    // None where the account (or its key) has no ways of its own. Values
    // that cannot be ways (another type, a bit no option has, a class
    // missing) throw EStoreError naming the value.
    static std::optional<TAccountVoice> Read(RegistryStore& store, const QString& account);
    // reg has the key open: an account's, or the options' own.
    static std::optional<TAccountVoice> Read(const TRegistry& reg);
    // None takes the account's own ways away; reg has its key open.
    static void Write(TRegistry& reg, const std::optional<TAccountVoice>& voice);
};
