#include "tests/support/openbox_session.h"

#include "platform/x11/window_list.h"

#include <QTest>

#include <memory>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// Openbox announces itself (_NET_SUPPORTING_WM_CHECK) before its event loop
// runs, and a window shown in that gap was seen never to be mapped. Openbox
// answers _NET_REQUEST_FRAME_EXTENTS only from its event loop: once the answer
// is there, windows shown afterwards are managed.
bool answersRequests(Display *display, ::Window probe)
{
    const Atom request = XInternAtom(display, "_NET_REQUEST_FRAME_EXTENTS", False);
    const Atom extents = XInternAtom(display, "_NET_FRAME_EXTENTS", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    XGetWindowProperty(display, probe, extents, 0, 4, False, XA_CARDINAL, &type, &format, &count,
                       &after, &data);
    if (data)
        XFree(data);
    if (type == XA_CARDINAL)
        return true;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = probe;
    event.xclient.message_type = request;
    event.xclient.format = 32;
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
    return false;
}

} // namespace

bool OpenboxSession::start()
{
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!m_process.waitForStarted(5000))
        return false;
    const std::unique_ptr<Display, int (*)(Display *)> display(XOpenDisplay(nullptr),
                                                               &XCloseDisplay);
    if (!display)
        return false;
    const ::Window probe =
        XCreateSimpleWindow(display.get(), DefaultRootWindow(display.get()), 0, 0, 1, 1, 0, 0, 0);
    X11WindowList windows;
    const bool ready = QTest::qWaitFor(
        [&] {
            return !windows.windowManagerName().isEmpty() && answersRequests(display.get(), probe);
        },
        10000);
    XDestroyWindow(display.get(), probe);
    return ready;
}

void OpenboxSession::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!QTest::qWaitFor([&] { return m_process.state() == QProcess::NotRunning; }, 5000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}
