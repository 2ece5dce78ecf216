#pragma once

// The process-wide table of window handles. Handles are handed out once and never
// again, so a stale handle finds nothing. Lookups and checks may come from any
// thread; a window registers and unregisters itself on the user-interface thread.

#include "WinDefs.h"

class CDialog;

HWND RegisterWindow(CDialog* window);
void UnregisterWindow(HWND handle);

// The window of a handle, or nullptr when it is gone. The pointer is only safe to
// use on the user-interface thread, where windows are destroyed.
CDialog* FindWindowByHandle(HWND handle);

// True while the handle's window exists.
bool IsWindow(HWND handle);
