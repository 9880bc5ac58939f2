#include "config/UserStore.h"

#include "config/FileStore.h"
#include "config/SystemKeys.h"
#include "platform/Profile.h"

std::unique_ptr<RegistryStore> OpenUserStore(TDialUp& dialUp)
{
    auto store = std::make_unique<FileStore>(Profile::StoreFilePath());
    SystemKeys::AddTo(*store, dialUp);
    return store;
}

QString SettingsPlace()
{
    return QStringLiteral("the settings file");
}

QString UserStoreName(const RegistryStore& store)
{
    const auto* file = dynamic_cast<const FileStore*>(&store);
    return file ? file->Path() : QString();
}
