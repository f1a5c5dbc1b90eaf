#pragma once

#include <QtGlobal>

// Windows build their widgets in the constructor and read their data in
// load(); a test window that cannot load ends the test run at once.
template <class Window>
Window &loaded(Window &window)
{
    if (!window.load())
        qFatal("%s did not load", window.metaObject()->className());
    return window;
}
