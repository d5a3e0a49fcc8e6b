// Real input for tests of windows: what a user's mouse does, through the
// system's input queue (so the window sees the same messages as from a user).
#pragma once

#include <windows.h>

namespace fw::testing {

// Handles the calling thread's messages for about `ms` milliseconds.
void PumpFor(DWORD ms);

// Brings the window's top-level window to the front, moves the cursor to the
// middle of the window and presses and releases the left button there.
// False when the input could not be sent. The click arrives through the
// calling thread's message queue: pump (or wait for its effect) afterwards.
bool ClickWindowCentre(HWND window);

}  // namespace fw::testing
