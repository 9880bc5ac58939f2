#pragma once

#include "config/FileStore.h"
#include "config/Registry.h"
#include "config/StoreError.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

inline const QString ProgramKey = QStringLiteral("Software\\Tallowfen\\Postwatch\\2.0");
inline const QByteArray FileHeader = "Windows Registry Editor Version 5.00\n\n";

// Each test has a profile folder of its own; the store file's folder does not
// exist until the store or the test creates it.
class StoreFileTest : public testing::Test
{
protected:
    QString FilePath() const { return dir.filePath(QStringLiteral("Postwatch/registry.reg")); }

    void WriteFile(const QByteArray& content) const
    {
        QDir().mkpath(QFileInfo(FilePath()).absolutePath());
        QFile file(FilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(content), content.size());
    }

    QByteArray ReadFile() const
    {
        QFile file(FilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

// The message of the EStoreError the action raises; empty when it raises none.
inline std::string ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EStoreError& e) {
        return e.Message.toStdString();
    }
    return {};
}
