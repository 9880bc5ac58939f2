#pragma once

#include "app/Mainformdlg.h"
#include "base/Guard.h"
#include "config/RegistryStore.h"
#include "config/Settings.h"
#include "desktop/Runformdlg.h"
#include "dialogs/Configdlg.h"
#include "viewer/Quickviewdlg.h"
#include "widgets/MsgBox.h"
#include "tests/support/ScriptedDialUp.h"

#include <QMessageBox>
#include <QStringList>
#include <gtest/gtest.h>

#include <memory>

// A test of the whole window on an in-memory store. Its boxes are answered
// Yes (or OK), never shown, and recorded as "caption | text"; the error
// report is recorded. The windows go before the store they read.
class WindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        SetMsgBoxHook([this](const TMsgBoxRequest& box) {
            Boxes << box.Caption + " | " + box.Text;
            return box.Buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
        });
        SetErrorReport([this](const QString& message) { Errors << message; });
    }

    void TearDown() override
    {
        View.reset();
        Config.reset();
        Form.reset();
        SetMsgBoxHook({});
        SetErrorReport({});
    }

    QStringList Boxes;
    QStringList Errors;
    MemoryStore Store;
    Settings Options {Store};
    TScriptedDialUp DialUp;
    TRunForm Run {Options};
    std::unique_ptr<TMainForm> Form;
    std::unique_ptr<TConfigForm> Config;
    std::unique_ptr<TQuickView> View;
};
