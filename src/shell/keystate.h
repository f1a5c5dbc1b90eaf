#pragma once

#include <optional>

// The keyboard's lock keys, as the status bar shows them; nothing where the
// windowing system does not tell (no X11 display).
namespace KeyState {
std::optional<bool> capsLock();
std::optional<bool> numLock();
}
