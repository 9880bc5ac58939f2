#include "platform/WinInetDialUp.h"

#include <windows.h>
#include <wininet.h>

#include <string>

namespace {

const wchar_t ProfilesKey[] = L"RemoteAccess\\Profile";
// Registry key names are at most 255 characters.
constexpr DWORD KeyNameCapacity = 256;

}

bool WinInetIsOnline()
{
    DWORD flags = 0;
    return InternetGetConnectedState(&flags, 0) && !(flags & INTERNET_CONNECTION_OFFLINE);
}

std::unique_ptr<TDialUp> SystemDialUp()
{
    return std::make_unique<TWinInetDialUp>();
}

bool TWinInetDialUp::IsOnline()
{
    return WinInetIsOnline();
}

// The connection is a handle, and Windows keeps handles within 32 bits so
// that 32- and 64-bit programs can share them: it is cut to 32 bits here and
// sign-extended again for the hang-up.
bool TWinInetDialUp::Dial(const QString& connectoid, quint32& handle)
{
    handle = 0;
    if (connectoid.isEmpty())
        return false;
    std::wstring entry = connectoid.toStdWString();
    DWORD_PTR connection = 0;
    if (InternetDialW(nullptr, entry.data(), INTERNET_DIAL_UNATTENDED, &connection, 0) != ERROR_SUCCESS)
        return false;
    handle = static_cast<quint32>(connection);
    return true;
}

void TWinInetDialUp::HangUp(quint32 handle)
{
    if (handle != 0)
        InternetHangUp(static_cast<DWORD_PTR>(static_cast<qintptr>(static_cast<qint32>(handle))), 0);
}

QStringList TWinInetDialUp::Connectoids()
{
    HKEY profiles = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, ProfilesKey, 0, KEY_ENUMERATE_SUB_KEYS, &profiles) != ERROR_SUCCESS)
        return {};
    QStringList names;
    wchar_t name[KeyNameCapacity];
    for (DWORD index = 0;; ++index) {
        DWORD length = KeyNameCapacity;
        if (RegEnumKeyExW(profiles, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names << QString::fromWCharArray(name, int(length));
    }
    RegCloseKey(profiles);
    return names;
}
