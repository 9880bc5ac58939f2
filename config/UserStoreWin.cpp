#include "config/UserStore.h"

#include "config/FileStore.h"
#include "config/WinRegistryStore.h"
#include "platform/Profile.h"

namespace {

// Windows has the system keys itself, in a demo profile as well.
void addSystemKeys(RegistryStore& store)
{
    store.AddSystemKey(RealSystemKey(CurrentUser, StoreKeys::DialUpProfiles));
    store.AddSystemKey(RealSystemKey(LocalMachine, StoreKeys::MailClients));
}

}

std::unique_ptr<RegistryStore> OpenUserStore(TDialUp&)
{
    std::unique_ptr<RegistryStore> store;
    if (Profile::IsDefault())
        store = std::make_unique<WinRegistryStore>();
    else
        store = std::make_unique<FileStore>(Profile::StoreFilePath());
    addSystemKeys(*store);
    return store;
}

QString SettingsPlace()
{
    return Profile::IsDefault() ? QStringLiteral("the registry") : QStringLiteral("the settings file");
}

QString UserStoreName(const RegistryStore& store)
{
    if (const auto* file = dynamic_cast<const FileStore*>(&store))
        return file->Path();
    if (const auto* registry = dynamic_cast<const WinRegistryStore*>(&store))
        return registry->Name();
    return {};
}
