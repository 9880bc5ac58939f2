#pragma once

#include "config/RegistryStore.h"
#include "config/StoreKeys.h"

// The store in the Windows registry itself. The program's key
// (StoreKeys::Program in the tree) lives at base below HKEY_CURRENT_USER, so
// tests can keep theirs apart. Opening a key reads the registry afresh; a
// commit reads it again, replays this copy's pending changes onto what it
// holds then and writes only the difference, so values other programs or a
// second running copy wrote under the key are kept. Only the program's key
// is written; the tree shows nothing else of the registry but system keys.
class WinRegistryStore : public RegistryStore
{
public:
    explicit WinRegistryStore(QString base = StoreKeys::Program);

    // The key as a person finds it in regedit: "HKEY_CURRENT_USER\...".
    static QString NameFor(const QString& base);
    QString Name() const { return NameFor(base); }

    void Refresh() override;

protected:
    void Flush(const std::vector<RegChange>& pending) override;

private:
    RegistryTree read(const std::vector<RegChange>& changes) const;

    QString base;
};

// windows.h makes the roots' names macros: a file that needs both includes
// it after this header and names the roots so.
inline constexpr RootKey CurrentUser = RootKey::HKEY_CURRENT_USER;
inline constexpr RootKey LocalMachine = RootKey::HKEY_LOCAL_MACHINE;

// A system key shown as the registry holds it, everything below it
// included, read afresh whenever a key within it is opened.
SystemKey RealSystemKey(RootKey root, const QString& path);
