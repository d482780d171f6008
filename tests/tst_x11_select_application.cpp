#include "dialogs/select_application.h"
#include "tests/support/openbox_session.h"
#include "tests/support/test_app.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <QtTest>

#include <memory>
#include <vector>

#include <X11/Xlib.h>

namespace {

using WindowPtr = std::unique_ptr<QWidget>;

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

// A shown window without any title, which Qt never makes (it puts the program
// name on an untitled window).
class UntitledWindow {
public:
    UntitledWindow()
        : m_display(XOpenDisplay(nullptr))
    {
        if (!m_display)
            return;
        m_window =
            XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 200, 100, 0, 0, 0);
        XMapWindow(m_display, m_window);
        XFlush(m_display);
    }
    ~UntitledWindow()
    {
        if (!m_display)
            return;
        XDestroyWindow(m_display, m_window);
        XCloseDisplay(m_display);
    }
    UntitledWindow(const UntitledWindow &) = delete;
    UntitledWindow &operator=(const UntitledWindow &) = delete;

private:
    Display *m_display;
    ::Window m_window = 0;
};

QStringList listed(select_application &page)
{
    const auto *list = page.findChild<QListWidget *>(QStringLiteral("lstApplications"));
    QStringList titles;
    for (int i = 0; i < list->count(); ++i)
        titles << list->item(i)->text();
    return titles;
}

} // namespace

// The application picker on a real X server, bare and under openbox.
class PickerTests : public QObject {
    Q_OBJECT
public:
    explicit PickerTests(bool withOpenbox)
        : m_withOpenbox(withOpenbox)
    {}

private:
    bool m_withOpenbox;
    OpenboxSession m_openbox;

    // The picker's list once it shows what the test expects (windows appear
    // on the server a little after show()).
    static bool listsSoon(TestApp &t, const QStringList &expected)
    {
        return QTest::qWaitFor([&] {
            const QStringList titles = listed(t.app.form<select_application>());
            t.app.unload<select_application>();
            return titles == expected;
        });
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        if (m_withOpenbox)
            QVERIFY2(m_openbox.start(), "openbox did not start");
    }
    void cleanupTestCase() { m_openbox.stop(); }

    // Shown, bordered, titled windows topmost first; equal titles all kept.
    void listsWhatTheUserCanPick()
    {
        std::vector<WindowPtr> windows;
        for (const char *title : {"Protokoll - Editor", "Rechner", "Protokoll - Editor"})
            windows.push_back(showWindow(title));
        windows.push_back(showWindow("Versteckt"));
        windows.back()->hide();
        windows.push_back(showWindow("Rahmenlos", Qt::FramelessWindowHint));
        windows.push_back(showWindow("Start", Qt::SplashScreen));
        QWidget neverShown;
        neverShown.setWindowTitle("Nie gezeigt");
        neverShown.winId();
        const UntitledWindow untitled;
        TestApp t;

        QVERIFY(listsSoon(t, {"Protokoll - Editor", "Rechner", "Protokoll - Editor"}));

        windows[1]->raise();
        QVERIFY(listsSoon(t, {"Rechner", "Protokoll - Editor", "Protokoll - Editor"}));
    }

    // Loading lists before the page shows; "Liste aktualisieren" afterwards
    // finds the shown page itself, and the windows started meanwhile.
    void refreshFindsWindowsStartedMeanwhile()
    {
        const WindowPtr first = showWindow("Waage");
        TestApp t;
        QVERIFY(listsSoon(t, {"Waage"}));
        select_application &page = t.app.form<select_application>();
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const WindowPtr started = showWindow("Tabelle");

        auto *refresh = page.findChild<QPushButton *>("cmdRefresh");
        QVERIFY(QTest::qWaitFor([&] {
            refresh->click();
            return listed(page).size() == 3;
        }));
        QStringList titles = listed(page);
        titles.sort();
        QCOMPARE(titles, QStringList({"Tabelle", "Waage", "Zielanwendung auswählen"}));

        page.findChild<QListWidget *>()->item(listed(page).indexOf("Tabelle"))->setSelected(true);
        page.findChild<QPushButton *>("cmdGoOn")->click();
        QCOMPARE(t.app.settings.anwendung, QString("Tabelle"));
    }
};

class WithoutWindowManager : public PickerTests {
    Q_OBJECT
public:
    WithoutWindowManager()
        : PickerTests(false)
    {}
};

class UnderOpenbox : public PickerTests {
    Q_OBJECT
public:
    UnderOpenbox()
        : PickerTests(true)
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

#include "tst_x11_select_application.moc"
