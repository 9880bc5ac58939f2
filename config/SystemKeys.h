#pragma once

#include "config/RegistryStore.h"
#include "platform/MailPrograms.h"

class TDialUp;

// The system's keys as the program reads them, built from what the desktop
// has instead of a registry.
namespace SystemKeys {

// HKEY_CURRENT_USER "RemoteAccess\Profile": one subkey per dial-up entry.
SystemKey DialUpProfiles(TDialUp& dialUp);

// HKEY_LOCAL_MACHINE "Software\Clients\Mail": the default value names the
// default mail program; below each program's subkey,
// "Protocols\mailto\Shell\Open\Command" holds its command line.
SystemKey MailClients(const XdgFolders& folders);

// Both, on the store; dialUp must outlive it.
void AddTo(RegistryStore& store, TDialUp& dialUp);

}
