#pragma once

#include "engine/MessageFields.h"

// Single fields of a header, read as HeaderFields reads them all.
inline QString HeaderDate(const TExStringList& header)
{
    return HeaderFields(header).Date;
}

inline QString HeaderTo(const TExStringList& header)
{
    return HeaderFields(header).To;
}

inline QString HeaderPriority(const TExStringList& header)
{
    return HeaderFields(header).Priority;
}
