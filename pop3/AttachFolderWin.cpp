#include "pop3/AttachFolder.h"

#include <QDir>
#include <QScopeGuard>
#include <QStandardPaths>

#include <string>
#include <vector>

#include <windows.h>
#include <aclapi.h>

// The folder's place and its sweep; naming and making its files are the
// same on every system and live with the reader that writes them.

namespace {

// From 1601 in tenths of microseconds, as Windows counts file times.
qint64 MSecsSinceEpoch(const FILETIME& time)
{
    constexpr qint64 TicksTo1970 = 116444736000000000LL;
    const qint64 ticks = (qint64(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (ticks - TicksTo1970) / 10000;
}

// Links, junctions and folders are left alone, whatever they point to.
bool OldFile(const WIN32_FIND_DATAW& entry, const QDateTime& before)
{
    constexpr DWORD NotAFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    return !(entry.dwFileAttributes & NotAFile) && MSecsSinceEpoch(entry.ftLastWriteTime) < before.toMSecsSinceEpoch();
}

bool OwnedByThisUser(HANDLE folder)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor)
        != ERROR_SUCCESS)
        return false;
    const auto freed = qScopeGuard([descriptor] { LocalFree(descriptor); });
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    BYTE user[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)] = {};
    DWORD size = sizeof(user);
    const bool known = GetTokenInformation(token, TokenUser, user, size, &size);
    CloseHandle(token);
    return known && EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
}

} // namespace

// Names are joined to the path, so it must end with a separator.
TAttachFolder::TAttachFolder(const QString& folder)
    : path(folder.isEmpty() ? DefaultPath() : folder.endsWith('/') ? folder : folder + '/')
{
}

// %LOCALAPPDATA%\Postwatch\attachments\, beside the program's caches.
QString TAttachFolder::DefaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Postwatch/attachments/";
}

// The folder is held open, and may not be renamed or replaced, until the
// sweep ends; removing an entry only ever removes that name in it.
void TAttachFolder::RemoveOlderThan(const QDateTime& time)
{
    const std::wstring folderPath = QDir::toNativeSeparators(QDir::cleanPath(path)).toStdWString();
    HANDLE folder = CreateFileW(folderPath.c_str(), FILE_LIST_DIRECTORY | READ_CONTROL,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return;
    const auto closed = qScopeGuard([folder] { CloseHandle(folder); });
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(folder, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        || !OwnedByThisUser(folder))
        return;
    WIN32_FIND_DATAW entry = {};
    HANDLE entries = FindFirstFileW((folderPath + L"\\*").c_str(), &entry);
    if (entries == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::wstring> old;
    do {
        if (OldFile(entry, time))
            old.push_back(folderPath + L'\\' + entry.cFileName);
    } while (FindNextFileW(entries, &entry));
    FindClose(entries);
    for (const std::wstring& name : old)
        DeleteFileW(name.c_str());
}
