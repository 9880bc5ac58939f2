#include "config/Settings.h"

#include "base/Guard.h"
#include "widgets/MsgBox.h"
