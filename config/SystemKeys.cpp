#include "config/SystemKeys.h"

#include "config/StoreKeys.h"
#include "platform/DialUp.h"

namespace {

RegValue defaultValue(const QString& text)
{
    RegValue value(QString(), RegType::String);
    value.Text = text;
    return value;
}

RegKey& subkeyPath(RegKey& key, const QString& path)
{
    RegKey* current = &key;
    for (const QString& part : SplitKeyPath(path))
        current = &current->AddSubkey(part);
    return *current;
}

}

namespace SystemKeys {

SystemKey DialUpProfiles(TDialUp& dialUp)
{
    return {RootKey::HKEY_CURRENT_USER, StoreKeys::DialUpProfiles, [&dialUp](RegKey& key) {
                for (const QString& name : dialUp.Connectoids())
                    key.AddSubkey(name);
            }};
}

SystemKey MailClients(const XdgFolders& folders)
{
    return {RootKey::HKEY_LOCAL_MACHINE, StoreKeys::MailClients, [folders](RegKey& key) {
                const MailPrograms found = MailPrograms::Find(folders);
                if (!found.DefaultName.isEmpty())
                    key.SetValue(defaultValue(found.DefaultName));
                for (const MailProgram& program : found.Programs)
                    subkeyPath(key.AddSubkey(program.Name), QStringLiteral("Protocols\\mailto\\Shell\\Open\\Command"))
                        .SetValue(defaultValue(program.Command));
            }};
}

void AddTo(RegistryStore& store, TDialUp& dialUp)
{
    store.AddSystemKey(DialUpProfiles(dialUp));
    store.AddSystemKey(MailClients(XdgFolders::FromEnvironment()));
}

}
