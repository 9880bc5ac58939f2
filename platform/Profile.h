#pragma once

#include <QString>

// Where this user's files live. POSTWATCH_PROFILE names a folder that holds
// the store file instead of the usual place, so a demo or a test never
// touches the user's own settings.
namespace Profile {
QString StoreFilePath();
QString ConfigFolder();
// The messages announced so far, beside the store file.
QString SeenMessagesFilePath();
}
