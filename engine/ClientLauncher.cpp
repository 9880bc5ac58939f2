#include "engine/ClientLauncher.h"

#include "config/Registry.h"
#include "config/Settings.h"
#include "config/StoreKeys.h"
#include "engine/EngineHost.h"
#include "platform/MailPrograms.h"

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

// The keys are the desktop's mailto handlers: a key that is missing is a
// program that is not installed, not a store that failed.
void TClientLauncher::Launch()
{
    const QString chosen = options.ClientToUse();
    const bool byDefault = chosen == QLatin1String("Default");
    const QString client = byDefault ? DefaultValue(StoreKeys::MailClients) : chosen;
    const QString command =
        client.isEmpty() ? QString()
                         : DefaultValue(StoreKeys::MailClients + client + QStringLiteral("\\Protocols\\mailto\\Shell\\Open\\Command"));
    if (command.isEmpty()) {
        user.Tell(byDefault ? NoMailProgramText()
                            : QStringLiteral("The mail program \"%1\" chosen on the General Options tab does not open "
                                             "mailto links here.\n\nChoose another there, or Use Default Client.")
                                  .arg(chosen),
                  QStringLiteral("Error"), TBoxOwner::None);
        return;
    }
    host.StartProgram(clientCommandLine(command));
    host.HideMainWindow();
}

QString TClientLauncher::DefaultValue(const QString& key) const
{
    TRegistry reg(store, RootKey::HKEY_LOCAL_MACHINE);
    if (!reg.OpenKeyReadOnly(key) || !reg.ValueExists(QString()))
        return {};
    return reg.ReadString(QString());
}
