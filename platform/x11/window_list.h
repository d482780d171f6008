#pragma once

#include "platform/control_status.h"

#include <QList>
#include <QString>
#include <memory>

// Run-time error the window search reports, in the VB runtime's terms.
namespace windowerror {
// "Invalid procedure call or argument": AppActivate found no window to activate.
constexpr int kNoSuchWindow = 5;
} // namespace windowerror

// One top-level window as the window search and the application picker see it.
struct TopLevelWindow {
    quint64 id = 0;        // the X11 client window (never a window manager's frame)
    QString title;         // _NET_WM_NAME, else WM_NAME, as UTF-8 text; "" when untitled
    bool viewable = false; // shown on screen now: mapped, not minimised, on this desktop
    bool bordered = false; // a normal, dialog or tool window with decorations

    friend bool operator==(const TopLevelWindow &, const TopLevelWindow &) = default;
};

// The desktop's top-level windows: what GetWindow, GetWindowText and
// GetWindowLong give the program, and activation of a window by its title.
class WindowList {
public:
    virtual ~WindowList() = default;

    // The top-level windows in z-order, topmost first. Windows the user cannot
    // get to are left out: never-shown or withdrawn ones, and override-redirect
    // ones (menus, tool tips, helper windows). Minimised windows are kept, with
    // viewable false. Empty when the display cannot be reached; status then
    // says why.
    virtual QList<TopLevelWindow> topLevelWindows(ControlStatus *status = nullptr) = 0;

    // AppActivate: activates the topmost window whose title equals text, else
    // the topmost whose title begins with it (exact case). Waits, letting the
    // event loop run, until that window has the keyboard focus, at most
    // timeoutMs milliseconds. Error 5 when text is empty, no title matches, the
    // display cannot be reached or the focus did not arrive in time; the
    // status's detail says which.
    virtual ControlStatus activateWindowByTitle(const QString &text, int timeoutMs = 1000) = 0;
};

// The window list of an X11 display, over a connection of its own; with an
// EWMH window manager its stacking list and _NET_ACTIVE_WINDOW, without one
// the root window's children and XSetInputFocus.
class X11WindowList final : public WindowList {
public:
    // displayName "" is $DISPLAY. A display that cannot be opened is not an
    // error here: every call then reports it.
    explicit X11WindowList(const QString &displayName = {});
    ~X11WindowList() override;

    QList<TopLevelWindow> topLevelWindows(ControlStatus *status = nullptr) override;
    ControlStatus activateWindowByTitle(const QString &text, int timeoutMs = 1000) override;

    // The name of the running EWMH window manager ("Openbox"), "" when none.
    QString windowManagerName();

private:
    struct Connection;
    std::unique_ptr<Connection> m_x;
};
