#include "config/SecretStore.h"

#include "base/Exception.h"
#include "config/WinRegistryStore.h"

#include "base/WinText.h"

#include <wincred.h>

using namespace Qt::StringLiterals;

namespace {

// Windows' limit since Windows 7; MinGW's wincred.h still gives the older 512.
constexpr qsizetype LongestSecret = 5 * 512;

[[noreturn]] void fail(DWORD code)
{
    throw Exception(u"The Windows Credential Manager refused: %1"_s.arg(WinErrorText(code)));
}

}

SecretStore::SecretStore(QString profile) : profile(std::move(profile))
{
}

// The default profile's secrets carry the names the user looks for in the
// Credential Manager; another profile's name it as well, ahead of the
// account, where no account name can reach: a profile is a file's path,
// which holds no colon but its drive's, or a key of ours.
QString SecretStore::Label(const QString& account, Kind kind) const
{
    const QString what = kind == SignIn ? u"Postwatch sign-in"_s : u"Postwatch"_s;
    if (profile.compare(WinRegistryStore::NameFor(StoreKeys::Program), Qt::CaseInsensitive) == 0)
        return what + u": "_s + account;
    return what + u" ("_s + profile + u"): "_s + account;
}

// Listing our own credentials works wherever the Credential Manager does,
// also when it holds none.
QString SecretStore::NotAnswering()
{
    return QStringLiteral("The Windows Credential Manager does not answer");
}

bool SecretStore::Answers()
{
    DWORD count = 0;
    CREDENTIALW** found = nullptr;
    const bool listed = CredEnumerateW(L"Postwatch*", 0, &count, &found);
    if (listed)
        CredFree(found);
    return listed || GetLastError() == ERROR_NOT_FOUND;
}

QString SecretStore::Read(const QString& account, bool, Kind kind)
{
    CREDENTIALW* credential = nullptr;
    if (!CredReadW(WideText(Label(account, kind)), CRED_TYPE_GENERIC, 0, &credential)) {
        if (GetLastError() == ERROR_NOT_FOUND)
            return {};
        fail(GetLastError());
    }
    const QString secret = QString::fromUtf8(reinterpret_cast<const char*>(credential->CredentialBlob),
                                             credential->CredentialBlobSize);
    CredFree(credential);
    return secret;
}

// The account goes in as the credential's user name, so the Credential
// Manager's own window says whose secret it is.
void SecretStore::Write(const QString& account, const QString& secret, Kind kind, bool)
{
    const QString label = Label(account, kind);
    QByteArray blob = secret.toUtf8();
    if (blob.size() > LongestSecret)
        throw Exception(u"The Windows Credential Manager keeps no secret longer than %1 bytes; this one has %2."_s.arg(
            QString::number(LongestSecret), QString::number(blob.size())));
    CREDENTIALW credential{};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = const_cast<wchar_t*>(WideText(label));
    credential.UserName = const_cast<wchar_t*>(WideText(account));
    credential.CredentialBlob = reinterpret_cast<BYTE*>(blob.data());
    credential.CredentialBlobSize = DWORD(blob.size());
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    if (!CredWriteW(&credential, 0))
        fail(GetLastError());
}

void SecretStore::Remove(const QString& account, Kind kind)
{
    if (!CredDeleteW(WideText(Label(account, kind)), CRED_TYPE_GENERIC, 0) && GetLastError() != ERROR_NOT_FOUND)
        fail(GetLastError());
}
