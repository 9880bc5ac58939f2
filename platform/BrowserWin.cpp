#include "platform/Browser.h"

#include <windows.h>
#include <shellapi.h>

void OpenInBrowser(const QUrl& url)
{
    const QString address = url.toString(QUrl::FullyEncoded);
    ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t*>(address.utf16()), nullptr, nullptr, SW_SHOWNORMAL);
}
