#include "platform/x11/window_list.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

// Plain xcb rather than Xlib: requests for all windows go out together and
// their replies are read afterwards, one round trip instead of several per
// window, and a window that closes meanwhile gives an empty reply instead of
// Xlib's process-wide error handler.

namespace {

constexpr int kFocusPollMs = 5;
constexpr uint32_t kMaxPropertyWords = 1 << 16;
const QString kInvalidCall = QStringLiteral("Invalid procedure call or argument");

ControlStatus noSuchWindow(const QString &detail)
{
    return ControlStatus::failure(windowerror::kNoSuchWindow, kInvalidCall, detail);
}

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

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
    xcb_atom_t type = XCB_NONE;
    int format = 0;
    QByteArray bytes;
};

// The items of a 32-bit list property (windows, atoms, cardinals).
QList<uint32_t> itemsOf(const std::optional<Property> &p)
{
    if (!p || p->format != 32 || p->bytes.size() < 4)
        return {};
    QList<uint32_t> items(p->bytes.size() / 4);
    std::memcpy(items.data(), p->bytes.constData(), items.size() * 4);
    return items;
}

// The requests that describe one window, sent before any reply is read.
struct Description {
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_property_cookie_t netWmName, wmName, type, motif;
};

} // namespace

struct X11WindowList::Connection {
    QString displayName;
    xcb_connection_t *c = nullptr;
    xcb_window_t root = 0;
    std::array<xcb_atom_t, kAtomCount> atoms{};

    explicit Connection(const QString &name)
        : displayName(name)
    {}
    ~Connection() { close(); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    xcb_atom_t atom(AtomName name) const { return atoms[name]; }

    void close()
    {
        if (c)
            xcb_disconnect(c);
        c = nullptr;
    }

    // Opens the display on first use, and again after the server went away,
    // so a server started later is still found.
    bool open(ControlStatus *status)
    {
        if (c && xcb_connection_has_error(c))
            close();
        if (!c)
            connect();
        if (!c && status) {
            const QString shown =
                displayName.isEmpty() ? qEnvironmentVariable("DISPLAY") : displayName;
            *status = noSuchWindow(QStringLiteral("cannot open the X display \"%1\"").arg(shown));
        }
        return c != nullptr;
    }

    void connect()
    {
        const QByteArray name = displayName.toLocal8Bit();
        int screen = 0;
        xcb_connection_t *connection =
            xcb_connect(name.isEmpty() ? nullptr : name.constData(), &screen);
        if (xcb_connection_has_error(connection)) {
            xcb_disconnect(connection);
            return;
        }
        c = connection;
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (; it.rem > 0 && screen > 0; --screen)
            xcb_screen_next(&it);
        root = it.data->root;
        std::array<xcb_intern_atom_cookie_t, kAtomCount> cookies{};
        for (int i = 0; i < kAtomCount; ++i)
            cookies[i] = xcb_intern_atom(c, 0, uint16_t(std::strlen(kAtomNames[i])), kAtomNames[i]);
        for (int i = 0; i < kAtomCount; ++i) {
            const Reply<xcb_intern_atom_reply_t> reply(
                xcb_intern_atom_reply(c, cookies[i], nullptr));
            atoms[i] = reply ? reply->atom : XCB_NONE;
        }
    }

    // Errors of requests without a reply, and events every client gets (such
    // as MappingNotify whenever keys are remapped), collect on the connection;
    // nobody reads them.
    void dropEvents() const
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(c))
            std::free(event);
    }

    xcb_get_property_cookie_t ask(xcb_window_t w, xcb_atom_t name, xcb_atom_t type) const
    {
        return xcb_get_property(c, 0, w, name, type, 0, kMaxPropertyWords);
    }

    // The property asked for; nullopt when the window has none of that type (or is gone).
    std::optional<Property> take(xcb_get_property_cookie_t cookie,
                                 xcb_atom_t type = XCB_GET_PROPERTY_TYPE_ANY) const
    {
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
        if (!reply || reply->type == XCB_NONE ||
            (type != XCB_GET_PROPERTY_TYPE_ANY && reply->type != type))
            return std::nullopt;
        const char *value = static_cast<const char *>(xcb_get_property_value(reply.get()));
        return Property{reply->type, reply->format,
                        QByteArray(value, xcb_get_property_value_length(reply.get()))};
    }

    QList<uint32_t> readList(xcb_window_t w, xcb_atom_t name, xcb_atom_t type) const
    {
        return itemsOf(take(ask(w, name, type), type));
    }

    QList<xcb_window_t> takeChildren(xcb_query_tree_cookie_t cookie) const
    {
        const Reply<xcb_query_tree_reply_t> reply(xcb_query_tree_reply(c, cookie, nullptr));
        if (!reply)
            return {};
        const xcb_window_t *children = xcb_query_tree_children(reply.get());
        return QList<xcb_window_t>(children,
                                   children + xcb_query_tree_children_length(reply.get()));
    }

    xcb_window_t parentOf(xcb_window_t w) const
    {
        const Reply<xcb_query_tree_reply_t> reply(
            xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
        return reply ? reply->parent : 0;
    }

    // The EWMH window manager's check window, 0 without one. A window manager
    // that died leaves the root property behind, naming a window that is gone
    // or no longer points to itself.
    xcb_window_t wmCheckWindow() const
    {
        const QList<uint32_t> check = readList(root, atom(kNetSupportingWmCheck), XCB_ATOM_WINDOW);
        if (check.size() != 1)
            return 0;
        return readList(check[0], atom(kNetSupportingWmCheck), XCB_ATOM_WINDOW) == check ? check[0]
                                                                                         : 0;
    }

    bool wmSupports(AtomName name) const
    {
        return wmCheckWindow() != 0 &&
               readList(root, atom(kNetSupported), XCB_ATOM_ATOM).contains(atom(name));
    }

    // _NET_WM_NAME, else WM_NAME. WM_NAME in COMPOUND_TEXT (old Motif
    // programs) is read as Latin-1, which keeps its ASCII right.
    QString title(xcb_get_property_cookie_t netWmName, xcb_get_property_cookie_t wmName) const
    {
        const std::optional<Property> net = take(netWmName, atom(kUtf8String));
        const std::optional<Property> plain = take(wmName);
        if (net && net->format == 8 && !net->bytes.isEmpty())
            return QString::fromUtf8(net->bytes);
        if (!plain || plain->format != 8)
            return {};
        return plain->type == atom(kUtf8String) ? QString::fromUtf8(plain->bytes)
                                                : QString::fromLatin1(plain->bytes);
    }

    QString title(xcb_window_t w) const
    {
        return title(ask(w, atom(kNetWmName), atom(kUtf8String)),
                     ask(w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY));
    }

    // Whether a window manager would draw a frame around the window: a normal,
    // dialog, utility or toolbar window (the first type it names that we know)
    // that does not turn its decorations off through the Motif hints.
    bool bordered(const QList<uint32_t> &types, const QList<uint32_t> &motif) const
    {
        for (const uint32_t type : types) {
            const auto *known = std::find(atoms.begin() + kTypeNormal, atoms.end(), type);
            if (known == atoms.end())
                continue;
            if (known - atoms.begin() > kTypeToolbar)
                return false;
            break;
        }
        constexpr uint32_t kDecorationsFlag = 1 << 1;
        return !(motif.size() >= 3 && (motif[0] & kDecorationsFlag) && motif[2] == 0);
    }

    Description askDescription(xcb_window_t w) const
    {
        return {xcb_get_window_attributes(c, w), ask(w, atom(kNetWmName), atom(kUtf8String)),
                ask(w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY),
                ask(w, atom(kNetWmWindowType), XCB_ATOM_ATOM),
                ask(w, atom(kMotifWmHints), atom(kMotifWmHints))};
    }

    std::optional<TopLevelWindow> takeDescription(xcb_window_t w, const Description &d) const
    {
        const Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, d.attributes, nullptr));
        TopLevelWindow window{w, title(d.netWmName, d.wmName), false,
                              bordered(itemsOf(take(d.type, XCB_ATOM_ATOM)),
                                       itemsOf(take(d.motif, atom(kMotifWmHints))))};
        if (!attributes)
            return std::nullopt;
        window.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        return window;
    }

    QList<TopLevelWindow> describe(const QList<xcb_window_t> &windows) const
    {
        std::vector<Description> asked;
        for (const xcb_window_t w : windows)
            asked.push_back(askDescription(w));
        QList<TopLevelWindow> described;
        for (qsizetype i = 0; i < windows.size(); ++i)
            if (const std::optional<TopLevelWindow> w = takeDescription(windows[i], asked[i]))
                described += *w;
        return described;
    }

    // For each top-level window the client window: the window itself when it
    // has WM_STATE or nothing below it has (no window manager), else the
    // nearest window below it that has, as a reparenting manager's frame holds it.
    QList<xcb_window_t> clientsOf(const QList<xcb_window_t> &tops,
                                  const QList<bool> &topHasWmState) const
    {
        QList<xcb_window_t> clients = tops;
        QList<std::pair<qsizetype, QList<xcb_window_t>>> searches; // index in tops, current level
        for (qsizetype i = 0; i < tops.size(); ++i)
            if (!topHasWmState[i])
                searches.append({i, {tops[i]}});
        while (!searches.isEmpty()) {
            std::vector<std::vector<xcb_query_tree_cookie_t>> trees;
            for (const auto &search : searches) {
                trees.emplace_back();
                for (const xcb_window_t w : search.second)
                    trees.back().push_back(xcb_query_tree(c, w));
            }
            for (qsizetype s = 0; s < searches.size(); ++s) {
                QList<xcb_window_t> next;
                for (const xcb_query_tree_cookie_t cookie : trees[s])
                    next += takeChildren(cookie);
                searches[s].second = next;
            }
            std::vector<std::vector<xcb_get_property_cookie_t>> states;
            for (const auto &search : searches) {
                states.emplace_back();
                for (const xcb_window_t w : search.second)
                    states.back().push_back(ask(w, atom(kWmState), XCB_GET_PROPERTY_TYPE_ANY));
            }
            QList<std::pair<qsizetype, QList<xcb_window_t>>> unfinished;
            for (qsizetype s = 0; s < searches.size(); ++s) {
                const auto &[index, level] = searches[s];
                std::optional<xcb_window_t> found;
                for (qsizetype k = 0; k < level.size(); ++k)
                    if (take(states[s][k]) && !found)
                        found = level[k];
                if (found)
                    clients[index] = *found;
                else if (!level.isEmpty())
                    unfinished.append(searches[s]);
            }
            searches = unfinished;
        }
        return clients;
    }

    // Root children bottom first, as clients: what the user can see without an
    // EWMH window manager.
    QList<xcb_window_t> stackingFromTree() const
    {
        const QList<xcb_window_t> children = takeChildren(xcb_query_tree(c, root));
        std::vector<std::pair<xcb_get_window_attributes_cookie_t, xcb_get_property_cookie_t>> asked;
        for (const xcb_window_t w : children)
            asked.emplace_back(xcb_get_window_attributes(c, w),
                               ask(w, atom(kWmState), XCB_GET_PROPERTY_TYPE_ANY));
        QList<xcb_window_t> tops;
        QList<bool> hasWmState;
        for (qsizetype i = 0; i < children.size(); ++i) {
            const Reply<xcb_get_window_attributes_reply_t> a(
                xcb_get_window_attributes_reply(c, asked[i].first, nullptr));
            const bool state = take(asked[i].second).has_value();
            if (a && !a->override_redirect && a->map_state != XCB_MAP_STATE_UNMAPPED &&
                a->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT) {
                tops += children[i];
                hasWmState += state;
            }
        }
        return clientsOf(tops, hasWmState);
    }

    QList<TopLevelWindow> topLevelWindows() const
    {
        // An EWMH manager's list also holds minimised windows and those on other desktops.
        const std::optional<Property> managed =
            wmCheckWindow() != 0
                ? take(ask(root, atom(kNetClientListStacking), XCB_ATOM_WINDOW), XCB_ATOM_WINDOW)
                : std::nullopt;
        QList<xcb_window_t> stacking = managed ? itemsOf(managed) : stackingFromTree();
        std::reverse(stacking.begin(), stacking.end());
        return describe(stacking);
    }

    // The root's child that holds w (w itself without a reparenting window manager).
    xcb_window_t topOf(xcb_window_t w) const
    {
        for (xcb_window_t parent = parentOf(w); parent && parent != root; parent = parentOf(w))
            w = parent;
        return w;
    }

    void requestActivation(xcb_window_t w) const
    {
        if (wmSupports(kNetActiveWindow)) {
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = w;
            event.type = atom(kNetActiveWindow);
            event.data.data32[0] = 2; // source: a pager, which the manager obeys at once
            event.data.data32[1] = XCB_CURRENT_TIME;
            xcb_send_event(c, 0, root,
                           XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT |
                               XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                           reinterpret_cast<const char *>(&event));
        } else {
            const uint32_t above = XCB_STACK_MODE_ABOVE;
            xcb_configure_window(c, topOf(w), XCB_CONFIG_WINDOW_STACK_MODE, &above);
            xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, w, XCB_CURRENT_TIME);
        }
        xcb_flush(c);
    }

    // Whether the keyboard focus is on w or inside it (some programs focus a child window).
    bool hasFocus(xcb_window_t w) const
    {
        const Reply<xcb_get_input_focus_reply_t> reply(
            xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        constexpr xcb_window_t kPointerRoot = 1;
        for (xcb_window_t focus = reply ? reply->focus : 0; focus > kPointerRoot && focus != root;
             focus = parentOf(focus))
            if (focus == w)
                return true;
        return false;
    }

    // Lets the event loop run until w has the focus or the time is up.
    bool waitForFocus(xcb_window_t w, int timeoutMs) const
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
    const QList<TopLevelWindow> windows = m_x->topLevelWindows();
    m_x->dropEvents();
    return windows;
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
    m_x->requestActivation(xcb_window_t(target->id));
    const bool focused = m_x->waitForFocus(xcb_window_t(target->id), timeoutMs);
    m_x->dropEvents();
    if (!focused)
        return noSuchWindow(QStringLiteral("the window \"%1\" did not take the focus within %2 ms")
                                .arg(target->title)
                                .arg(timeoutMs));
    return {};
}

QString X11WindowList::windowManagerName()
{
    if (!m_x->open(nullptr))
        return {};
    const xcb_window_t check = m_x->wmCheckWindow();
    const QString name = check ? m_x->title(check) : QString();
    m_x->dropEvents();
    return name;
}
