#include "platform/NetworkManagerDialUp.h"

#include "platform/OnlineState.h"

namespace {
// nmcli's own wait for a connection to come up; the process gets a little more.
constexpr int ActivationSeconds = 30;
constexpr int NmcliTimeoutMs = (ActivationSeconds + 5) * 1000;
}

ProcessResult TNetworkManagerDialUp::RunNmcli(const QStringList& arguments)
{
    return RunProcess(QStringLiteral("nmcli"), arguments, NmcliTimeoutMs);
}

std::unique_ptr<TDialUp> SystemDialUp()
{
    return std::make_unique<TNetworkManagerDialUp>();
}

TNetworkManagerDialUp::TNetworkManagerDialUp(Nmcli nmcli) : nmcli(std::move(nmcli)) {}

bool TNetworkManagerDialUp::IsOnline()
{
    return SystemIsOnline();
}

bool TNetworkManagerDialUp::Dial(const QString& connectoid, quint32& handle)
{
    handle = 0;
    if (connectoid.isEmpty())
        return false;
    const QStringList arguments {QStringLiteral("--wait"), QString::number(ActivationSeconds),
                                 QStringLiteral("connection"), QStringLiteral("up"), QStringLiteral("id"), connectoid};
    if (!nmcli(arguments).Succeeded())
        return false;
    handle = nextHandle();
    dialled[handle] = connectoid;
    return true;
}

void TNetworkManagerDialUp::HangUp(quint32 handle)
{
    const auto found = dialled.find(handle);
    if (found == dialled.end())
        return;
    const QString name = found->second;
    dialled.erase(found);
    nmcli({QStringLiteral("connection"), QStringLiteral("down"), QStringLiteral("id"), name});
}

// One name a line: with a single field and no escaping, terse output is the
// names exactly as NetworkManager keeps them.
QStringList TNetworkManagerDialUp::Connectoids()
{
    const ProcessResult result = nmcli({QStringLiteral("--terse"), QStringLiteral("--escape"), QStringLiteral("no"),
                                        QStringLiteral("--fields"), QStringLiteral("NAME"),
                                        QStringLiteral("connection"), QStringLiteral("show")});
    if (!result.Succeeded())
        return {};
    return QString::fromUtf8(result.Output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

quint32 TNetworkManagerDialUp::nextHandle()
{
    do
        ++lastHandle;
    while (lastHandle == 0 || dialled.contains(lastHandle));
    return lastHandle;
}
