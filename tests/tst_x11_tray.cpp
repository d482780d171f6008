#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/tray/systray.h"
#include "tests/support/test_app.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QtTest>

namespace {

// The icon's own window, which the tray host embeds (XEmbed, as no
// StatusNotifier host runs on the test's bus).
QWidget *trayIconWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qstrcmp(w->metaObject()->className(), "QSystemTrayIconSys") == 0 && w->isVisible())
            return w;
    return nullptr;
}

} // namespace

class tst_x11_tray : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void hideAndActivate_data();
    void hideAndActivate();
    void messageBoxWhileHiddenKeepsRunning();
    void withoutHostHideMinimises();

private:
    void stopTrayHost();
    QProcess m_trayer;
};

void tst_x11_tray::initTestCase()
{
    m_trayer.start(QStringLiteral("trayer"), {"--edge", "top", "--align", "right", "--widthtype",
                                              "request", "--height", "24"});
    QVERIFY2(m_trayer.waitForStarted(), qPrintable(m_trayer.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(clsSysTray::isAvailable(), 10000);
}

void tst_x11_tray::cleanupTestCase()
{
    stopTrayHost();
}

void tst_x11_tray::stopTrayHost()
{
    if (m_trayer.state() == QProcess::NotRunning)
        return;
    m_trayer.terminate();
    m_trayer.waitForFinished(5000);
}

void tst_x11_tray::hideAndActivate_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("doubleClick");
    QTest::newRow("left click") << int(Qt::LeftButton) << false;
    QTest::newRow("right click") << int(Qt::RightButton) << false;
    QTest::newRow("double click") << int(Qt::LeftButton) << true;
}

// Hide puts the icon into the tray host and hides the window; any activation of
// the icon brings the window back, not minimised, and removes the icon.
void tst_x11_tray::hideAndActivate()
{
    QFETCH(int, button);
    QFETCH(bool, doubleClick);

    TestApp t;
    mainform &mw = t.app.mainWindow();
    mw.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mw));

    mw.hideToTray();

    QVERIFY(!mw.isVisible());
    QVERIFY(t.app.SysTray && t.app.SysTray->isShown());
    QCOMPARE(t.app.SysTray->TooltipText(), QStringLiteral("Mondrelquist 4.2"));
    QVERIFY(!t.app.SysTray->icon().isNull());
    QWidget *icon = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((icon = trayIconWindow()) != nullptr, 10000);
    QTRY_VERIFY(QTest::qWaitForWindowExposed(icon));

    if (doubleClick)
        QTest::mouseDClick(icon, Qt::MouseButton(button));
    else
        QTest::mouseClick(icon, Qt::MouseButton(button));

    QTRY_VERIFY(mw.isVisible());
    QVERIFY(!mw.isMinimized());
    QVERIFY(!t.app.SysTray->isShown());
    QTRY_VERIFY(trayIconWindow() == nullptr);
}

// With the window in the tray, closing a message box leaves no visible window:
// that must not end the program (only Form_Unload does).
void tst_x11_tray::messageBoxWhileHiddenKeepsRunning()
{
    TestApp t;
    mainform &mw = t.app.mainWindow();
    mw.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mw));
    mw.hideToTray();
    QVERIFY(!mw.isVisible());

    QTimer::singleShot(0, qApp, [] {
        auto *box = new QMessageBox(QMessageBox::NoIcon, "t", "x", QMessageBox::Ok);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
        QTimer::singleShot(100, box, &QMessageBox::accept);
    });
    // Quitting would end the loop early with code 0.
    QTimer::singleShot(1000, qApp, [] { QCoreApplication::exit(42); });
    QCOMPARE(QCoreApplication::exec(), 42);
    QVERIFY(t.app.SysTray->isShown());
}

void tst_x11_tray::withoutHostHideMinimises()
{
    stopTrayHost();
    QTRY_VERIFY_WITH_TIMEOUT(!clsSysTray::isAvailable(), 10000);

    TestApp t;
    mainform &mw = t.app.mainWindow();
    mw.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mw));

    mw.hideToTray();

    QVERIFY(mw.isVisible());
    QVERIFY(mw.windowState() & Qt::WindowMinimized);
    QVERIFY(!t.app.SysTray || !t.app.SysTray->isShown());
}

QTEST_MAIN(tst_x11_tray)
#include "tst_x11_tray.moc"
