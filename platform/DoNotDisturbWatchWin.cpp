#include "platform/DoNotDisturbWatch.h"

TDoNotDisturbWatch::TDoNotDisturbWatch(QObject* parent) : QObject(parent) {}
