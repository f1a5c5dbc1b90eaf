#include "processstart.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <poll.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstring>

namespace {

QString windowTitle(xcb_connection_t *x, xcb_window_t window)
{
    const char name[] = "_NET_WM_NAME";
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    if (!atom)
        return {};
    xcb_get_property_reply_t *property =
        xcb_get_property_reply(x, xcb_get_property(x, 0, window, atom->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr);
    free(atom);
    if (!property)
        return {};
    const QString title = QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(property)),
                                            xcb_get_property_value_length(property));
    free(property);
    return title;
}

// Waits for a window titled `title` to be mapped; false after `timeoutMs`.
bool waitForMapped(xcb_connection_t *x, const QString &title, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
    while (waited.elapsed() < timeoutMs) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(x)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const xcb_window_t window = mapped ? reinterpret_cast<xcb_map_notify_event_t *>(event)->window : 0;
            free(event);
            if (mapped && windowTitle(x, window).contains(title))
                return true;
        }
        poll(&fd, 1, 5);
    }
    return false;
}

} // namespace

QVector<double> ProcessStart::timeToLogin(const QString &program, const QString &database, int runs)
{
    if (!QFileInfo(program).isExecutable()) {
        std::fprintf(stderr, "start-up: no program at %s\n", qPrintable(program));
        return {};
    }
    // A display of our own, free on this machine.
    int display = 90;
    while (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)))
        ++display;
    const QString name = QStringLiteral(":%1").arg(display);
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"), {name, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                        QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x1024x24")});
    xcb_connection_t *x = nullptr;
    for (int i = 0; i < 100 && xvfb.state() != QProcess::NotRunning; ++i) {
        x = xcb_connect(name.toLatin1().constData(), nullptr);
        if (!xcb_connection_has_error(x))
            break;
        xcb_disconnect(x);
        x = nullptr;
        QThread::msleep(50);
    }
    if (!x) {
        std::fprintf(stderr, "start-up: Xvfb did not start on %s\n", qPrintable(name));
        xvfb.kill();
        xvfb.waitForFinished();
        return {};
    }
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    // Settings of its own, so the operator's are never touched.
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), name);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    environment.insert(QStringLiteral("HOME"), home.path());

    QVector<double> times;
    for (int run = 0; run < runs; ++run) {
        QProcess torvane;
        torvane.setProcessEnvironment(environment);
        torvane.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        torvane.start(program, {QStringLiteral("--database"), database});
        const bool shown = waitForMapped(x, QStringLiteral("登录"), 20000);
        const double ms = clock.nsecsElapsed() / 1e6;
        torvane.kill();
        torvane.waitForFinished();
        if (!shown) {
            std::fprintf(stderr, "start-up: no login window within 20 s\n");
            times.clear();
            break;
        }
        times << ms;
    }
    xcb_disconnect(x);
    xvfb.terminate();
    xvfb.waitForFinished();
    return times;
}
