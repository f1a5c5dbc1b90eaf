#pragma once

// Lock-key states for the status bar. Read from the X server where there is
// one, otherwise from the keyboard LEDs the kernel exposes; false when neither
// can tell.
namespace KeyState {
bool capsLock();
bool numLock();
}
