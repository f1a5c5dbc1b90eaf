#include "shell/keystate.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <X11/XKBlib.h>

namespace {

// Bit 0 is Caps Lock and bit 1 Num Lock in the core keyboard's indicator mask.
int x11Indicators(bool *known)
{
    *known = false;
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return 0;
    unsigned int state = 0;
    if (XkbGetIndicatorState(x11->display(), XkbUseCoreKbd, &state) != Success)
        return 0;
    *known = true;
    return static_cast<int>(state);
}

bool ledOn(const QString &suffix)
{
    const QDir leds(QStringLiteral("/sys/class/leds"));
    for (const QString &name : leds.entryList({QStringLiteral("*") + suffix}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(leds.filePath(name) + QStringLiteral("/brightness"));
        if (f.open(QIODevice::ReadOnly) && f.readAll().trimmed() != "0")
            return true;
    }
    return false;
}

} // namespace

bool KeyState::capsLock()
{
    bool known = false;
    const int state = x11Indicators(&known);
    return known ? (state & 1) != 0 : ledOn(QStringLiteral("capslock"));
}

bool KeyState::numLock()
{
    bool known = false;
    const int state = x11Indicators(&known);
    return known ? (state & 2) != 0 : ledOn(QStringLiteral("numlock"));
}
