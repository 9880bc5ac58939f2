#include "platform/Console.h"

#include <cstdio>
#include <windows.h>

namespace {
bool hasPlace(DWORD stream)
{
    const HANDLE handle = GetStdHandle(stream);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}
}

// A pipe or file given by the caller stays; only missing streams go to the
// console of the command prompt that started us.
void UseParentConsole()
{
    if ((hasPlace(STD_OUTPUT_HANDLE) && hasPlace(STD_ERROR_HANDLE)) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!hasPlace(STD_OUTPUT_HANDLE))
        std::freopen("CONOUT$", "w", stdout);
    if (!hasPlace(STD_ERROR_HANDLE))
        std::freopen("CONOUT$", "w", stderr);
}
