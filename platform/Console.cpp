#include "platform/Console.h"

void UseParentConsole() {}
