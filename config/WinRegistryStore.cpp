#include "config/WinRegistryStore.h"

#include "base/WinText.h"
#include "config/StoreError.h"

#include <QtEndian>

#include <optional>
#include <utility>
#include <windows.h>

namespace {

HKEY rootHandle(RootKey root)
{
    return root == CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

QString shown(RootKey root, const QString& path)
{
    return RootKeyName(root) + QLatin1Char('\\') + SplitKeyPath(path).join(QLatin1Char('\\'));
}

EStoreError readError(const QString& key, LONG code)
{
    return EStoreError(QStringLiteral("The registry key \"%1\" cannot be read: %2").arg(key, WinErrorText(code)));
}

EStoreError writeError(const QString& key, LONG code)
{
    return EStoreError(QStringLiteral("The settings were not saved: the registry key \"%1\" cannot be written: %2")
                           .arg(key, WinErrorText(code)));
}

class KeyHandle
{
public:
    KeyHandle() = default;
    explicit KeyHandle(HKEY handle) : handle(handle) {}
    KeyHandle(KeyHandle&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}
    KeyHandle& operator=(KeyHandle&&) = delete;
    ~KeyHandle()
    {
        if (handle)
            RegCloseKey(handle);
    }

    HKEY Get() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }

private:
    HKEY handle = nullptr;
};

// An empty handle when the key does not exist.
KeyHandle openForReading(HKEY parent, const QString& path, const QString& shownKey)
{
    HKEY handle = nullptr;
    const LONG result = RegOpenKeyExW(parent, WideText(path), 0, KEY_READ, &handle);
    if (result == ERROR_FILE_NOT_FOUND)
        return {};
    if (result != ERROR_SUCCESS)
        throw readError(shownKey, result);
    return KeyHandle(handle);
}

// None when the value went away meanwhile; the size is asked again when
// another writer made it grow between the two calls.
std::optional<QByteArray> queryData(HKEY key, const QString& name, DWORD& type, const QString& shownKey)
{
    QByteArray data;
    DWORD size = 0;
    LONG result = RegQueryValueExW(key, WideText(name), nullptr, &type, nullptr, &size);
    while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
        data.resize(size);
        result = RegQueryValueExW(key, WideText(name), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        if (result == ERROR_SUCCESS) {
            data.truncate(size);
            return data;
        }
    }
    if (result == ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    throw readError(shownKey, result);
}

// Strings end at their first null character, as Windows reads them.
QString stringFrom(const QByteArray& data)
{
    const QString text = QString::fromWCharArray(reinterpret_cast<const wchar_t*>(data.constData()),
                                                 data.size() / qsizetype(sizeof(wchar_t)));
    return text.left(text.indexOf(QChar(0)));
}

// An expandable string is read as the string it holds, unexpanded; a type
// the tree does not know, or a number of another size, keeps its bytes.
RegValue toValue(const QString& name, DWORD type, const QByteArray& data)
{
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        RegValue value(name, RegType::String);
        value.Text = stringFrom(data);
        return value;
    }
    if (type == REG_DWORD && data.size() == 4) {
        RegValue value(name, RegType::DWord);
        value.Number = qFromLittleEndian<quint32>(data.constData());
        return value;
    }
    RegValue value(name, type == REG_BINARY ? RegType::Binary : RegType::Other);
    value.OtherType = type == REG_BINARY ? 0 : int(type);
    value.Bytes = data;
    return value;
}

void readValues(HKEY key, const QString& shownKey, RegKey& into)
{
    std::vector<wchar_t> name(16384); // the longest value name the registry allows, and its end
    for (DWORD index = 0;; ++index) {
        DWORD length = DWORD(name.size());
        const LONG result = RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            return;
        if (result != ERROR_SUCCESS)
            throw readError(shownKey, result);
        const QString valueName = QString::fromWCharArray(name.data(), length);
        DWORD type = REG_NONE;
        if (const std::optional<QByteArray> data = queryData(key, valueName, type, shownKey))
            into.SetValue(toValue(valueName, type, *data));
    }
}

void readKey(HKEY key, const QString& shownKey, RegKey& into)
{
    readValues(key, shownKey, into);
    for (DWORD index = 0;; ++index) {
        wchar_t name[256]; // the longest key name the registry allows, and its end
        DWORD length = 256;
        const LONG result = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            return;
        if (result != ERROR_SUCCESS)
            throw readError(shownKey, result);
        const QString subkeyName = QString::fromWCharArray(name, length);
        const QString shownSubkey = shownKey + QLatin1Char('\\') + subkeyName;
        if (const KeyHandle subkey = openForReading(key, subkeyName, shownSubkey))
            readKey(subkey.Get(), shownSubkey, into.AddSubkey(subkeyName));
    }
}

bool sameContent(const RegValue& a, const RegValue& b)
{
    if (a.Type != b.Type)
        return false;
    switch (a.Type) {
    case RegType::String: return a.Text == b.Text;
    case RegType::DWord: return a.Number == b.Number;
    case RegType::Binary: return a.Bytes == b.Bytes;
    case RegType::Other: return a.OtherType == b.OtherType && a.Bytes == b.Bytes;
    }
    return false;
}

QByteArray toData(const RegValue& value, DWORD& type)
{
    switch (value.Type) {
    case RegType::String:
        type = REG_SZ;
        return QByteArray(reinterpret_cast<const char*>(value.Text.utf16()), (value.Text.size() + 1) * 2);
    case RegType::DWord: {
        type = REG_DWORD;
        QByteArray data(4, '\0');
        qToLittleEndian(value.Number, data.data());
        return data;
    }
    case RegType::Binary: type = REG_BINARY; return value.Bytes;
    case RegType::Other: type = DWORD(value.OtherType); return value.Bytes;
    }
    return {};
}

// Writes what after holds and before (the registry as read just now) does
// not, below HKEY_CURRENT_USER at path; a key that differs in nothing is not
// even opened.
class DifferenceWriter
{
public:
    void Write(const QString& path, const RegKey* before, const RegKey& after)
    {
        writeValues(path, before, after);
        for (const auto& subkey : after.Subkeys())
            Write(path + QLatin1Char('\\') + subkey->Name, before ? before->Subkey(subkey->Name) : nullptr, *subkey);
        if (!before)
            return;
        for (const auto& subkey : before->Subkeys())
            if (!after.Subkey(subkey->Name))
                RemoveKey(path + QLatin1Char('\\') + subkey->Name);
    }

    // What another writer removed meanwhile is gone as wanted.
    void RemoveKey(const QString& path)
    {
        const LONG result = RegDeleteTreeW(HKEY_CURRENT_USER, WideText(path));
        if (result != ERROR_FILE_NOT_FOUND)
            check(path, result);
    }

private:
    void writeValues(const QString& path, const RegKey* before, const RegKey& after)
    {
        std::vector<const RegValue*> changed;
        for (const RegValue& value : after.Values()) {
            const RegValue* old = before ? before->Value(value.Name) : nullptr;
            if (!old || !sameContent(*old, value))
                changed.push_back(&value);
        }
        QStringList removed;
        if (before)
            for (const RegValue& value : before->Values())
                if (!after.Value(value.Name))
                    removed << value.Name;
        if (before && changed.empty() && removed.isEmpty())
            return;
        const KeyHandle key = create(path);
        for (const RegValue* value : changed)
            set(key.Get(), path, *value);
        for (const QString& name : removed) {
            const LONG result = RegDeleteValueW(key.Get(), WideText(name));
            if (result != ERROR_FILE_NOT_FOUND)
                check(path, result);
        }
    }

    static KeyHandle create(const QString& path)
    {
        HKEY handle = nullptr;
        check(path, RegCreateKeyExW(HKEY_CURRENT_USER, WideText(path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &handle, nullptr));
        return KeyHandle(handle);
    }

    static void set(HKEY key, const QString& path, const RegValue& value)
    {
        DWORD type = REG_NONE;
        const QByteArray data = toData(value, type);
        check(path, RegSetValueExW(key, WideText(value.Name), 0, type, reinterpret_cast<const BYTE*>(data.constData()),
                                   DWORD(data.size())));
    }

    static void check(const QString& path, LONG result)
    {
        if (result != ERROR_SUCCESS)
            throw writeError(shown(CurrentUser, path), result);
    }
};

}

WinRegistryStore::WinRegistryStore(QString base) : base(std::move(base)) {}

QString WinRegistryStore::NameFor(const QString& base)
{
    return shown(CurrentUser, base);
}

void WinRegistryStore::Refresh()
{
    tree = read(Pending());
}

void WinRegistryStore::Flush(const std::vector<RegChange>& pending)
{
    RegistryTree current = read({});
    RegistryTree merged = current;
    for (const RegChange& change : pending)
        change(merged);
    const RegKey* before = current.Find(CurrentUser, StoreKeys::Program);
    const RegKey* after = merged.Find(CurrentUser, StoreKeys::Program);
    DifferenceWriter writer;
    if (after)
        writer.Write(base, before, *after);
    else if (before)
        writer.RemoveKey(base);
    tree = std::move(merged);
}

RegistryTree WinRegistryStore::read(const std::vector<RegChange>& changes) const
{
    RegistryTree result;
    if (const KeyHandle key = openForReading(HKEY_CURRENT_USER, base, Name()))
        readKey(key.Get(), Name(), result.Create(CurrentUser, StoreKeys::Program));
    for (const RegChange& change : changes)
        change(result);
    return result;
}

SystemKey RealSystemKey(RootKey root, const QString& path)
{
    return {root, path, [root, path](RegKey& key) {
                if (const KeyHandle found = openForReading(rootHandle(root), path, shown(root, path)))
                    readKey(found.Get(), shown(root, path), key);
            }};
}
