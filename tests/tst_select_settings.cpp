#include "core/app.h"
#include "core/mainform/control_tag.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/settings/settings.h"
#include "dialogs/select_settings.h"
#include "platform/ports/serial_port.h"
#include "platform/vb/vb_timer.h"
#include "tests/support/dialog_checks.h"
#include "tests/support/pty_pair.h"
#include "tests/support/test_app.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

const QString kPage = QStringLiteral("select_settings");
const QString kSerialBoxes[] = {QStringLiteral("cboBaud"), QStringLiteral("cboDataBits"),
                                QStringLiteral("cboParity"), QStringLiteral("cboStopBits"),
                                QStringLiteral("cboHandshake")};
const QString kSerialLabels[] = {QStringLiteral("lblBaud"), QStringLiteral("lblDatabits"),
                                 QStringLiteral("lblParity"), QStringLiteral("lblStopBits"),
                                 QStringLiteral("lblHandshake")};
const QString kTcpControls[] = {QStringLiteral("lblIP"), QStringLiteral("txtIP"),
                                QStringLiteral("lblPort"), QStringLiteral("txtPort")};

// Section [ports] of mondrelquist.ini maps COM n to the given device; every
// other number to a missing one, so the machine's own ports do not count.
void mapPorts(const TestApp &t, const std::map<int, QString> &devices)
{
    QByteArray ini = "[ports]\r\n";
    for (int n = 1; n <= 32; ++n) {
        const auto it = devices.find(n);
        const QString device =
            it != devices.end() ? it->second : QStringLiteral("/nonexistent/tty");
        ini += "COM" + QByteArray::number(n) + "=" + device.toUtf8() + "\r\n";
    }
    t.writeFile(QStringLiteral("mondrelquist.ini"), ini);
}

void setPortSettings(SettingsRecord &s, const QString &portnum)
{
    s.portnum = portnum;
    s.baud = QStringLiteral("9600");
    s.databit = QStringLiteral("7");
    s.parity = QStringLiteral("O");
    s.stopbit = QStringLiteral("1");
    s.handshake = QStringLiteral("none");
    s.tcpip = QStringLiteral("192.168.1.20");
    s.tcpport = QStringLiteral("4001");
}

template <typename W> W *control(QWidget &page, const QString &name)
{
    return page.findChild<W *>(name);
}

QComboBox *box(QWidget &page, const QString &name)
{
    return control<QComboBox>(page, name);
}

QStringList entries(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

bool serialShown(QWidget &page)
{
    return control<QWidget>(page, QStringLiteral("cboBaud"))->isVisibleTo(&page);
}

// Each of the serial and TCP/IP controls is shown exactly when its layout is.
bool layoutIs(QWidget &page, bool serial)
{
    for (int i = 0; i < 5; ++i)
        if (control<QWidget>(page, kSerialBoxes[i])->isVisibleTo(&page) != serial ||
            control<QWidget>(page, kSerialLabels[i])->isVisibleTo(&page) != serial)
            return false;
    for (const QString &name : kTcpControls)
        if (control<QWidget>(page, name)->isVisibleTo(&page) == serial)
            return false;
    return true;
}

bool portListFilled(QWidget &page)
{
    return box(page, QStringLiteral("cboCOM"))->count() > 0;
}

// Picks an entry as the user does: opens the list and clicks the entry.
void choose(QComboBox *combo, const QString &entry)
{
    const int index = combo->findText(entry);
    QVERIFY2(index >= 0, qPrintable(entry));
    combo->showPopup();
    QAbstractItemView *view = combo->view();
    QTRY_VERIFY(view->isVisible());
    const QRect rect = view->visualRect(view->model()->index(index, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QTRY_VERIFY(!view->isVisible());
    QCOMPARE(combo->currentText(), entry);
}

void typeInto(QComboBox *combo, const QString &text)
{
    combo->lineEdit()->selectAll();
    QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(combo->lineEdit(), text);
}

void click(QWidget &page, const QString &button)
{
    QTest::mouseClick(control<QPushButton>(page, button), Qt::LeftButton);
}

// Acts once on the expected modal window, when its port list is filled; closes
// any other modal window, or the expected one still open after acting, and
// notes its name.
class ModalDriver {
public:
    ModalDriver(const QString &expected, std::function<void(QWidget &)> act)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, expected, act] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || (m_acting && modal->objectName() == expected))
                return;
            if (modal->objectName() != expected || shown > 0) {
                others << modal->objectName();
                modal->close();
                return;
            }
            if (modal->objectName() == kPage && !portListFilled(*modal))
                return;
            ++shown;
            tag = tagOf(modal);
            m_acting = true;
            // Not from the timer's own call: a timer does not fire again inside
            // it, and the page's Ok may open the next modal page.
            QMetaObject::invokeMethod(
                modal,
                [this, act, modal] {
                    act(*modal);
                    m_acting = false;
                },
                Qt::QueuedConnection);
        });
        m_timer.start(10);
    }

    int shown = 0;
    QString tag;
    QStringList others;

private:
    QTimer m_timer;
    // Acting lets the timer run meanwhile (choosing an entry, the next page).
    bool m_acting = false;
};

// The loaded page shown without a modal loop, once its port list is filled;
// nullptr when it was not filled in time.
select_settings *openPage(App &app)
{
    auto &page = app.form<select_settings>();
    page.show();
    return QTest::qWaitFor([&page] { return portListFilled(page); }, 5000) ? &page : nullptr;
}

} // namespace

class tst_select_settings : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void cleanup() { QTest::qWait(0); }

    void controls();
    void opening_data();
    void opening();
    void portListAfterDelay_data();
    void portListAfterDelay();
    void choosingEntries();
    void ok_data();
    void ok();
    void menuStoresAndCloses();
    void cancelAfterChoosingKeepsComPort();
    void wizard_data();
    void wizard();
    void loadingWithUnavailablePort_data();
    void loadingWithUnavailablePort();
    void textsNotCutOff_data();
    void textsNotCutOff();
};

void tst_select_settings::controls()
{
    TestApp t;
    mapPorts(t, {});
    setPortSettings(t.app.settings, QStringLiteral("3"));
    select_settings *opened = openPage(t.app);
    QVERIFY(opened);
    select_settings &page = *opened;

    QCOMPARE(page.windowTitle(), QStringLiteral("Schnittstellenparameter"));
    const std::pair<const char *, const char *> captions[] = {
        {"lblComport", "Port"},   {"lblBaud", "Baud"},         {"lblDatabits", "Datenbits"},
        {"lblParity", "Parität"}, {"lblStopBits", "Stopbits"}, {"lblHandshake", "Handshake"},
        {"lblIP", "IP-Adresse"},  {"lblPort", "Port"}};
    for (const auto &[name, caption] : captions) {
        auto *label = control<QLabel>(page, QString::fromLatin1(name));
        QVERIFY2(label, name);
        QCOMPARE(label->text(), QString::fromUtf8(caption));
    }
    for (const auto &[name, caption] :
         {std::pair{"cmdGoOn", "Ok"}, std::pair{"cmdCancel", "Abbrechen"}}) {
        auto *button = control<QPushButton>(page, QString::fromLatin1(name));
        QVERIFY2(button, name);
        QCOMPARE(button->text(), QString::fromLatin1(caption));
        QVERIFY(!button->autoDefault());
        QVERIFY(!button->isDefault());
    }
    QVERIFY(control<VbTimer>(page, QStringLiteral("Timer1")));

    QStringList names;
    for (QWidget *field : page.findChildren<QWidget *>()) {
        if (!qobject_cast<QComboBox *>(field) && !qobject_cast<QLineEdit *>(field))
            continue;
        if (qobject_cast<QComboBox *>(field->parentWidget()))
            continue; // the combo boxes' own line edits
        QVERIFY2(!field->accessibleName().isEmpty(), qPrintable(field->objectName()));
        names << field->accessibleName();
        if (auto *combo = qobject_cast<QComboBox *>(field)) {
            QVERIFY(combo->isEditable());
            QVERIFY(!combo->completer());
        }
    }
    QCOMPARE(names.size(), 8);
    names.removeDuplicates();
    QCOMPARE(names.size(), 8);
}

void tst_select_settings::opening_data()
{
    QTest::addColumn<QString>("portnum");
    QTest::addColumn<bool>("serial");

    QTest::newRow("COM port") << "3" << true;
    QTest::newRow("TCP/IP") << "TCP/IP" << false;
    QTest::newRow("text that is no port") << "abc" << true;
}

// Loading shows the stored values as they stand; only the serial layout fills
// the fixed lists.
void tst_select_settings::opening()
{
    QFETCH(QString, portnum);
    QFETCH(bool, serial);

    TestApp t;
    mapPorts(t, {});
    setPortSettings(t.app.settings, portnum);
    select_settings &page = t.app.form<select_settings>();

    QVERIFY(layoutIs(page, serial));
    const QStringList lists[] = {{"300", "600", "1200", "2400", "4800", "9600", "19200", "38400"},
                                 {"5", "6", "7", "8"},
                                 {"even", "odd", "none"},
                                 {"1", "2"},
                                 {"Xon/Xoff", "Hardware", "none"}};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(entries(box(page, kSerialBoxes[i])), serial ? lists[i] : QStringList());
    const QString shown[] = {"9600", "7", "O", "1", "none"};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(box(page, kSerialBoxes[i])->currentText(), shown[i]);
    QCOMPARE(control<QLineEdit>(page, QStringLiteral("txtIP"))->text(), "192.168.1.20");
    QCOMPARE(control<QLineEdit>(page, QStringLiteral("txtPort"))->text(), "4001");
    QCOMPARE(t.app.settings.portnum, portnum);
}

void tst_select_settings::portListAfterDelay_data()
{
    QTest::addColumn<QList<int>>("ptys"); // COM numbers mapped to pty pairs
    QTest::addColumn<QString>("portnum");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("shown");

    QTest::newRow("no COM ports") << QList<int>{} << "2" << QStringList{"TCP/IP"} << "COM2";
    QTest::newRow("COM3 and COM12")
        << QList<int>{12, 3} << " 12" << QStringList{"COM3", "COM12", "TCP/IP"} << "COM12";
    QTest::newRow("COM32, TCP/IP stored")
        << QList<int>{32} << "TCP/IP" << QStringList{"COM32", "TCP/IP"} << "TCP/IP";
    QTest::newRow("typed text stored")
        << QList<int>{1} << "abc" << QStringList{"COM1", "TCP/IP"} << "abc";
}

// The port list holds the COM ports that exist, then TCP/IP; it is built once,
// 100 ms after loading, and Ok before then finds no port.
void tst_select_settings::portListAfterDelay()
{
    QFETCH(QList<int>, ptys);
    QFETCH(QString, portnum);
    QFETCH(QStringList, list);
    QFETCH(QString, shown);

    TestApp t;
    std::vector<std::unique_ptr<PtyPair>> pairs;
    std::map<int, QString> devices;
    for (int n : ptys) {
        const QString folder = t.path(QStringLiteral("pty%1").arg(n));
        QVERIFY(QDir().mkpath(folder));
        pairs.push_back(std::make_unique<PtyPair>(folder));
        QVERIFY(pairs.back()->start());
        devices[n] = pairs.back()->a;
    }
    mapPorts(t, devices);
    setPortSettings(t.app.settings, portnum);

    QElapsedTimer clock;
    clock.start();
    select_settings &page = t.app.form<select_settings>();
    page.show();
    QComboBox *cboCOM = box(page, QStringLiteral("cboCOM"));
    QTest::qWait(50);
    QCOMPARE(cboCOM->count(), 0);
    QCOMPARE(cboCOM->currentText(), QString());
    click(page, QStringLiteral("cmdGoOn"));
    QCOMPARE(t.prompts.messages(), QStringList{"Bitte Schnittstelle auswählen"});
    QVERIFY(page.isVisible());

    QTRY_VERIFY(cboCOM->count() > 0);
    QVERIFY(clock.elapsed() >= select_settings::kPortListDelayMs - 5);
    QCOMPARE(entries(cboCOM), list);
    QCOMPARE(cboCOM->currentText(), shown);
    QCOMPARE(t.app.settings.portnum, portnum);
    // Built once: the list does not follow later changes.
    mapPorts(t, {});
    QTest::qWait(250);
    QCOMPARE(entries(cboCOM), list);
}

// Choosing a COM entry stores its number at once and shows the serial values;
// TCP/IP shows the address and stores nothing.
void tst_select_settings::choosingEntries()
{
    TestApp t;
    PtyPair pty(t.folder.path());
    QVERIFY(pty.start());
    mapPorts(t, {{3, pty.a}});
    setPortSettings(t.app.settings, QStringLiteral("TCP/IP"));
    select_settings *opened = openPage(t.app);
    QVERIFY(opened);
    select_settings &page = *opened;
    QComboBox *cboCOM = box(page, QStringLiteral("cboCOM"));
    QVERIFY(layoutIs(page, false));
    QCOMPARE(box(page, QStringLiteral("cboBaud"))->count(), 0);

    for (int round = 0; round < 3; ++round) {
        choose(cboCOM, QStringLiteral("COM3"));
        QCOMPARE(t.app.settings.portnum, QStringLiteral("3"));
        QVERIFY(layoutIs(page, true));
        QCOMPARE(box(page, QStringLiteral("cboBaud"))->count(), 8);
        QCOMPARE(box(page, QStringLiteral("cboHandshake"))->count(), 3);
        QCOMPARE(box(page, QStringLiteral("cboParity"))->currentText(), QStringLiteral("O"));

        t.app.settings.tcpip = QStringLiteral("10.0.0.%1").arg(round);
        choose(cboCOM, QStringLiteral("TCP/IP"));
        QCOMPARE(t.app.settings.portnum, QStringLiteral("3"));
        QVERIFY(layoutIs(page, false));
        QCOMPARE(control<QLineEdit>(page, QStringLiteral("txtIP"))->text(), t.app.settings.tcpip);
        QCOMPARE(control<QLineEdit>(page, QStringLiteral("txtPort"))->text(), "4001");
    }
    QVERIFY(!serialShown(page));
}

void tst_select_settings::ok_data()
{
    QTest::addColumn<QString>("port");   // "=entry" chosen from the list, else typed
    QTest::addColumn<QString>("parity"); // "=entry" chosen, "" untouched, else typed
    QTest::addColumn<QString>("portnum");
    QTest::addColumn<QString>("storedParity");
    QTest::addColumn<bool>("refused");

    QTest::newRow("entry COM5") << "=COM5"
                                << ""
                                << "5"
                                << "O" << false;
    QTest::newRow("entry TCP/IP, odd") << "=TCP/IP"
                                       << "=odd"
                                       << "TCP/IP"
                                       << "o" << false;
    QTest::newRow("typed COM, blank, 5, none") << "COM 5"
                                               << "=none"
                                               << " 5"
                                               << "n" << false;
    QTest::newRow("typed COM12, typed E") << "COM12"
                                          << "E"
                                          << "12"
                                          << "E" << false;
    QTest::newRow("typed abc") << "abc"
                               << "=even"
                               << "2"
                               << "e" << true;
    QTest::newRow("emptied") << ""
                             << ""
                             << "2"
                             << "O" << true;
}

// Ok stores every box as it stands, without checks, then the port; a text that
// names no port is refused with a message and the page stays open.
void tst_select_settings::ok()
{
    QFETCH(QString, port);
    QFETCH(QString, parity);
    QFETCH(QString, portnum);
    QFETCH(QString, storedParity);
    QFETCH(bool, refused);

    TestApp t;
    PtyPair pty(t.folder.path());
    QVERIFY(pty.start());
    mapPorts(t, {{5, pty.a}});
    setPortSettings(t.app.settings, QStringLiteral("2"));
    select_settings *opened = openPage(t.app);
    QVERIFY(opened);
    select_settings &page = *opened;
    setTag(&page, QStringLiteral("mainform"));
    QComboBox *cboCOM = box(page, QStringLiteral("cboCOM"));
    QComboBox *cboParity = box(page, QStringLiteral("cboParity"));

    // A COM entry loads the serial values again: the edits come after it.
    if (port.startsWith(QLatin1String("=COM")))
        choose(cboCOM, port.mid(1));
    if (parity.startsWith(QLatin1Char('=')))
        choose(cboParity, parity.mid(1));
    else if (!parity.isEmpty())
        typeInto(cboParity, parity);
    typeInto(box(page, QStringLiteral("cboBaud")), QStringLiteral("115200"));
    typeInto(box(page, QStringLiteral("cboStopBits")), QStringLiteral("x"));
    if (port == QLatin1String("=TCP/IP"))
        choose(cboCOM, port.mid(1));
    else if (!port.startsWith(QLatin1Char('=')))
        typeInto(cboCOM, port);
    control<QLineEdit>(page, QStringLiteral("txtIP"))->setText(QStringLiteral("not checked"));

    click(page, QStringLiteral("cmdGoOn"));

    const SettingsRecord &s = t.app.settings;
    QCOMPARE(s.portnum, portnum);
    QCOMPARE(s.parity, storedParity);
    QCOMPARE(s.baud, QStringLiteral("115200"));
    QCOMPARE(s.stopbit, QStringLiteral("x"));
    QCOMPARE(s.databit, QStringLiteral("7"));
    QCOMPARE(s.handshake, QStringLiteral("none"));
    QCOMPARE(s.tcpip, QStringLiteral("not checked"));
    QCOMPARE(s.tcpport, QStringLiteral("4001"));
    QCOMPARE(t.prompts.messages(),
             refused ? QStringList{"Bitte Schnittstelle auswählen"} : QStringList{});
    QCOMPARE(page.isVisible(), refused);
    QCOMPARE(t.app.isLoaded<select_settings>(), refused);
}

// The port menu stops polling, shows the page tagged "mainform", and its Ok
// only stores and closes.
void tst_select_settings::menuStoresAndCloses()
{
    TestApp t;
    PtyPair pty(t.folder.path());
    QVERIFY(pty.start());
    mapPorts(t, {{7, pty.a}});
    setPortSettings(t.app.settings, QStringLiteral("TCP/IP"));
    mainform &mw = t.app.mainWindow();
    mw.Timer1().setInterval(10);

    ModalDriver driver(kPage, [](QWidget &page) {
        choose(box(page, QStringLiteral("cboCOM")), QStringLiteral("COM7"));
        typeInto(box(page, QStringLiteral("cboBaud")), QStringLiteral("4800"));
        click(page, QStringLiteral("cmdGoOn"));
    });
    mw.menuItem(QStringLiteral("port"))->trigger();

    QCOMPARE(driver.shown, 1);
    QCOMPARE(driver.tag, QStringLiteral("mainform"));
    QCOMPARE(driver.others, QStringList());
    QCOMPARE(t.app.settings.portnum, QStringLiteral("7"));
    QCOMPARE(t.app.settings.baud, QStringLiteral("4800"));
    QVERIFY(!t.app.isLoaded<select_settings>());
    QVERIFY(!mw.Timer1().isRunning());
    QVERIFY(!mw.commport().portOpen());
}

// A COM entry chosen and then cancelled stays chosen: the next connection
// opening takes it as that COM port, not as TCP/IP.
void tst_select_settings::cancelAfterChoosingKeepsComPort()
{
    TestApp t;
    PtyPair pty(t.folder.path());
    QVERIFY(pty.start());
    mapPorts(t, {{3, pty.a}});
    setPortSettings(t.app.settings, QStringLiteral("TCP/IP"));
    t.app.settings.tcpip = QStringLiteral("127.0.0.1");
    t.app.settings.tcpport = QStringLiteral("1");
    mainform &mw = t.app.mainWindow();

    ModalDriver driver(kPage, [](QWidget &page) {
        choose(box(page, QStringLiteral("cboCOM")), QStringLiteral("COM3"));
        click(page, QStringLiteral("cmdCancel"));
    });
    mw.menuItem(QStringLiteral("port"))->trigger();

    QCOMPARE(driver.shown, 1);
    QCOMPARE(t.app.settings.portnum, QStringLiteral("3"));
    QVERIFY(!t.app.isLoaded<select_settings>());
    QVERIFY(mw.reopenLink().ok());
    QVERIFY(mw.commport().portOpen());
    QCOMPARE(mw.commport().commPort(), 3);
    mw.commport().setPortOpen(false);
}

void tst_select_settings::wizard_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("nextPages");

    QTest::newRow("Ok goes on to the target page") << "cmdGoOn" << QStringList{"select_target"};
    QTest::newRow("Abbrechen ends the wizard") << "cmdCancel" << QStringList{};
}

// The wizard's first page carries no tag: its Ok stores and opens the target page;
// Abbrechen ends the wizard, keeping the port chosen.
void tst_select_settings::wizard()
{
    QFETCH(QString, button);
    QFETCH(QStringList, nextPages);

    TestApp t;
    PtyPair pty(t.folder.path());
    QVERIFY(pty.start());
    mapPorts(t, {{6, pty.a}});
    setPortSettings(t.app.settings, QStringLiteral("2"));
    mainform &mw = t.app.mainWindow();

    ModalDriver driver(kPage, [button](QWidget &page) {
        choose(box(page, QStringLiteral("cboCOM")), QStringLiteral("COM6"));
        click(page, button);
    });
    mw.menuItem(QStringLiteral("inst_assi"))->trigger();

    QCOMPARE(driver.shown, 1);
    QCOMPARE(driver.tag, QString());
    QCOMPARE(driver.others, nextPages);
    QVERIFY(t.app.bAssistentAktiv);
    QCOMPARE(t.app.settings.portnum, QStringLiteral("6"));
    QVERIFY(!t.app.isLoaded<select_settings>());
}

void tst_select_settings::loadingWithUnavailablePort_data()
{
    QTest::addColumn<bool>("deviceThere");
    QTest::addColumn<bool>("pageShown");

    // A device this user may not open (not in group dialout): error 68.
    QTest::newRow("device refused") << true << true;
    // No port at all: loading leaves it closed and says nothing.
    QTest::newRow("device missing") << false << false;
}

// A COM port that the settings loading cannot open as "device unavailable"
// shows the port page tagged as the menu's, so that its Ok does not start the
// wizard; loading goes on after it.
void tst_select_settings::loadingWithUnavailablePort()
{
    QFETCH(bool, deviceThere);
    QFETCH(bool, pageShown);

    if (deviceThere && ::geteuid() == 0) {
        // Root opens any device: run this case as an ordinary user.
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("setpriv is needed to drop root");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QStringLiteral("setpriv"),
                    {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                     QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                     QStringLiteral("loadingWithUnavailablePort:device refused")});
        QVERIFY(child.waitForFinished(60000));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 output.constData());
        QVERIFY2(output.contains("PASS   : tst_select_settings::loadingWithUnavailablePort(device "
                                 "refused)"),
                 output.constData());
        return;
    }

    TestApp t;
    PtyPair pty(t.folder.path());
    QVERIFY(pty.start());
    if (deviceThere)
        QVERIFY(QFile::setPermissions(pty.a, QFile::Permissions()));
    mapPorts(t, {{4, deviceThere ? pty.a : t.path(QStringLiteral("gone"))}});
    const QString file = t.writeFile(QStringLiteral("waage.cfg"),
                                     "[Port settings]\r\nportnum=4\r\nbaud=2400\r\n"
                                     "[Anwendung]\r\nAnwendung=Notepad\r\nFormat=<W>\r\n");
    mainform &mw = t.app.mainWindow();
    const QString statusBefore = mw.Status()->panelText(1);

    QStringList seen; // target panel, port and baud while the page is shown
    ModalDriver driver(kPage, [&](QWidget &page) {
        seen << mw.Status1()->panelText(2) << box(page, QStringLiteral("cboCOM"))->currentText()
             << box(page, QStringLiteral("cboBaud"))->currentText();
        click(page, QStringLiteral("cmdGoOn"));
    });
    Einstellungen_laden(t.app, file);

    QCOMPARE(driver.shown, pageShown ? 1 : 0);
    QCOMPARE(driver.others, QStringList());
    QVERIFY(!mw.commport().portOpen());
    if (pageShown) {
        QCOMPARE(driver.tag, QStringLiteral("mainform"));
        // Shown with the loaded values, before the later steps of loading.
        QCOMPARE(seen, QStringList({QString(), "COM4", "2400"}));
        QVERIFY(!t.app.isLoaded<select_settings>());
    } else {
        QCOMPARE(mw.Status()->panelText(1), statusBefore);
    }
    QCOMPARE(mw.Status1()->panelText(2), QStringLiteral("Notepad"));
    QCOMPARE(t.app.strAusgabe, QStringLiteral("<W>"));
    QCOMPARE(t.app.settings.portnum, QStringLiteral("4"));
}

void tst_select_settings::textsNotCutOff_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("portnum");

    for (const char *language : {"DEUTSCH", "ENGLISH"})
        for (const char *portnum : {"1", "TCP/IP"})
            QTest::addRow("%s, %s", language, portnum) << language << portnum;
}

void tst_select_settings::textsNotCutOff()
{
    QFETCH(QString, language);
    QFETCH(QString, portnum);

    TestApp t;
    QVERIFY(loadShippedLanguage(t.app, language));
    mapPorts(t, {});
    setPortSettings(t.app.settings, portnum);
    select_settings *opened = openPage(t.app);
    QVERIFY(opened);
    select_settings &page = *opened;

    QCOMPARE(cutOffTexts(&page), QStringList());
    QVERIFY2(titleFits(&page), qPrintable(QString::number(page.width())));
}

QTEST_MAIN(tst_select_settings)
#include "tst_select_settings.moc"
