#include "core/delivery/find_application.h"
#include "platform/x11/window_list.h"
#include "tests/support/openbox_session.h"
#include "tests/support/test_app.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <memory>
#include <vector>

#include <X11/Xlib.h>

Q_DECLARE_METATYPE(Qt::WindowFlags)

namespace {

using WindowPtr = std::unique_ptr<QWidget>;

// A shown top-level Qt window with a title.
WindowPtr showWindow(const QString &title, Qt::WindowFlags flags = {})
{
    auto w = std::make_unique<QWidget>(nullptr, flags);
    w->setWindowTitle(title);
    w->resize(240, 120);
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get()))
        qWarning("window %s was not exposed", qPrintable(title));
    return w;
}

// Windows shown one after the other, so the last is topmost.
std::vector<WindowPtr> showWindows(const QStringList &bottomFirst)
{
    std::vector<WindowPtr> windows;
    for (const QString &title : bottomFirst)
        windows.push_back(showWindow(title));
    return windows;
}

QStringList titles(const QList<TopLevelWindow> &windows)
{
    QStringList list;
    for (const TopLevelWindow &w : windows)
        list += w.title;
    return list;
}

// The X input focus as the server reports it to a client of its own.
quint64 xFocus()
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return 0;
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    XCloseDisplay(display);
    return focus;
}

// A shown window made with Xlib, for what Qt never makes: a window without
// any title (Qt puts the program name on it), or a client inside a frame the
// way a window manager without EWMH reparents it (the frame untitled, the
// client marked with WM_STATE).
class XlibWindow {
public:
    explicit XlibWindow(const char *title = nullptr, bool framed = false)
        : m_display(XOpenDisplay(nullptr))
    {
        if (!m_display)
            return;
        const ::Window root = DefaultRootWindow(m_display);
        m_top = XCreateSimpleWindow(m_display, root, 0, 0, 200, 100, 0, 0, 0);
        m_client = framed ? XCreateSimpleWindow(m_display, m_top, 4, 20, 190, 76, 0, 0, 0) : m_top;
        if (title)
            XStoreName(m_display, m_client, title);
        if (framed) {
            const Atom wmState = XInternAtom(m_display, "WM_STATE", False);
            const long normalState[2] = {1, 0};
            XChangeProperty(m_display, m_client, wmState, wmState, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char *>(normalState), 2);
        }
        XMapSubwindows(m_display, m_top);
        XMapWindow(m_display, m_top);
        XFlush(m_display);
    }
    ~XlibWindow()
    {
        if (!m_display)
            return;
        XDestroyWindow(m_display, m_top);
        XCloseDisplay(m_display);
    }
    XlibWindow(const XlibWindow &) = delete;
    XlibWindow &operator=(const XlibWindow &) = delete;

    quint64 client() const { return m_client; }

private:
    Display *m_display;
    ::Window m_top = 0;
    ::Window m_client = 0;
};

} // namespace

// Every case runs twice: on the bare X server and under openbox.
class WindowTests : public QObject {
    Q_OBJECT
public:
    explicit WindowTests(bool withOpenbox)
        : m_withOpenbox(withOpenbox)
    {}

private:
    bool m_withOpenbox;
    OpenboxSession m_openbox;
    X11WindowList m_windows;

    QStringList listedTitles() { return titles(m_windows.topLevelWindows()); }

    // Gives the focus to a window through Qt, away from any window a case expects.
    static bool focusElsewhere(QWidget &decoy)
    {
        decoy.activateWindow();
        return QTest::qWaitFor([&] { return decoy.isActiveWindow() && xFocus() == decoy.winId(); });
    }

private slots:
    void initTestCase()
    {
        if (m_withOpenbox)
            QVERIFY2(m_openbox.start(), "openbox did not start");
        QCOMPARE(m_windows.windowManagerName(),
                 m_withOpenbox ? QStringLiteral("Openbox") : QString());
    }

    void cleanupTestCase() { m_openbox.stop(); }

    void cleanup()
    {
        // Windows of the last case must be gone before the next lists the desktop.
        QTRY_COMPARE(listedTitles(), QStringList());
    }

    void listsWindowsTopmostFirst()
    {
        const auto windows = showWindows({"Waage A", "Waage B", "Waage C"});
        QTRY_COMPARE(listedTitles(), QStringList({"Waage C", "Waage B", "Waage A"}));

        windows[1]->raise();
        QTRY_COMPARE(listedTitles(), QStringList({"Waage B", "Waage C", "Waage A"}));
        QCOMPARE(m_windows.topLevelWindows().first().id, windows[1]->winId());
    }

    // Qt's own helper windows (selection owner, client leader) are titled but
    // never shown, like a never-shown widget; a tool tip is override-redirect.
    void leavesOutWindowsNobodyCanGetTo()
    {
        const WindowPtr shown = showWindow(QStringLiteral("Sichtbar"));
        const WindowPtr hidden = showWindow(QStringLiteral("Versteckt"));
        hidden->hide();
        QWidget neverShown;
        neverShown.setWindowTitle(QStringLiteral("Nie gezeigt"));
        neverShown.winId();
        const WindowPtr tip = showWindow(QStringLiteral("Tipp"), Qt::ToolTip);

        QTRY_COMPARE(listedTitles(), QStringList{QStringLiteral("Sichtbar")});
        QCOMPARE(m_windows.topLevelWindows().first().id, shown->winId());
    }

    void resolvesFrameToItsClient()
    {
        if (m_withOpenbox)
            QSKIP("openbox frames windows itself and lists the clients");
        const XlibWindow framed("Waage im Rahmen", true);
        const TopLevelWindow expected{framed.client(), "Waage im Rahmen", true, true};
        QTRY_COMPARE(m_windows.topLevelWindows(), QList<TopLevelWindow>{expected});
    }

    void describesEachWindow_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<Qt::WindowFlags>("flags");
        QTest::addColumn<bool>("bordered");
        QTest::newRow("normal") << QString("Waage") << Qt::WindowFlags() << true;
        QTest::newRow("UTF-8 title")
            << QString("Wägung – 25 µg € 測定") << Qt::WindowFlags() << true;
        QTest::newRow("dialog") << QString("Einstellungen") << Qt::WindowFlags(Qt::Dialog) << true;
        QTest::newRow("tool window") << QString("Werkzeug") << Qt::WindowFlags(Qt::Tool) << true;
        QTest::newRow("frameless")
            << QString("Rahmenlos") << Qt::WindowFlags(Qt::FramelessWindowHint) << false;
        QTest::newRow("splash screen")
            << QString("Start") << Qt::WindowFlags(Qt::SplashScreen) << false;
    }

    void describesEachWindow()
    {
        QFETCH(QString, title);
        QFETCH(Qt::WindowFlags, flags);
        QFETCH(bool, bordered);
        const WindowPtr w = showWindow(title, flags);
        const TopLevelWindow expected{w->winId(), title, true, bordered};
        QTRY_COMPARE(m_windows.topLevelWindows(), QList<TopLevelWindow>{expected});
    }

    void keepsMinimisedWindowAsNotViewable()
    {
        if (!m_withOpenbox)
            QSKIP("only a window manager minimises");
        const auto windows = showWindows({"Waage", "Protokoll"});
        windows[1]->showMinimized();
        QTRY_VERIFY(m_windows.topLevelWindows().size() == 2 &&
                    !m_windows.topLevelWindows().at(0).viewable);
        const QList<TopLevelWindow> listed = m_windows.topLevelWindows();
        QCOMPARE(listed.at(0).title, QStringLiteral("Protokoll"));
        QVERIFY(listed.at(1).viewable);
    }

    void fnFindeAnwendung_data()
    {
        QTest::addColumn<QString>("anwendung");
        QTest::addColumn<QString>("found");
        QTest::newRow("topmost of two containing it")
            << QString("Editor") << QString("Messwerte.txt - Editor");
        QTest::newRow("inside a title") << QString("koll") << QString("Protokoll - Editor");
        QTest::newRow("case counts") << QString("editor") << QString("");
        QTest::newRow("empty: first titled window") << QString("") << QString("Rechner");
        QTest::newRow("no window") << QString("Tabelle") << QString("");
    }

    void fnFindeAnwendung()
    {
        QFETCH(QString, anwendung);
        QFETCH(QString, found);
        const auto windows =
            showWindows({"Protokoll - Editor", "Messwerte.txt - Editor", "Rechner"});
        const XlibWindow untitled;
        QTRY_COMPARE(listedTitles(),
                     QStringList({"", "Rechner", "Messwerte.txt - Editor", "Protokoll - Editor"}));
        TestApp t;
        t.app.settings.anwendung = anwendung;
        t.app.strAnwendungTitel = QStringLiteral("vom letzten Mal");

        QCOMPARE(::fnFindeAnwendung(t.app), found);
        QCOMPARE(t.app.strAnwendungTitel, found);
    }

    void activateWindowByTitle_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("activated"); // "" for error 5
        QTest::newRow("equal title before a higher one beginning with it")
            << QString("Waage") << QString("Waage");
        QTest::newRow("topmost beginning with it") << QString("Waage ") << QString("Waage 2");
        QTest::newRow("beginning, not containing") << QString("Proto") << QString("Protokoll");
        QTest::newRow("contained only") << QString("aage") << QString("");
        QTest::newRow("case counts") << QString("waage") << QString("");
        QTest::newRow("empty text") << QString("") << QString("");
    }

    void activateWindowByTitle()
    {
        QFETCH(QString, text);
        QFETCH(QString, activated);
        const QStringList bottomFirst{"Waage", "Waage - Protokoll", "Protokoll", "Waage 2",
                                      "Unbeteiligt"};
        const auto windows = showWindows(bottomFirst);
        QWidget &decoy = *windows.back();
        QVERIFY(focusElsewhere(decoy));

        const ControlStatus status = m_windows.activateWindowByTitle(text);

        if (activated.isEmpty()) {
            QCOMPARE(status.error, windowerror::kNoSuchWindow);
            QVERIFY(!status.errorText.isEmpty());
            QVERIFY(!status.detail.isEmpty());
            QCOMPARE(xFocus(), decoy.winId());
            return;
        }
        QVERIFY2(status.ok(), qPrintable(status.detail));
        QWidget &target = *windows.at(bottomFirst.indexOf(activated));
        // The focus is there when the call returns, not some time later.
        QCOMPARE(xFocus(), target.winId());
        QTRY_VERIFY(target.isActiveWindow());
        QTRY_COMPARE(listedTitles().first(), activated);
    }

    void failedFocusEndsWithError5AfterTheWait()
    {
        if (!m_withOpenbox)
            QSKIP("without a window manager the focus is set directly");
        const auto windows = showWindows({"Anzeige"});
        const WindowPtr refuses =
            showWindow(QStringLiteral("Nur Anzeige"), Qt::WindowDoesNotAcceptFocus);
        QVERIFY(focusElsewhere(*windows[0]));
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] { ++ticks; });
        tick.start(20);
        QElapsedTimer elapsed;
        elapsed.start();

        const ControlStatus status = m_windows.activateWindowByTitle("Nur Anzeige", 300);

        QCOMPARE(status.error, windowerror::kNoSuchWindow);
        QVERIFY2(status.detail.contains("focus"), qPrintable(status.detail));
        QVERIFY(elapsed.elapsed() >= 300);
        QVERIFY(elapsed.elapsed() < 1000);
        QVERIFY2(ticks >= 5, "the event loop did not run while waiting");
    }

    void unreachableDisplayGivesError5()
    {
        X11WindowList nowhere(QStringLiteral(":65000"));
        ControlStatus status;
        QCOMPARE(nowhere.topLevelWindows(&status), QList<TopLevelWindow>());
        QCOMPARE(status.error, windowerror::kNoSuchWindow);
        QVERIFY2(status.detail.contains(":65000"), qPrintable(status.detail));
        QCOMPARE(nowhere.activateWindowByTitle(QStringLiteral("Waage")).error,
                 windowerror::kNoSuchWindow);
        QCOMPARE(nowhere.windowManagerName(), QString());
    }
};

class WithoutWindowManager : public WindowTests {
    Q_OBJECT
public:
    WithoutWindowManager()
        : WindowTests(false)
    {}
};

class UnderOpenbox : public WindowTests {
    Q_OBJECT
public:
    UnderOpenbox()
        : WindowTests(true)
    {}
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    WithoutWindowManager bare;
    UnderOpenbox managed;
    const int failedBare = QTest::qExec(&bare, argc, argv);
    return failedBare + QTest::qExec(&managed, argc, argv);
}

#include "tst_x11_windows.moc"
