#pragma once

#include <functional>

// The desktop's default beep, which refuses an input without a word.
void Beep();

// For tests: the hook hears each beep instead of the desktop. An empty hook
// beeps again.
void SetBeepHook(std::function<void()> hook);
