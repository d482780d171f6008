#include "platform/x11/window_list.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <array>
#include <optional>

namespace {

constexpr int kFocusPollMs = 5;
const QString kInvalidCall = QStringLiteral("Invalid procedure call or argument");

ControlStatus noSuchWindow(const QString &detail)
{
    return ControlStatus::failure(windowerror::kNoSuchWindow, kInvalidCall, detail);
}

// Xlib's default handler ends the program on any protocol error, and a window
// can close between listing it and reading it. While a trap is set errors are
// dropped; every call's own result says whether it worked.
class ErrorTrap {
public:
    explicit ErrorTrap(Display *display)
        : m_display(display)
        , m_previous(XSetErrorHandler(&ignore))
    {}
    ~ErrorTrap()
    {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
    }
    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;

private:
    static int ignore(Display *, XErrorEvent *) { return 0; }
    Display *m_display;
    XErrorHandler m_previous;
};

struct XFreeDeleter {
    void operator()(void *p) const
    {
        if (p)
            XFree(p);
    }
};

enum AtomName {
    kNetSupportingWmCheck,
    kNetSupported,
    kNetClientListStacking,
    kNetActiveWindow,
    kNetWmName,
    kUtf8String,
    kWmState,
    kNetWmWindowType,
    kMotifWmHints,
    // Window types, the decorated ones first.
    kTypeNormal,
    kTypeDialog,
    kTypeUtility,
    kTypeToolbar,
    kTypeDesktop,
    kTypeDock,
    kTypeSplash,
    kTypeMenu,
    kTypeDropdownMenu,
    kTypePopupMenu,
    kTypeTooltip,
    kTypeNotification,
    kTypeCombo,
    kTypeDnd,
    kAtomCount
};

constexpr std::array<const char *, kAtomCount> kAtomNames = {
    "_NET_SUPPORTING_WM_CHECK",
    "_NET_SUPPORTED",
    "_NET_CLIENT_LIST_STACKING",
    "_NET_ACTIVE_WINDOW",
    "_NET_WM_NAME",
    "UTF8_STRING",
    "WM_STATE",
    "_NET_WM_WINDOW_TYPE",
    "_MOTIF_WM_HINTS",
    "_NET_WM_WINDOW_TYPE_NORMAL",
    "_NET_WM_WINDOW_TYPE_DIALOG",
    "_NET_WM_WINDOW_TYPE_UTILITY",
    "_NET_WM_WINDOW_TYPE_TOOLBAR",
    "_NET_WM_WINDOW_TYPE_DESKTOP",
    "_NET_WM_WINDOW_TYPE_DOCK",
    "_NET_WM_WINDOW_TYPE_SPLASH",
    "_NET_WM_WINDOW_TYPE_MENU",
    "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU",
    "_NET_WM_WINDOW_TYPE_POPUP_MENU",
    "_NET_WM_WINDOW_TYPE_TOOLTIP",
    "_NET_WM_WINDOW_TYPE_NOTIFICATION",
    "_NET_WM_WINDOW_TYPE_COMBO",
    "_NET_WM_WINDOW_TYPE_DND",
};

struct Property {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    std::unique_ptr<unsigned char, XFreeDeleter> data;
};

// A property of a window; nullopt when the window has none of that type (or is gone).
std::optional<Property> readProperty(Display *d, Window w, Atom name, Atom type)
{
    Property p;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    const int rc = XGetWindowProperty(d, w, name, 0, 1 << 16, False, type, &p.type, &p.format,
                                      &p.count, &after, &data);
    p.data.reset(data);
    if (rc != Success || p.type == 0 || (type != AnyPropertyType && p.type != type))
        return std::nullopt;
    return p;
}

// The items of a 32-bit list property (windows, atoms, cardinals); Xlib hands
// those out as longs.
QList<unsigned long> itemsOf(const std::optional<Property> &p)
{
    if (!p || p->format != 32)
        return {};
    const auto *items = reinterpret_cast<const unsigned long *>(p->data.get());
    return QList<unsigned long>(items, items + p->count);
}

QList<unsigned long> readList(Display *d, Window w, Atom name, Atom type)
{
    return itemsOf(readProperty(d, w, name, type));
}

Window parentOf(Display *d, Window w)
{
    Window root = 0, parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &count))
        return 0;
    XFree(children);
    return parent;
}

QList<Window> childrenOf(Display *d, Window w)
{
    Window root = 0, parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &count))
        return {};
    QList<Window> list(children, children + count);
    XFree(children);
    return list;
}

} // namespace

struct X11WindowList::Connection {
    QString displayName;
    Display *display = nullptr;
    std::array<Atom, kAtomCount> atoms{};

    explicit Connection(const QString &name)
        : displayName(name)
    {}
    ~Connection()
    {
        if (display)
            XCloseDisplay(display);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    Atom atom(AtomName name) const { return atoms[name]; }
    Window root() const { return DefaultRootWindow(display); }

    // Opens the display on first use, so a server started later is still found.
    bool open(ControlStatus *status)
    {
        if (!display) {
            const QByteArray name = displayName.toLocal8Bit();
            display = XOpenDisplay(name.isEmpty() ? nullptr : name.constData());
            if (display)
                XInternAtoms(display, const_cast<char **>(kAtomNames.data()), kAtomCount, False,
                             atoms.data());
        }
        if (!display && status) {
            const QString shown =
                displayName.isEmpty() ? qEnvironmentVariable("DISPLAY") : displayName;
            *status = noSuchWindow(QStringLiteral("cannot open the X display \"%1\"").arg(shown));
        }
        return display != nullptr;
    }

    // The EWMH window manager's check window, 0 without one. A window manager
    // that died leaves the root property behind, naming a window that is gone
    // or no longer points to itself.
    Window wmCheckWindow() const
    {
        const QList<unsigned long> check =
            readList(display, root(), atom(kNetSupportingWmCheck), XA_WINDOW);
        if (check.size() != 1)
            return 0;
        const QList<unsigned long> self =
            readList(display, check[0], atom(kNetSupportingWmCheck), XA_WINDOW);
        return self == check ? check[0] : 0;
    }

    bool wmSupports(AtomName name) const
    {
        return wmCheckWindow() != 0 &&
               readList(display, root(), atom(kNetSupported), XA_ATOM).contains(atom(name));
    }

    QString title(Window w) const
    {
        if (const auto net = readProperty(display, w, atom(kNetWmName), atom(kUtf8String));
            net && net->format == 8 && net->count > 0)
            return QString::fromUtf8(reinterpret_cast<const char *>(net->data.get()),
                                     qsizetype(net->count));
        XTextProperty text{};
        if (!XGetWMName(display, w, &text) || !text.value)
            return {};
        const std::unique_ptr<unsigned char, XFreeDeleter> owner(text.value);
        const QByteArray raw(reinterpret_cast<const char *>(text.value), qsizetype(text.nitems));
        if (text.encoding == XA_STRING)
            return QString::fromLatin1(raw);
        if (text.encoding == atom(kUtf8String))
            return QString::fromUtf8(raw);
        // COMPOUND_TEXT and the like: let Xlib convert, Latin-1 when it cannot.
        char **list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(display, &text, &list, &count) < Success || !list)
            return QString::fromLatin1(raw);
        QString result;
        for (int i = 0; i < count; ++i)
            result += QString::fromUtf8(list[i]);
        XFreeStringList(list);
        return result;
    }

    // Whether a window manager would draw a frame around the window: a normal,
    // dialog, utility or toolbar window (the first type it names that we know)
    // that does not turn its decorations off through the Motif hints.
    bool bordered(Window w) const
    {
        for (const unsigned long type : readList(display, w, atom(kNetWmWindowType), XA_ATOM)) {
            const auto *known = std::find(atoms.begin() + kTypeNormal, atoms.end(), type);
            if (known == atoms.end())
                continue;
            if (known - atoms.begin() > kTypeToolbar)
                return false;
            break;
        }
        constexpr unsigned long kDecorationsFlag = 1 << 1;
        const QList<unsigned long> motif =
            readList(display, w, atom(kMotifWmHints), atom(kMotifWmHints));
        return !(motif.size() >= 3 && (motif[0] & kDecorationsFlag) && motif[2] == 0);
    }

    std::optional<TopLevelWindow> describe(Window w) const
    {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, w, &attributes))
            return std::nullopt;
        return TopLevelWindow{w, title(w), attributes.map_state == IsViewable, bordered(w)};
    }

    // The client window of a top-level window: the window itself when it has
    // WM_STATE or when nothing below it has (no window manager), else the first
    // window below it that has, as a reparenting window manager's frame holds it.
    Window clientOf(Window top) const
    {
        QList<Window> level{top};
        while (!level.isEmpty()) {
            QList<Window> next;
            for (const Window w : level) {
                if (readProperty(display, w, atom(kWmState), AnyPropertyType))
                    return w;
                next += childrenOf(display, w);
            }
            level = next;
        }
        return top;
    }

    // Root children bottom first, as clients: what the user can see without an
    // EWMH window manager.
    QList<Window> stackingFromTree() const
    {
        QList<Window> clients;
        for (const Window child : childrenOf(display, root())) {
            XWindowAttributes a{};
            if (XGetWindowAttributes(display, child, &a) && !a.override_redirect &&
                a.map_state != IsUnmapped && a.c_class == InputOutput)
                clients += clientOf(child);
        }
        return clients;
    }

    QList<TopLevelWindow> topLevelWindows() const
    {
        const ErrorTrap trap(display);
        // An EWMH manager's list also holds minimised windows and those on other desktops.
        const std::optional<Property> managed =
            wmCheckWindow() != 0
                ? readProperty(display, root(), atom(kNetClientListStacking), XA_WINDOW)
                : std::nullopt;
        const QList<Window> stacking = managed ? itemsOf(managed) : stackingFromTree();
        QList<TopLevelWindow> windows;
        for (auto it = stacking.crbegin(); it != stacking.crend(); ++it)
            if (const std::optional<TopLevelWindow> w = describe(*it))
                windows += *w;
        return windows;
    }

    // The root's child that holds w (w itself without a reparenting window manager).
    Window topOf(Window w) const
    {
        for (Window parent = parentOf(display, w); parent && parent != root();
             parent = parentOf(display, w))
            w = parent;
        return w;
    }

    void requestActivation(Window w) const
    {
        const ErrorTrap trap(display);
        if (wmSupports(kNetActiveWindow)) {
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = w;
            event.xclient.message_type = atom(kNetActiveWindow);
            event.xclient.format = 32;
            event.xclient.data.l[0] = 2; // source: a pager, which the manager obeys at once
            event.xclient.data.l[1] = CurrentTime;
            XSendEvent(display, root(), False, SubstructureRedirectMask | SubstructureNotifyMask,
                       &event);
        } else {
            XRaiseWindow(display, topOf(w));
            XSetInputFocus(display, w, RevertToParent, CurrentTime);
        }
    }

    // Whether the keyboard focus is on w or inside it (some programs focus a child window).
    bool hasFocus(Window w) const
    {
        const ErrorTrap trap(display);
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        while (focus > PointerRoot && focus != root()) {
            if (focus == w)
                return true;
            focus = parentOf(display, focus);
        }
        return false;
    }

    // Lets the event loop run until w has the focus or the time is up.
    bool waitForFocus(Window w, int timeoutMs) const
    {
        if (hasFocus(w))
            return true;
        const QDeadlineTimer deadline(timeoutMs);
        bool focused = false;
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            focused = hasFocus(w);
            if (focused || deadline.hasExpired())
                loop.quit();
        });
        poll.start(kFocusPollMs);
        loop.exec();
        return focused;
    }
};

X11WindowList::X11WindowList(const QString &displayName)
    : m_x(std::make_unique<Connection>(displayName))
{}

X11WindowList::~X11WindowList() = default;

QList<TopLevelWindow> X11WindowList::topLevelWindows(ControlStatus *status)
{
    if (!m_x->open(status))
        return {};
    if (status)
        *status = {};
    return m_x->topLevelWindows();
}

ControlStatus X11WindowList::activateWindowByTitle(const QString &text, int timeoutMs)
{
    if (text.isEmpty())
        return noSuchWindow(QStringLiteral("no window title given"));
    ControlStatus status;
    const QList<TopLevelWindow> windows = topLevelWindows(&status);
    if (!status)
        return status;
    auto target = std::find_if(windows.begin(), windows.end(),
                               [&](const TopLevelWindow &w) { return w.title == text; });
    if (target == windows.end())
        target = std::find_if(windows.begin(), windows.end(),
                              [&](const TopLevelWindow &w) { return w.title.startsWith(text); });
    if (target == windows.end())
        return noSuchWindow(
            QStringLiteral("no window whose title is or begins with \"%1\"").arg(text));
    m_x->requestActivation(target->id);
    if (!m_x->waitForFocus(target->id, timeoutMs))
        return noSuchWindow(QStringLiteral("the window \"%1\" did not take the focus within %2 ms")
                                .arg(target->title)
                                .arg(timeoutMs));
    return {};
}

QString X11WindowList::windowManagerName()
{
    if (!m_x->open(nullptr))
        return {};
    const ErrorTrap trap(m_x->display);
    const Window check = m_x->wmCheckWindow();
    return check ? m_x->title(check) : QString();
}
