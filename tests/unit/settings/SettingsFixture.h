#pragma once

#include "config/Registry.h"
#include "config/Settings.h"

#include <gtest/gtest.h>

// A Settings holder on an empty in-memory store, with short ways to put
// values into the store and look at what it holds.
class SettingsFixture : public testing::Test
{
protected:
    static inline const QString ProgramKey = QStringLiteral("Software\\Tallowfen\\Postwatch\\2.0");
    static inline const QString AccountsKey = ProgramKey + QStringLiteral("\\Accounts");
    static inline const QString BlockedKey = ProgramKey + QStringLiteral("\\BlockedSenders");

    MemoryStore store;
    Settings settings{store};

    void start()
    {
        settings.FillLists();
        settings.LoadSettings();
    }

    void putInteger(const QString& name, int value, const QString& key = ProgramKey)
    {
        TRegistry reg(store);
        reg.OpenKey(key, true);
        reg.WriteInteger(name, value);
    }

    void putString(const QString& name, const QString& text, const QString& key = ProgramKey)
    {
        TRegistry reg(store);
        reg.OpenKey(key, true);
        reg.WriteString(name, text);
    }

    void addKey(const QString& path, RootKey root = RootKey::HKEY_CURRENT_USER)
    {
        TRegistry reg(store, root);
        reg.OpenKey(path, true);
    }

    const RegValue* stored(const QString& name, const QString& key = ProgramKey)
    {
        const RegKey* found = store.Tree().Find(RootKey::HKEY_CURRENT_USER, key);
        return found ? found->Value(name) : nullptr;
    }

    quint32 storedNumber(const QString& name, const QString& key = ProgramKey)
    {
        const RegValue* value = stored(name, key);
        EXPECT_TRUE(value && value->Type == RegType::DWord) << name.toStdString();
        return value ? value->Number : 0xDEADBEEF;
    }

    QString storedText(const QString& name)
    {
        const RegValue* value = stored(name);
        EXPECT_TRUE(value && value->Type == RegType::String) << name.toStdString();
        return value ? value->Text : QStringLiteral("<missing>");
    }
};
