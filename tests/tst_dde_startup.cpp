#include "core/ipc/dde_client_link.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "tests/support/dde_fixtures.h"
#include "tests/support/dde_peer.h"
#include "tests/support/test_app.h"

#include <QProcessEnvironment>
#include <QtTest>

namespace {

// Set in the environment of the child that starts without a session bus.
const char kWithoutBusChild[] = "MQ_DDE_WITHOUT_BUS_CHILD";

// Start-up files: every language text its own key name, COM5 missing.
void writeStartupFiles(TestApp &t)
{
    t.writeFile(QStringLiteral("language.ini"), "[SPRACHE]\r\naktuell=KEYS\r\n");
    t.writeFile(QStringLiteral("mondrelquist.ini"), "[ports]\r\nCOM5=/nonexistent/tty\r\n");
    t.writeFile(QStringLiteral("standard.cfg"),
                "[Port settings]\r\nportnum=5\r\n[Mode]\r\nmodus=PRINT\r\n");
}

// Run in a child without a session bus: start-up, then the client link.
int startWithoutBus()
{
    TestApp t;
    writeStartupFiles(t);
    mainform &mw = t.app.mainWindow();
    mw.Form_Load();
    aimLinkAtPeer(t.app);
    t.prompts.messageAnswers = {Prompts::Answer::No};
    DDE_Verbindung(t.app);
    QTextStream out(stdout);
    out << "status: " << mw.Status()->panelText(1) << '\n';
    for (const QString &message : t.prompts.messages())
        out << "message: " << QString(message).replace(QLatin1Char('\r'), QLatin1String("<CR>"))
            << '\n';
    return 0;
}

} // namespace

// The items are served from the start-up on, or the status panel says why not.
class tst_dde_startup : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void secondInstanceGoesOnWithoutLink();
    void startsWithoutSessionBus();
};

void tst_dde_startup::secondInstanceGoesOnWithoutLink()
{
    NameOwner first(ownDdeService());
    QVERIFY(first.owns());
    TestApp t;
    writeStartupFiles(t);
    mainform &mw = t.app.mainWindow();
    mw.Form_Load();

    // Other notices of the start-up may follow it.
    const QString status = mw.Status()->panelText(1);
    QVERIFY2(status.startsWith(
                 QStringLiteral("DDE unavailable to other programs: %1 belongs to another program")
                     .arg(ownDdeService())),
             qPrintable(status));
    QCOMPARE(t.app.CfgPath, t.path(QStringLiteral("standard.cfg")));
    QVERIFY(!t.app.hasEnded());
}

void tst_dde_startup::startsWithoutSessionBus()
{
    QTemporaryDir dir;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kWithoutBusChild), QStringLiteral("1"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
               QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("no-bus")));
    env.remove(QStringLiteral("DISPLAY"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);

    const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split('\n');
    QVERIFY2(lines.value(0).startsWith(QStringLiteral(
                 "status: DDE unavailable to other programs: no D-Bus session bus (")),
             qPrintable(lines.value(0)));
    QCOMPARE(lines.value(1), QStringLiteral("message: No foreign application responded to a DDE "
                                            "initiate 282<CR>       Programm beenden?"));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kWithoutBusChild))
        return startWithoutBus();
    tst_dde_startup test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dde_startup.moc"
