#pragma once

#include <QString>
#include <exception>

// The root of every failure the program reports to the user: it carries the
// text that the error report shows.
class Exception : public std::exception
{
public:
    explicit Exception(QString message) : Message(std::move(message)), utf8(Message.toUtf8()) {}
    const char* what() const noexcept override { return utf8.constData(); }

    QString Message;

private:
    QByteArray utf8;
};

// A text that should have been a number, or another failed conversion.
class EConvertError : public Exception
{
public:
    using Exception::Exception;
};
