#include "core/delivery/delivery.h"
#include "core/mainform/mainform.h"
#include "core/settings/settings.h"
#include "tests/support/openbox_session.h"
#include "tests/support/test_app.h"

#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>
#include <QtTest>

#include <memory>

// Delivery by keystrokes on a real X server: the target window is found by its
// title, activated and typed into; a missing window is reported and nothing is
// typed anywhere.

namespace {

// A shown window with one line edit, as a target application would be.
struct TargetWindow {
    QWidget window;
    QLineEdit *edit = new QLineEdit(&window);

    explicit TargetWindow(const QString &title)
    {
        window.setWindowTitle(title);
        (new QVBoxLayout(&window))->addWidget(edit);
        window.resize(300, 80);
        window.show();
        edit->setFocus();
    }

    // Without a window manager nothing gives a new window the focus by itself.
    bool activate()
    {
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

} // namespace

class tst_x11_delivery : public QObject {
    Q_OBJECT
private slots:
    void windowTargetIsTypedInto_data();
    void windowTargetIsTypedInto();
    void missingWindowTypesNothing();
    void freeTargetTypesIntoFocus();
    void loadingFindsTargetWindow();
};

void tst_x11_delivery::windowTargetIsTypedInto_data()
{
    QTest::addColumn<bool>("windowManager");
    QTest::newRow("no window manager") << false;
    QTest::newRow("openbox") << true;
}

// The target sits below another window that has the focus; the title only
// contains the target text.
void tst_x11_delivery::windowTargetIsTypedInto()
{
    QFETCH(bool, windowManager);
    OpenboxSession openbox;
    if (windowManager)
        QVERIFY(openbox.start());
    TestApp t;
    t.app.settings.anwendung = QStringLiteral("Wägeprotokoll");
    TargetWindow target(QStringLiteral("Wägeprotokoll – Editor"));
    QVERIFY(QTest::qWaitForWindowExposed(&target.window));
    TargetWindow other(QStringLiteral("Anderes Programm"));
    QVERIFY(other.activate());

    QCOMPARE(Wert_senden(t.app, QStringLiteral("12,50 µg{TAB}")), QString());
    QTRY_COMPARE(target.edit->text(), QStringLiteral("12,50 µg"));
    QCOMPARE(other.edit->text(), QString());
    QCOMPARE(t.app.strAnwendungTitel, QStringLiteral("Wägeprotokoll – Editor"));
    QCOMPARE(t.prompts.beeps, 1);
}

// No window holds the text: the message names the program file of the target,
// the measurement timer stops, the window goes offline and the value is not
// typed into whatever has the focus.
void tst_x11_delivery::missingWindowTypesNothing()
{
    TestApp t;
    readSettingsRecord(t.app, QString());
    t.app.settings.anwendung = QStringLiteral("Tabellenkalkulation");
    t.app.settings.AppList = {
        {QString(), QStringLiteral("Tabellenkalkulation"), QStringLiteral("calc.exe")}};
    mainform &mw = t.app.mainWindow();
    QVERIFY(mw.isOnline());
    TargetWindow focused(QStringLiteral("Anderes Programm"));
    QVERIFY(focused.activate());

    const QString failure = Wert_senden(t.app, QStringLiteral("12,50"));
    QVERIFY2(failure.contains(QStringLiteral("Tabellenkalkulation")), qPrintable(failure));
    QCOMPARE(t.prompts.messages(), QStringList{QStringLiteral("Anwendung calc.exe nicht aktiv")});
    QVERIFY(!mw.isOnline());
    QVERIFY(!t.app.bTimerAktiv);
    QTest::qWait(100);
    QCOMPARE(focused.edit->text(), QString());
}

void tst_x11_delivery::freeTargetTypesIntoFocus()
{
    TestApp t;
    t.app.settings.anwendung = QStringLiteral("*free*");
    TargetWindow focused(QStringLiteral("Irgendein Programm"));
    QVERIFY(focused.activate());

    QCOMPARE(Wert_senden(t.app, QStringLiteral("7,125")), QString());
    QTRY_COMPARE(focused.edit->text(), QStringLiteral("7,125"));
    QCOMPARE(t.app.strAnwendungTitel, QString());
}

// Loading a settings file looks for its target window at once.
void tst_x11_delivery::loadingFindsTargetWindow()
{
    TestApp t;
    TargetWindow target(QStringLiteral("Laborjournal – Waage 3"));
    QVERIFY(QTest::qWaitForWindowExposed(&target.window));
    const QString file = t.writeFile(QStringLiteral("waage.cfg"),
                                     "[Port settings]\r\nportnum=TCP/IP\r\ntcpport=1\r\n"
                                     "[Anwendung]\r\nAnwendung=Laborjournal\r\n");
    Einstellungen_laden(t.app, file);
    QCOMPARE(t.app.strAnwendungTitel, QStringLiteral("Laborjournal – Waage 3"));
}

QTEST_MAIN(tst_x11_delivery)
#include "tst_x11_delivery.moc"
