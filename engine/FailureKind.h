#pragma once

#include "engine/MailSource.h"

class Exception;

// What kind of failure an exception is: the one place that tells.
TSourceFailure FailureOf(const Exception& error);
