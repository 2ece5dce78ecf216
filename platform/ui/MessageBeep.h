#pragma once

// The default beep, through a hook that tests replace to count beeps.

#include "WinDefs.h"

#include <functional>

using BeepHook = std::function<void(UINT type)>;

// Sounds the beep for `type` (MB_DEFAULT_BEEP or an MB_ICON... value). The
// default hook rings the application's bell whatever the type.
void MessageBeep(UINT type);

// Installs a hook for the whole process (an empty one restores the default) and
// returns the one it replaces. User-interface thread only.
BeepHook SetBeepHook(BeepHook hook);

// Installs a hook for its lifetime.
class ScopedBeepHook
{
public:
    explicit ScopedBeepHook(BeepHook hook);
    ~ScopedBeepHook();

    ScopedBeepHook(const ScopedBeepHook&) = delete;
    ScopedBeepHook& operator=(const ScopedBeepHook&) = delete;

private:
    BeepHook m_previous;
};
