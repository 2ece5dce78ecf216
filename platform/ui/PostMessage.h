#pragma once

// Posted window messages. A message is queued to the user-interface thread and
// handed to its window's message map there (CDialog::MapMessage).

#include "WinDefs.h"

// Queues the message; safe from any thread. Returns false, and nothing happens,
// when the handle's window does not exist. A window destroyed before the message
// is delivered never sees it.
bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Prepares delivery; called on the user-interface thread by every window when it
// is made, so that posting never has to create anything.
void EnsureMessageDelivery();
