#pragma once

#include "platform/DialUp.h"
#include "platform/ProcessRunner.h"

#include <functional>
#include <map>

// The dial-up entries are NetworkManager's connections: dialling brings the
// named connection up with nmcli, hanging up takes it down. Where
// NetworkManager is missing, dialling fails and there are no entries.
class TNetworkManagerDialUp : public TDialUp
{
public:
    // Runs nmcli with these arguments; tests put a recorder here.
    using Nmcli = std::function<ProcessResult(const QStringList& arguments)>;

    static ProcessResult RunNmcli(const QStringList& arguments);

    explicit TNetworkManagerDialUp(Nmcli nmcli = RunNmcli);

    bool IsOnline() override;
    bool Dial(const QString& connectoid, quint32& handle) override;
    void HangUp(quint32 handle) override;
    QStringList Connectoids() override;

private:
    quint32 nextHandle();

    Nmcli nmcli;
    std::map<quint32, QString> dialled; // handle -> connection name
    quint32 lastHandle = 0;
};
