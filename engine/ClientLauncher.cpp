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

namespace {
// The host splits the line at blanks: a program path that came quoted is
// quoted again, so "/opt/Mail App/mail" starts that program and not
// /opt/Mail. It holds no quote of its own, being cut at the first.
QString clientCommandLine(const QString& command)
{
    const QString program = ClientCommand(command);
    return command.startsWith(u'"') ? u'"' + program + u'"' : program;
}
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
    host.StartProgram(clientCommandLine(command));
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
