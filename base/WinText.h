#pragma once

#include <QString>

#include <windows.h>

// Text as the W functions take it, valid while text lives unchanged.
inline const wchar_t* WideText(const QString& text)
{
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

// What Windows says about an error code, in the user's language.
inline QString WinErrorText(DWORD code)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const QString message = text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("error %1").arg(code);
    LocalFree(text);
    return message;
}
