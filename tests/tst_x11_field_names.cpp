#include "tests/support/dialog_checks.h"
#include "tests/support/filled_dialogs.h"
#include "tests/support/test_app.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

// The dialogs' boxes as a screen reader finds them: over the accessibility
// (AT-SPI) bus, read by python3-pyatspi, with every box filled.
namespace {

const QString kBusService = QStringLiteral("org.a11y.Bus");

struct BusField {
    QString role;
    QString name;
    QString text;
};

// The shown boxes of each window the bus lists, by window title.
QMultiMap<QString, BusField> busFields(const QJsonDocument &listing)
{
    QMultiMap<QString, BusField> fields;
    for (const QJsonValue &window : listing.array()) {
        const QString title = window[QLatin1String("title")].toString();
        for (const QJsonValue &field : window[QLatin1String("fields")].toArray()) {
            if (field[QLatin1String("showing")].toBool())
                fields.insert(title, {field[QLatin1String("role")].toString(),
                                      field[QLatin1String("name")].toString(),
                                      field[QLatin1String("text")].toString()});
        }
    }
    return fields;
}

} // namespace

class tst_x11_field_names : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void boxesNamedOnTheBus_data();
    void boxesNamedOnTheBus();

private:
    QProcess m_busLauncher;
};

void tst_x11_field_names::initTestCase()
{
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    QVERIFY2(bus, "no D-Bus session bus");
    if (!bus->isServiceRegistered(kBusService)) {
        m_busLauncher.start(QStringLiteral("/usr/libexec/at-spi-bus-launcher"),
                            {QStringLiteral("--launch-immediately")});
        QVERIFY2(m_busLauncher.waitForStarted(), qPrintable(m_busLauncher.errorString()));
    }
    QTRY_VERIFY_WITH_TIMEOUT(bus->isServiceRegistered(kBusService), 10000);
}

void tst_x11_field_names::cleanupTestCase()
{
    if (m_busLauncher.state() == QProcess::NotRunning)
        return;
    m_busLauncher.terminate();
    if (!m_busLauncher.waitForFinished(5000))
        m_busLauncher.kill();
}

void tst_x11_field_names::boxesNamedOnTheBus_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("German") << "DEUTSCH";
    QTest::newRow("English") << "ENGLISH";
}

// Every shown box of every dialog, the hotkey and command tables with all rows
// filled, has a name on the bus that is not what it holds, the one the dialog
// gave it.
void tst_x11_field_names::boxesNamedOnTheBus()
{
    QFETCH(QString, language);
    TestApp t;
    fillSettings(t.app);
    QVERIFY(loadShippedLanguage(t.app, language));
    QMap<QString, QDialog *> byTitle;
    for (const QString &window : dialogWindows()) {
        QDialog *dialog = loadDialog(t.app, window);
        fillEmptyFields(dialog);
        dialog->show();
        QVERIFY2(!byTitle.contains(dialog->windowTitle()), qPrintable(dialog->windowTitle()));
        byTitle.insert(dialog->windowTitle(), dialog);
    }
    for (QDialog *dialog : byTitle)
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
    // The application picker lists the windows shown now, and one is picked.
    QDialog *picker = loadDialog(t.app, QStringLiteral("select_application"));
    picker->findChild<QAbstractButton *>(QStringLiteral("cmdRefresh"))->click();
    fillEmptyFields(picker);

    QProcess lister;
    lister.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(MQ_SOURCE_DIR "/tests/support/atspi_fields.py"),
                  QCoreApplication::applicationName()});
    // The event loop runs meanwhile, without pauses: the application answers the bus.
    QEventLoop loop;
    connect(&lister, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    const bool listed = lister.state() == QProcess::NotRunning;
    if (!listed)
        lister.kill();
    QVERIFY2(listed, lister.readAllStandardError().constData());
    QVERIFY2(lister.exitCode() == 0, lister.readAllStandardError().constData());
    const QMultiMap<QString, BusField> fields =
        busFields(QJsonDocument::fromJson(lister.readAll()));

    for (auto it = byTitle.cbegin(); it != byTitle.cend(); ++it) {
        QStringList expected;
        for (QWidget *field : editableFields(it.value()))
            if (field->isVisible())
                expected << QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name);
        QStringList named;
        for (const BusField &field : fields.values(it.key())) {
            const QString what = it.key() + QStringLiteral(": ") + field.role +
                                 QStringLiteral(" \"") + field.name + QStringLiteral("\"");
            QVERIFY2(!field.name.trimmed().isEmpty(), qPrintable(what));
            QVERIFY2(!field.text.isEmpty(), qPrintable(what));
            QVERIFY2(field.name != field.text, qPrintable(what));
            named << field.name;
        }
        expected.sort();
        named.sort();
        QCOMPARE(named, expected);
    }
    for (QDialog *dialog : byTitle)
        dialog->hide();
}

int main(int argc, char **argv)
{
    // The bridge to the accessibility bus comes up with the application.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication app(argc, argv);
    tst_x11_field_names test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_x11_field_names.moc"
