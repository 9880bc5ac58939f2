#include "engine/ClientLauncher.h"

#include "config/Registry.h"
#include "config/Settings.h"
#include "config/StoreKeys.h"
#include "engine/EngineHost.h"

QString ClientCommand(QString command)
{
    if (command.startsWith(u'"'))
        command.remove(0, 1);
    const qsizetype quote = command.indexOf(u'"');
    return quote < 0 ? command : command.left(quote);
}

void TClientLauncher::Launch()
{
    QString client = options.ClientToUse();
    if (client == QLatin1String("Default") && !ReadDefault(StoreKeys::MailClients, client))
        return;
    QString command;
    if (!ReadDefault(StoreKeys::MailClients + client + QStringLiteral("\\Protocols\\mailto\\Shell\\Open\\Command"),
                     command))
        return;
    host.StartProgram(ClientCommand(command));
    host.HideMainWindow();
}

bool TClientLauncher::ReadDefault(const QString& key, QString& value)
{
    TRegistry reg(store, RootKey::HKEY_LOCAL_MACHINE);
    if (!reg.OpenKeyReadOnly(key)) {
        host.Tell(QStringLiteral("Can't access registry"), QStringLiteral("Error"), TBoxOwner::None);
        return false;
    }
    // No default mail program: no name, so the next key is not found.
    value = reg.ValueExists(QString()) ? reg.ReadString(QString()) : QString();
    reg.CloseKey();
    return true;
}
