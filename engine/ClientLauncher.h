#pragma once

#include <QString>

class RegistryStore;
class Settings;
class TEngineHost;

// Starts the user's mail program: the one chosen in the options, or the
// desktop's default, by the command line its mailto handler is registered
// with.
class TClientLauncher
{
public:
    TClientLauncher(const Settings& settings, RegistryStore& store, TEngineHost& host)
        : options(settings), store(store), host(host)
    {
    }

    // Tells "Can't access registry" when the program or its command is not
    // known; otherwise starts it and hides the main window.
    void Launch();

private:
    bool ReadDefault(const QString& key, QString& value);

    const Settings& options;
    RegistryStore& store;
    TEngineHost& host;
};

// The command line without what follows a quoted program path:
// '"/opt/Mail App/mail" %u' gives '/opt/Mail App/mail'.
QString ClientCommand(QString command);
