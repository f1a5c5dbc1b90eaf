#include "shell/keystate.h"

#include <QGuiApplication>

#ifdef TORVANE_HAVE_X11
#include <X11/XKBlib.h>
#endif

namespace {

// Bit 0 is Caps Lock and bit 1 Num Lock in the core keyboard's indicator mask.
// Without an X11 display (Wayland, or a build without X11) nothing is known.
std::optional<unsigned int> indicators()
{
#ifdef TORVANE_HAVE_X11
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return std::nullopt;
    unsigned int state = 0;
    if (XkbGetIndicatorState(x11->display(), XkbUseCoreKbd, &state) != Success)
        return std::nullopt;
    return state;
#else
    return std::nullopt;
#endif
}

} // namespace

std::optional<bool> KeyState::capsLock()
{
    const auto state = indicators();
    return state ? std::optional<bool>((*state & 1) != 0) : std::nullopt;
}

std::optional<bool> KeyState::numLock()
{
    const auto state = indicators();
    return state ? std::optional<bool>((*state & 2) != 0) : std::nullopt;
}
