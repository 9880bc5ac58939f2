#pragma once

#include "base/Exception.h"

// A failure of the settings store: a key or value that cannot be read or
// written, a value of another type than asked for, a file that cannot be parsed.
class EStoreError : public Exception
{
public:
    using Exception::Exception;
};
