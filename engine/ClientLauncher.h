#pragma once

#include <QString>

class RegistryStore;
class Settings;
class TDesktopActions;
class TUserQuestions;

// Starts the user's mail program: the one chosen in the options, or the
// desktop's default, by the command line its mailto handler is registered
// with.
class TClientLauncher
{
public:
    TClientLauncher(const Settings& settings, RegistryStore& store, TUserQuestions& user, TDesktopActions& host)
        : options(settings), store(store), user(user), host(host)
    {
    }

    // Starts the program and hides the main window; where there is none to
    // start, says what to set up instead.
    void Launch();

private:
    QString DefaultValue(const QString& key) const;

    const Settings& options;
    RegistryStore& store;
    TUserQuestions& user;
    TDesktopActions& host;
};

// The command line without what follows a quoted program path:
// '"/opt/Mail App/mail" %u' gives '/opt/Mail App/mail'.
QString ClientCommand(QString command);
