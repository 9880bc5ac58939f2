#pragma once

#include <functional>

class QObject;

// Event shapes shared by the components: empty means unassigned.
using TNotifyEvent = std::function<void(QObject* Sender)>;
using THandlerEvent = std::function<void(bool& Handled)>;
