#include "platform/Profile.h"

#include "base/Exception.h"
#include "platform/PrivateFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>

#include <string>
#include <vector>

#include <windows.h>
#include <aclapi.h>
#include <fcntl.h>
#include <io.h>

namespace Profile {

namespace {
// %LOCALAPPDATA%\Postwatch: the settings are in the registry, and what is
// kept in files here is only this computer's memory of the mailboxes.
QString usualFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Postwatch");
}

[[noreturn]] void refuse(const QString& path, const QString& reason)
{
    throw Exception(QStringLiteral("the folder %1 %2").arg(QDir::toNativeSeparators(path), reason));
}
}

QString ConfigFolder()
{
    const QString profile = qEnvironmentVariable("POSTWATCH_PROFILE");
    if (!profile.isEmpty())
        return QDir(profile).absolutePath();
    return usualFolder();
}

QString StoreFilePath()
{
    return ConfigFolder() + QStringLiteral("/registry.reg");
}

QString SeenMessagesFilePath()
{
    return ConfigFolder() + QStringLiteral("/seen-messages");
}

QString SummaryCacheFilePath()
{
    return ConfigFolder() + QStringLiteral("/summary-cache");
}

// The usual folder is already a cache: Windows keeps %LOCALAPPDATA% off
// roaming profiles.
QString CacheFolder()
{
    if (IsDefault())
        return usualFolder();
    return ConfigFolder() + QStringLiteral("/cache");
}

bool IsDefault()
{
    return QDir::cleanPath(ConfigFolder()).compare(QDir::cleanPath(usualFolder()), Qt::CaseInsensitive) == 0;
}

QString FolderTag()
{
    const QByteArray path = QDir::cleanPath(ConfigFolder()).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex().left(12));
}

QString PrivateFolder(const QString& path)
{
    if (!PrivateFiles::MakeFolder(path))
        refuse(path, QStringLiteral("cannot be made: %1").arg(PrivateFiles::LastError()));
    const QString refusal = PrivateFiles::FolderRefusal(path);
    if (!refusal.isEmpty())
        refuse(path, refusal);
    return path;
}

}

namespace PrivateFiles {

namespace {

std::wstring nativePath(const QString& path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(path)).toStdWString();
}

// The user this process runs as, read once.
PSID currentUser()
{
    static const std::vector<BYTE> user = [] {
        std::vector<BYTE> buffer;
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return buffer;
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        buffer.resize(size);
        if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
            buffer.clear();
        CloseHandle(token);
        return buffer;
    }();
    return user.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
}

// One entry, full access for this user, handed down to what a folder
// holds; protected, so that nothing of the parent's list comes in.
class OwnerOnly
{
public:
    explicit OwnerOnly(bool folder)
    {
        const PSID user = currentUser();
        const DWORD inherit = folder ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE : 0;
        valid = user && InitializeAcl(acl(), sizeof(storage), ACL_REVISION)
                && AddAccessAllowedAceEx(acl(), ACL_REVISION, inherit, FILE_ALL_ACCESS, user)
                && InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)
                && SetSecurityDescriptorDacl(&descriptor, TRUE, acl(), FALSE)
                && SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    }

    PSECURITY_DESCRIPTOR get() { return valid ? &descriptor : nullptr; }

private:
    PACL acl() { return reinterpret_cast<PACL>(storage); }

    alignas(DWORD) BYTE storage[256] = {};
    SECURITY_DESCRIPTOR descriptor {};
    bool valid = false;
};

HANDLE nativeHandle(QFileDevice& file)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
}

bool isWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    BYTE known[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof(known);
    return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

// This user, the system itself and the administrators may change anything.
bool trusted(PSID sid)
{
    return EqualSid(sid, currentUser()) || isWellKnown(sid, WinLocalSystemSid)
           || isWellKnown(sid, WinBuiltinAdministratorsSid);
}

// Entries that only pass on to what the folder holds do not count for it.
bool opensToOthers(PACL dacl)
{
    constexpr ACCESS_MASK Opening = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY
                                    | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL
                                    | GENERIC_READ | GENERIC_WRITE;
    if (!dacl)
        return true;
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, index, reinterpret_cast<void**>(&header)))
            return true;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        const auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        if ((ace->Mask & Opening) && !trusted(const_cast<DWORD*>(&ace->SidStart)))
            return true;
    }
    return false;
}

// Held open without sharing deletion, the folder cannot be renamed or
// replaced while it is looked at.
HANDLE openFolder(const QString& path)
{
    return CreateFileW(nativePath(path).c_str(), FILE_LIST_DIRECTORY | READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

QString refusalOf(HANDLE folder)
{
    BY_HANDLE_FILE_INFORMATION info {};
    if (!GetFileInformationByHandle(folder, &info))
        return QStringLiteral("cannot be read: ") + LastError();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return QStringLiteral("is a symbolic link");
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return QStringLiteral("is not a folder");
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                       &owner, nullptr, &dacl, nullptr, &descriptor);
    if (read != ERROR_SUCCESS)
        return QStringLiteral("cannot be read: ") + qt_error_string(int(read));
    const auto freed = qScopeGuard([descriptor] { LocalFree(descriptor); });
    if (!owner || !EqualSid(owner, currentUser()))
        return QStringLiteral("belongs to another user");
    if (opensToOthers(dacl))
        return QStringLiteral("is open to other users");
    return {};
}

}

// A folder made here lets nothing of its parent's access list in: under a
// folder the user named, others may be allowed more than the user knows.
bool MakeFolder(const QString& path)
{
    OwnerOnly security(true);
    SECURITY_ATTRIBUTES attributes {sizeof(attributes), security.get(), FALSE};
    return security.get()
           && (CreateDirectoryW(nativePath(path).c_str(), &attributes) || GetLastError() == ERROR_ALREADY_EXISTS);
}

// The handle Qt opened may not change the access list, so the file is
// opened again for that alone.
bool Restrict(QFileDevice& file)
{
    OwnerOnly security(false);
    HANDLE own = ReOpenFile(nativeHandle(file), WRITE_DAC, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (!security.get() || own == INVALID_HANDLE_VALUE)
        return false;
    const bool restricted = SetKernelObjectSecurity(own, DACL_SECURITY_INFORMATION, security.get());
    const DWORD error = GetLastError();
    CloseHandle(own);
    SetLastError(error);
    return restricted;
}

bool FlushToDisk(QFileDevice& file)
{
    return FlushFileBuffers(nativeHandle(file));
}

// The rename that put the file there is in the file system's own journal;
// Windows has no flush for a folder's entries.
void FlushFolder(const QString&) {}

bool IsLink(const QString& path)
{
    const DWORD attributes = GetFileAttributesW(nativePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

Opened OpenForReading(QFile& file, const QString& path)
{
    HANDLE handle = CreateFileW(nativePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return Opened::Failed;
    BY_HANDLE_FILE_INFORMATION info {};
    if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(handle);
        return info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? Opened::Link : Opened::Failed;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return Opened::Failed;
    }
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        _close(descriptor);
        return Opened::Failed;
    }
    return Opened::Yes;
}

QString FolderRefusal(const QString& path)
{
    HANDLE folder = openFolder(path);
    if (folder == INVALID_HANDLE_VALUE)
        return QStringLiteral("cannot be read: ") + LastError();
    const QString refusal = refusalOf(folder);
    CloseHandle(folder);
    return refusal;
}

QString LastError()
{
    return qt_error_string(int(GetLastError()));
}

}
