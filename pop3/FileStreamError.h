#pragma once

#include "base/Exception.h"

#include <QFileDevice>

// A file that could not be created, opened or written.
class EFileStreamError : public Exception
{
public:
    using Exception::Exception;

    [[noreturn]] static void CannotCreate(const QFileDevice& file)
    {
        throw EFileStreamError(QStringLiteral("Cannot create file \"%1\". %2").arg(file.fileName(), file.errorString()));
    }

    [[noreturn]] static void CannotOpen(const QFileDevice& file)
    {
        throw EFileStreamError(QStringLiteral("Cannot open file \"%1\". %2").arg(file.fileName(), file.errorString()));
    }

    [[noreturn]] static void CannotWrite(const QFileDevice& file)
    {
        throw EFileStreamError(QStringLiteral("Cannot write file \"%1\". %2").arg(file.fileName(), file.errorString()));
    }
};
