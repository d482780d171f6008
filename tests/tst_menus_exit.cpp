#include "core/app.h"
#include "core/language/language.h"
#include "core/mainform/control_tag.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/settings/settings.h"
#include "platform/ini/ini_file.h"
#include "platform/vb/vb_timer.h"
#include "tests/support/file_bytes.h"
#include "tests/support/measurement_road.h"
#include "tests/support/tcp_instrument.h"
#include "tests/support/test_app.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kShippedFolder = QStringLiteral(MQ_SOURCE_DIR "/data");
const QString kHelpName = QStringLiteral("Mondrelquist 4.2.html");

using Answer = Prompts::Answer;

void copyShipped(const TestApp &t, const QString &name)
{
    QFile::copy(kShippedFolder + QLatin1Char('/') + name, t.path(name));
}

// Extras › Sprache, answered with language; true when the dialog was met.
bool chooseLanguageFromMenu(mainform &mw, const QString &language)
{
    bool chose = false;
    QTimer driver;
    driver.setInterval(10);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->objectName() != QLatin1String("foLanguage_def"))
            return;
        driver.stop();
        dialog->findChild<QComboBox *>(QStringLiteral("cboLanguage"))->setEditText(language);
        dialog->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        chose = true;
    });
    driver.start();
    mw.menuItem(QStringLiteral("language"))->trigger();
    return chose;
}

} // namespace

class tst_menus_exit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void exitComparesScratchCopy_data();
    void exitComparesScratchCopy();
    void quitDuringTelegramWait();
    void menuStopsPolling_data();
    void menuStopsPolling();
    void languageKeepsSettings();
    void languageRefreshesStatus_data();
    void languageRefreshesStatus();
    void help_data();
    void help();
    void saveFailureIsReported();
};

void tst_menus_exit::init()
{
    QLocale::setDefault(QLocale::c());
}

void tst_menus_exit::exitComparesScratchCopy_data()
{
    QTest::addColumn<QString>("settingsFile"); // "file", "none" (CfgPath ""), "missing"
    QTest::addColumn<bool>("change");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");

    QTest::newRow("unchanged") << "file" << false << int(Answer::Yes) << false;
    QTest::newRow("changed, No") << "file" << true << int(Answer::No) << true;
    QTest::newRow("changed, Yes") << "file" << true << int(Answer::Yes) << true;
    QTest::newRow("no settings file, Yes") << "none" << false << int(Answer::Yes) << true;
    QTest::newRow("missing settings file, No") << "missing" << false << int(Answer::No) << true;
}

// Exit writes the record into a copy of the settings file in the program folder
// and asks only when the two differ; Yes saves through the save dialog.
void tst_menus_exit::exitComparesScratchCopy()
{
    QFETCH(QString, settingsFile);
    QFETCH(bool, change);
    QFETCH(int, answer);
    QFETCH(bool, asked);

    TestApp t;
    t.app.texts.TextAenderungenSpeichern = QStringLiteral("TextAenderungenSpeichern");
    copyShipped(t, QStringLiteral("standard.cfg"));
    const QString cfg = t.path(QStringLiteral("standard.cfg"));
    const QByteArray original = readFileBytes(cfg);
    readSettingsRecord(t.app, cfg);
    t.app.CfgPath =
        settingsFile == QLatin1String("file")
            ? cfg
            : (settingsFile == QLatin1String("none") ? QString() : t.path(QStringLiteral("x.cfg")));
    if (change)
        t.app.settings.OTG = QStringLiteral("1234.5");
    // The scratch copy belongs in the program folder, wherever the current directory is.
    QTemporaryDir elsewhere;
    QDir::setCurrent(elsewhere.path());
    t.prompts.messageAnswers = {Answer(answer)};
    const QString savedAs = t.path(QStringLiteral("saved.cfg"));
    t.prompts.fileAnswers = {savedAs};

    t.app.mainWindow().quit_Click();
    QVERIFY(runUntilEnded(t.app));

    QVERIFY(!t.app.hasMainWindow());
    QCOMPARE(t.prompts.messages().contains(QStringLiteral("TextAenderungenSpeichern")), asked);
    QVERIFY(QFile::exists(t.path(QStringLiteral("tmp.cfg"))));
    QVERIFY(!QFile::exists(elsewhere.filePath(QStringLiteral("tmp.cfg"))));
    QCOMPARE(readFileBytes(cfg), original);
    const bool saved = asked && Answer(answer) == Answer::Yes;
    QCOMPARE(QFile::exists(savedAs), saved);
    if (saved) {
        QCOMPARE(t.prompts.shown.last().kind, QStringLiteral("save"));
        QCOMPARE(t.app.CfgPath, savedAs);
    }
    if (change)
        QCOMPARE(GetINI(QStringLiteral("OTG"), QString(),
                        saved ? savedAs : t.path(QStringLiteral("tmp.cfg")),
                        QStringLiteral("Filter")),
                 QStringLiteral("1234.5"));
}

// Exit asked for while a tick waits for a telegram runs only after that tick:
// the telegram is still delivered and nothing uses the window once it is gone.
void tst_menus_exit::quitDuringTelegramWait()
{
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("PRINT")));
    mainform &mw = t.app.mainWindow();
    t.app.CfgPath.clear();
    t.prompts.messageAnswers = {Answer::No};
    bool askedWhileReading = true;
    t.prompts.onMessage = [&](const QString &) {
        askedWhileReading = t.app.telegramReading;
    };

    QTimer watch;
    watch.setInterval(2);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!t.app.telegramReading)
            return;
        watch.stop();
        mw.quit_Click();
        instrument.sendLater(defaultTelegram('+', "12.5", "g "), 50);
    });
    watch.start();
    mw.Timer1().setInterval(10);
    QVERIFY(runUntilEnded(t.app));

    QVERIFY(!t.app.hasMainWindow());
    QVERIFY(!askedWhileReading);
    QVERIFY(readFileBytes(t.path(QStringLiteral("werte.txt"))).startsWith("12.5"));
}

void tst_menus_exit::menuStopsPolling_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("timerRuns");
    QTest::addColumn<bool>("offlineDisplay");

    QTest::newRow("info") << "info" << false << true;
    QTest::newRow("load_conf") << "load_conf" << false << true;
    QTest::newRow("save_conf") << "save_conf" << true << true;
    QTest::newRow("inst_assi") << "inst_assi" << true << false;
    QTest::newRow("m_Modus") << "m_Modus" << false << false;
    QTest::newRow("port") << "port" << false << true;
    QTest::newRow("m_KonfigDatenOut") << "m_KonfigDatenOut" << false << true;
    QTest::newRow("dde_conn") << "dde_conn" << true << false;
    QTest::newRow("showhelp") << "showhelp" << true << true;
}

// Each menu item stops the main timer or leaves it running as its row says; the
// offline display changes captions only: the online tag stays.
void tst_menus_exit::menuStopsPolling()
{
    QFETCH(QString, item);
    QFETCH(bool, timerRuns);
    QFETCH(bool, offlineDisplay);

    TestApp t;
    mainform &mw = t.app.mainWindow();
    mw.Timer1().setInterval(10);
    mw.Command5(7)->setText(QStringLiteral("O&ffline"));
    mw.MesswertAnzeige()->setText(QStringLiteral("12.5"));
    mw.einheit()->setText(QStringLiteral("g"));
    mw.Vorzeichen()->setText(QStringLiteral("-"));
    // An item that opens a modal dialog finds it closed by the window's close command.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget *dialog = QApplication::activeModalWidget())
            dialog->close();
    });
    closer.start(10);

    mw.menuItem(item)->trigger();

    QCOMPARE(mw.Timer1().isRunning(), timerRuns);
    QCOMPARE(mw.Command5(7)->text(), offlineDisplay ? "O&nline" : "O&ffline");
    QCOMPARE(mw.MesswertAnzeige()->text(), offlineDisplay ? "Offline" : "12.5");
    QCOMPARE(mw.einheit()->text(), offlineDisplay ? "" : "g");
    QCOMPARE(mw.Vorzeichen()->text(), offlineDisplay ? "" : "-");
    QCOMPARE(tagOf(mw.Command5(7)), QStringLiteral("-1"));
    QCOMPARE(t.app.bAssistentAktiv, item == QLatin1String("inst_assi"));
}

// A new language brings its texts; the settings file loaded from the menu and
// settings changed since stay, and polling goes on.
void tst_menus_exit::languageKeepsSettings()
{
    TestApp t;
    copyShipped(t, QStringLiteral("language.ini"));
    copyShipped(t, QStringLiteral("standard.cfg"));
    const QString language = t.path(QStringLiteral("language.ini"));
    ini::writeValue(language, QStringLiteral("SPRACHE"), QStringLiteral("aktuell"),
                    QStringLiteral("DEUTSCH"));
    const QString mine = t.path(QStringLiteral("mine.cfg"));
    QFile::copy(t.path(QStringLiteral("standard.cfg")), mine);
    readSettingsRecord(t.app, mine);
    t.app.CfgPath = mine;
    t.app.settings.OTG = QStringLiteral("777");
    mainform &mw = t.app.mainWindow();
    mw.Timer1().setInterval(10);

    QVERIFY(chooseLanguageFromMenu(mw, QStringLiteral("ENGLISH")));
    QCOMPARE(mw.menuItem(QStringLiteral("datei"))->text(), QStringLiteral("&File"));
    QCOMPARE(t.app.CfgPath, mine);
    QCOMPARE(t.app.settings.OTG, QStringLiteral("777"));
    QVERIFY(t.prompts.shown.isEmpty());
    QCOMPARE(mw.Timer1().interval(), 10);
    QVERIFY(mw.Timer1().isRunning());
}

void tst_menus_exit::languageRefreshesStatus_data()
{
    QTest::addColumn<QString>("shown"); // "language text", "fixed text", "set directly"
    QTest::newRow("language text and fixed pieces") << "language text";
    QTest::newRow("fixed text") << "fixed text";
    QTest::newRow("put on the panel directly") << "set directly";
}

// The status line shows its language texts in the new language at once; a text
// in no language stays as it is.
void tst_menus_exit::languageRefreshesStatus()
{
    QFETCH(QString, shown);
    TestApp t;
    copyShipped(t, QStringLiteral("language.ini"));
    ini::writeValue(t.path(QStringLiteral("language.ini")), QStringLiteral("SPRACHE"),
                    QStringLiteral("aktuell"), QStringLiteral("DEUTSCH"));
    mainform &mw = t.app.mainWindow();
    QVERIFY(Sprache_laden(t.app));
    const QString german = t.app.texts.TextMessgeraetAktiviert;
    const QString fixed = QStringLiteral("COM3: Permission denied");
    const QString direct = QStringLiteral("Start über 'online'");
    mw.fnUpdateStatus(StatusText(&LanguageTexts::TextMessgeraetAktiviert) +
                      QStringLiteral(" COM3"));
    if (shown == QLatin1String("fixed text"))
        mw.fnUpdateStatus(fixed);
    else if (shown == QLatin1String("set directly"))
        mw.Status()->setPanelText(1, direct);

    QVERIFY(chooseLanguageFromMenu(mw, QStringLiteral("ENGLISH")));
    const QString english = t.app.texts.TextMessgeraetAktiviert;
    QVERIFY(english != german);
    if (shown == QLatin1String("language text"))
        QCOMPARE(mw.Status()->panelText(1), english + QStringLiteral(" COM3"));
    else if (shown == QLatin1String("fixed text"))
        QCOMPARE(mw.Status()->panelText(1), fixed);
    else
        QCOMPARE(mw.Status()->panelText(1), direct);
    QCOMPARE(mw.Status1()->panelText(1), t.app.texts.TextStatus);
}

void tst_menus_exit::help_data()
{
    QTest::addColumn<bool>("helpFile");
    QTest::addColumn<QString>("viewer"); // "works", "fails", "no xdg-open"
    QTest::addColumn<QString>("status"); // start of the status text; "" when opened

    QTest::newRow("opened") << true << "works"
                            << "";
    QTest::newRow("help file missing") << false << "works"
                                       << "Help file not found: ";
    QTest::newRow("no viewer") << true << "fails"
                               << "No viewer opened ";
    QTest::newRow("no xdg-open") << true << "no xdg-open"
                                 << "xdg-open (package xdg-utils)";
}

// The help item hands the program folder's help file to the real xdg-open, which
// finds the viewer through $BROWSER (no desktop default is known to it here).
void tst_menus_exit::help()
{
    QFETCH(bool, helpFile);
    QFETCH(QString, viewer);
    QFETCH(QString, status);

    TestApp t;
    if (helpFile)
        copyShipped(t, kHelpName);
    QTemporaryDir desktop;
    const QString got = desktop.filePath(QStringLiteral("viewer-got"));
    const QString script = desktop.filePath(QStringLiteral("viewer"));
    QFile f(script);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(viewer == QLatin1String("fails") ? "#!/bin/sh\nexit 1\n"
                                             : "#!/bin/sh\nprintf '%s' \"$1\" > \"$0-got\"\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("BROWSER", script.toLocal8Bit());
    for (const char *name :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS"})
        qputenv(name, desktop.path().toLocal8Bit());
    qunsetenv("XDG_CURRENT_DESKTOP");
    if (viewer == QLatin1String("no xdg-open"))
        qputenv("PATH", desktop.path().toLocal8Bit());

    mainform &mw = t.app.mainWindow();
    mw.menuItem(QStringLiteral("showhelp"))->trigger();
    qputenv("PATH", path);

    if (status.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(got), 10000);
        QCOMPARE(readFileBytes(got), t.path(kHelpName).toLocal8Bit());
        QCOMPARE(mw.Status()->panelText(1), QString());
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(mw.Status()->panelText(1).startsWith(status), 10000);
        QVERIFY(!QFile::exists(got));
    }
}

// A save that fails says so; the callers would otherwise go on as if saved.
void tst_menus_exit::saveFailureIsReported()
{
    TestApp t;
    readSettingsRecord(t.app, QString());
    t.app.CfgPath = t.path(QStringLiteral("waage.cfg"));
    const QString target = t.path(QStringLiteral("no such folder/x.cfg"));
    t.prompts.fileAnswers = {target};

    t.app.mainWindow().menuItem(QStringLiteral("save_conf"))->trigger();

    QVERIFY(t.app.abbruch);
    QCOMPARE(t.app.CfgPath, t.path(QStringLiteral("waage.cfg")));
    QCOMPARE(t.prompts.shown.size(), 2);
    QCOMPARE(t.prompts.shown[1].kind, QStringLiteral("message"));
    QVERIFY(t.prompts.shown[1].text.startsWith(target + QStringLiteral(": ")));
}

QTEST_MAIN(tst_menus_exit)
#include "tst_menus_exit.moc"
