#pragma once

#include "config/RegistryStore.h"

#include <QString>
#include <memory>

class TDialUp;

// This user's settings where this system keeps them: the settings file of the
// profile on Linux; on Windows the registry itself, or the file when
// POSTWATCH_PROFILE names a folder. The system's own keys (dial-up entries,
// mail programs) are shown in it; dialUp must outlive the store.
std::unique_ptr<RegistryStore> OpenUserStore(TDialUp& dialUp);

// Where the settings are, as a user would look for them: "the settings
// file", on Windows usually "the registry".
QString SettingsPlace();

// What tells this profile's secrets from another profile's of the same
// account name: the store's file path or registry key.
QString UserStoreName(const RegistryStore& store);
