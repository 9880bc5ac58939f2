#pragma once

#include "base/Guard.h"
#include "widgets/MsgBox.h"

#include <QMessageBox>
#include <QStringList>
#include <gtest/gtest.h>

// A test of the whole window: its boxes are answered Yes (or OK), never
// shown, and recorded as "caption | text"; the error report is recorded.
// A fixture's TearDown lets its windows go before this one's.
class AnsweredBoxesTest : public testing::Test
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
        SetMsgBoxHook({});
        SetErrorReport({});
    }

    QStringList Boxes;
    QStringList Errors;
};
