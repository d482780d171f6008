#include "core/language/language.h"
#include "core/mainform/mainform.h"
#include "dialogs/folanguage_def.h"
#include "platform/ini/ini_file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/helper_process.h"
#include "tests/support/test_app.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QStringDecoder>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <functional>
#include <sys/stat.h>

namespace {

const QString kShippedFolder = QStringLiteral(MQ_SOURCE_DIR "/data");
const QString kAbortText = QStringLiteral("No language selected, Program aborted!");
const QString kUnreadableAtStart =
    QStringLiteral("Die Sprachdatei kann nicht gelesen werden. Programm abgebrochen!\n"
                   "The language file cannot be read. Program aborted!\n\n");
const QString kUnreadableLater =
    QStringLiteral("Die Sprachdatei kann nicht gelesen werden. Die Sprache bleibt, wie sie war.\n"
                   "The language file cannot be read. The language stays as it was.\n\n");
const QString kNotStored =
    QStringLiteral("Die Sprache kann nicht gespeichert werden; sie gilt bis zum Programmende.\n"
                   "The language cannot be stored; it applies until the program ends.\n\n");
// Read with this default, a key that is present differs from one that is missing.
const QString kMissing = QStringLiteral("<missing>");

enum class Act { Ok, Choose, Type, Clear, Close };

// Performs one user action on the language dialog and presses OK (Close uses the
// window's close button instead). Clear first confirms an emptied name, which
// is refused, then chooses text.
void act(foLanguage_def &dialog, Act action, const QString &text = {})
{
    auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("cboLanguage"));
    auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"));
    switch (action) {
    case Act::Choose:
        combo->setCurrentIndex(combo->findText(text));
        break;
    case Act::Type:
        combo->lineEdit()->clear();
        QTest::keyClicks(combo->lineEdit(), text);
        break;
    case Act::Clear:
        combo->clearEditText();
        ok->click();
        if (!dialog.isVisible())
            return; // the blank name was taken
        combo->setCurrentIndex(combo->findText(text));
        break;
    case Act::Ok:
        break;
    case Act::Close:
        dialog.close(); // the window's close button
        return;
    }
    ok->click();
}

// Waits for the language dialog to be shown modally, counts it and acts on it.
class DialogDriver {
public:
    DialogDriver(Act action, QString text = {})
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, action, text] {
            auto *dialog = qobject_cast<foLanguage_def *>(QApplication::activeModalWidget());
            if (!dialog || dialog->objectName() != QLatin1String("foLanguage_def"))
                return;
            ++shown;
            act(*dialog, action, text);
        });
        m_timer.start(10);
    }
    int shown = 0;

private:
    QTimer m_timer;
};

QString defaultFor(const QString &key)
{
    if (key == QLatin1String("extIDNr4_end_"))
        return QStringLiteral("textIDNr4_end_");
    if (key == QLatin1String("TextBitteAnwendungstextUeberpruefene"))
        return QStringLiteral("TextBitteAnwendungstextUeberpruefen");
    return key;
}

// Keys whose text differs from the fall-back default, except those named.
QStringList textsNotDefault(const LanguageTexts &texts, const QStringList &except = {})
{
    QStringList differing;
    for (const QString &key : LanguageTexts::keys())
        if (!except.contains(key) && *texts.text(key) != defaultFor(key))
            differing << key;
    return differing;
}

QString currentLanguage(const TestApp &t)
{
    return ini::readValue(t.path(QStringLiteral("language.ini")), QStringLiteral("SPRACHE"),
                          QStringLiteral("aktuell"), kMissing);
}

// The sections of an INI text with their keys in file order.
QList<QPair<QString, QStringList>> sectionsOf(const QString &text)
{
    QList<QPair<QString, QStringList>> sections;
    for (const QString &raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            sections.append({line.mid(1, line.size() - 2), {}});
        else if (!sections.isEmpty() && line.contains(QLatin1Char('=')))
            sections.last().second << line.section(QLatin1Char('='), 0, 0).trimmed();
    }
    return sections;
}

} // namespace

class LanguageTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void keyList();
    void shippedFileLayout();
    void shippedLanguage_data();
    void shippedLanguage();
    void loadingAsks_data();
    void loadingAsks();
    void loadingMissingSection();
    void loadedValues_data();
    void loadedValues();
    void dialogList_data();
    void dialogList();
    void dialogOk_data();
    void dialogOk();
    void dialogHelpFile_data();
    void dialogHelpFile();
    void dialogClosedWritesNothing();
    void dialogBlankRefused_data();
    void dialogBlankRefused();
    void nulByteEndsItsLine();
    void nulFileTakesTheChoice();
    void unreadableFileEndsStartUp();
    void unreadableFileKeepsTexts();
    void permissionsOfOrdinaryUser_data();
    void permissionsOfOrdinaryUser();
    void qtTexts_data();
    void qtTexts();
    void qtTextsSwitchWithTheMenu();
};

void LanguageTest::init()
{
    QLocale::setDefault(QLocale::c());
}

// App::endProgram() leaves Qt refusing every new event loop, modal dialogs
// included, until the application's own loop has run once more.
void LanguageTest::cleanup()
{
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
}

void LanguageTest::keyList()
{
    const QStringList &keys = LanguageTexts::keys();
    QCOMPARE(keys.size(), 221);
    // The files match key names without regard to case.
    QSet<QString> folded;
    for (const QString &key : keys)
        folded.insert(key.toLower());
    QCOMPARE(folded.size(), 221);

    LanguageTexts texts;
    for (const QString &key : keys) {
        QString *member = texts.text(key);
        QVERIFY2(member, qPrintable(key));
        *member = key;
    }
    // Each key reaches its own member.
    for (const QString &key : keys)
        QCOMPARE(*std::as_const(texts).text(key), key);
    QCOMPARE(texts.TextFrmFormatdef_OptionenCaption,
             QStringLiteral("TextFrmFormatdef_OptionenCaption"));
    QCOMPARE(texts.text(QStringLiteral("textIDNr4_end_")), nullptr);
}

void LanguageTest::shippedFileLayout()
{
    const QByteArray bytes = readFileBytes(kShippedFolder + QStringLiteral("/language.ini"));
    QVERIFY(!bytes.isEmpty());
    QVERIFY2(bytes.count('\n') == bytes.count("\r\n"), "every line ends in CRLF");
    auto decoder = QStringDecoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    QVERIFY2(!decoder.hasError(), "valid UTF-8");

    QStringList names;
    for (const auto &section : sectionsOf(text))
        names << section.first.toUpper();
    QVERIFY2(!names.contains(QStringLiteral("SPRACHE")), "the first start must ask");

    const QString file = kShippedFolder + QStringLiteral("/language.ini");
    QStringList offered;
    for (int n = 1;; ++n) {
        const QString value =
            ini::readValue(file, QStringLiteral("SPRACHEN"), QString::number(n), kMissing);
        if (value == kMissing)
            break;
        offered << value;
    }
    QCOMPARE(offered, QStringList({QStringLiteral("DEUTSCH"), QStringLiteral("ENGLISH")}));
    for (const QString &language : offered) {
        QVERIFY2(names.contains(language), qPrintable(language));
        QString help = ini::readValue(file, language, QStringLiteral("helpfile"), kMissing);
        QVERIFY2(help.startsWith(QLatin1Char('\\')), qPrintable(help));
        QVERIFY2(QFile::exists(kShippedFolder + QLatin1Char('/') + help.mid(1)), qPrintable(help));
    }
}

void LanguageTest::shippedLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("helpFile");
    QTest::newRow("German") << QStringLiteral("DEUTSCH") << QStringLiteral("mq36d.hlp");
    QTest::newRow("English") << QStringLiteral("ENGLISH") << QStringLiteral("mq36e.hlp");
}

// The first start with the shipped files: the user picks the language in the dialog.
void LanguageTest::shippedLanguage()
{
    QFETCH(QString, language);
    QFETCH(QString, helpFile);

    const QByteArray shipped = readFileBytes(kShippedFolder + QStringLiteral("/language.ini"));
    const QString text = QString::fromUtf8(shipped);
    QStringList keys;
    for (const auto &section : sectionsOf(text))
        if (section.first == language)
            keys = section.second;
    QCOMPARE(keys.size(), QSet<QString>(keys.begin(), keys.end()).size());
    QStringList expected = LanguageTexts::keys();
    expected << QStringLiteral("helpfile");
    std::sort(keys.begin(), keys.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(keys, expected);

    TestApp t;
    t.writeFile(QStringLiteral("language.ini"), shipped);
    for (const QString &name : {QStringLiteral("mq36d.hlp"), QStringLiteral("mq36e.hlp")})
        t.writeFile(name, readFileBytes(kShippedFolder + QLatin1Char('/') + name));

    DialogDriver driver(Act::Choose, language);
    QVERIFY(Sprache_laden(t.app));
    QCOMPARE(driver.shown, 1);
    QCOMPARE(currentLanguage(t), language);
    QCOMPARE(readFileBytes(t.path(QStringLiteral("mq36.hlp"))),
             readFileBytes(kShippedFolder + QLatin1Char('/') + helpFile));

    // Every text is translated; the ID tokens are what the template editor writes.
    QCOMPARE(textsNotDefault(t.app.texts).size(), 221);
    for (int n = 1; n <= 10; ++n)
        QCOMPARE(*t.app.texts.text(QStringLiteral("TextID_%1").arg(n)),
                 QStringLiteral("ID_%1").arg(n));
    const LanguageTexts &x = t.app.texts;
    const QSet<QString> tokens{x.TextMesswert, x.TextEinheit, x.TextDatum, x.TextUhrzeit};
    QCOMPARE(tokens.size(), 4);
    QVERIFY(!tokens.contains(QString()));
}

void LanguageTest::loadingAsks_data()
{
    QTest::addColumn<QByteArray>("ini"); // empty: no language.ini
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("status");

    const QByteArray emptyCurrent = "[SPRACHE]\r\naktuell=\r\n[SPRACHEN]\r\n1=DEUTSCH\r\n"
                                    "[DEUTSCH]\r\nTextStatus=Zustand\r\n";
    QTest::newRow("no language.ini, OK at once")
        << QByteArray() << int(Act::Ok) << QString() << true << QStringLiteral("ENGLISH")
        << QStringLiteral("TextStatus");
    QTest::newRow("empty current language, one chosen")
        << emptyCurrent << int(Act::Choose) << QStringLiteral("DEUTSCH") << true
        << QStringLiteral("DEUTSCH") << QStringLiteral("Zustand");
    QTest::newRow("closed without OK")
        << QByteArray() << int(Act::Close) << QString() << false << kMissing << QString();
    QTest::newRow("empty name refused, then one chosen")
        << emptyCurrent << int(Act::Clear) << QStringLiteral("DEUTSCH") << true
        << QStringLiteral("DEUTSCH") << QStringLiteral("Zustand");
}

void LanguageTest::loadingAsks()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, action);
    QFETCH(QString, choice);
    QFETCH(bool, loaded);
    QFETCH(QString, current);
    QFETCH(QString, status);

    TestApp t;
    if (!ini.isEmpty())
        t.writeFile(QStringLiteral("language.ini"), ini);

    DialogDriver driver(Act(action), choice);
    QCOMPARE(Sprache_laden(t.app), loaded);
    QCOMPARE(driver.shown, 1);
    QCOMPARE(currentLanguage(t), current);
    QCOMPARE(t.app.hasEnded(), !loaded);
    if (loaded) {
        QVERIFY(t.prompts.shown.isEmpty());
        QCOMPARE(t.app.texts.TextStatus, status);
        QCOMPARE(textsNotDefault(t.app.texts, {QStringLiteral("TextStatus")}), QStringList());
    } else {
        QCOMPARE(t.prompts.shown.size(), 1);
        QCOMPARE(t.prompts.shown.first().text, kAbortText);
        QCOMPARE(t.prompts.shown.first().title, QStringLiteral("Mondrelquist"));
    }
}

void LanguageTest::loadingMissingSection()
{
    TestApp t;
    t.writeFile(QStringLiteral("language.ini"),
                "[SPRACHE]\r\naktuell=KLINGONISCH\r\n[ENGLISH]\r\nTextStatus=State\r\n");
    // A previous load's texts must not survive.
    for (const QString &key : LanguageTexts::keys())
        *t.app.texts.text(key) = QStringLiteral("stale");

    DialogDriver driver(Act::Close);
    QVERIFY(Sprache_laden(t.app));
    QCOMPARE(driver.shown, 0);
    QCOMPARE(textsNotDefault(t.app.texts), QStringList());
    QVERIFY(t.prompts.shown.isEmpty());
}

void LanguageTest::loadedValues_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QByteArray longValue;
    for (int i = 0; i < 250; ++i)
        longValue.append(char('a' + i % 26));
    QTest::newRow("250 characters give 199")
        << "TextMesswert=" + longValue << QStringLiteral("TextMesswert")
        << QString::fromLatin1(longValue.left(199));
    QTest::newRow("empty value gives empty text")
        << QByteArray("TextStatus=") << QStringLiteral("TextStatus") << QString();
    QTest::newRow("quoted blanks kept")
        << QByteArray("TextFreierTextTeil1=\"Wert für \"") << QStringLiteral("TextFreierTextTeil1")
        << QStringLiteral("Wert für ");
    QTest::newRow("missing key gives its name")
        << QByteArray("TextDatum=Datum") << QStringLiteral("TextEinheit")
        << QStringLiteral("TextEinheit");
    QTest::newRow("extIDNr4_end_ missing")
        << QByteArray() << QStringLiteral("extIDNr4_end_") << QStringLiteral("textIDNr4_end_");
    QTest::newRow("extIDNr4_end_ read under its own key")
        << QByteArray("extIDNr4_end_=ID 4 Ende") << QStringLiteral("extIDNr4_end_")
        << QStringLiteral("ID 4 Ende");
    QTest::newRow("extIDNr4_end_ not read under textIDNr4_end_")
        << QByteArray("textIDNr4_end_=falsch") << QStringLiteral("extIDNr4_end_")
        << QStringLiteral("textIDNr4_end_");
    QTest::newRow("Ueberpruefene missing")
        << QByteArray() << QStringLiteral("TextBitteAnwendungstextUeberpruefene")
        << QStringLiteral("TextBitteAnwendungstextUeberpruefen");
    QTest::newRow("Ueberpruefene present")
        << QByteArray("TextBitteAnwendungstextUeberpruefene=Bitte prüfen")
        << QStringLiteral("TextBitteAnwendungstextUeberpruefene") << QStringLiteral("Bitte prüfen");
}

void LanguageTest::loadedValues()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    TestApp t;
    t.writeFile(QStringLiteral("language.ini"),
                "[SPRACHE]\r\naktuell=TEST\r\n[TEST]\r\nTextUhrzeit=Zeit\r\n" + line + "\r\n");
    t.app.texts.TextStatus = QStringLiteral("stale");
    DialogDriver driver(Act::Close);
    QVERIFY(Sprache_laden(t.app));
    QCOMPARE(driver.shown, 0);
    QCOMPARE(*t.app.texts.text(key), expected);
    QCOMPARE(t.app.texts.TextUhrzeit, QStringLiteral("Zeit"));
}

void LanguageTest::dialogList_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("shown");

    QTest::newRow("no language.ini") << QByteArray() << QStringList() << QStringLiteral("ENGLISH");
    QTest::newRow("gap ends the list")
        << QByteArray("[SPRACHEN]\r\n1=DEUTSCH\r\n2=ENGLISH\r\n4=FRANZ\r\n")
        << QStringList{QStringLiteral("DEUTSCH"), QStringLiteral("ENGLISH")}
        << QStringLiteral("ENGLISH");
    QTest::newRow("own number ends the list")
        << QByteArray("[SPRACHEN]\r\n1=DEUTSCH\r\n2=ENGLISH\r\n3=3\r\n4=FRANZ\r\n")
        << QStringList{QStringLiteral("DEUTSCH"), QStringLiteral("ENGLISH")}
        << QStringLiteral("ENGLISH");
    QTest::newRow("unsorted, current language shown")
        << QByteArray("[SPRACHE]\r\naktuell=DEUTSCH\r\n[SPRACHEN]\r\n1=ZULU\r\n2=DEUTSCH\r\n")
        << QStringList{QStringLiteral("ZULU"), QStringLiteral("DEUTSCH")}
        << QStringLiteral("DEUTSCH");
    QTest::newRow("current language not in the list")
        << QByteArray("[SPRACHE]\r\naktuell=FRANZ\r\n[SPRACHEN]\r\n1=DEUTSCH\r\n2=ENGLISH\r\n")
        << QStringList{QStringLiteral("DEUTSCH"), QStringLiteral("ENGLISH")}
        << QStringLiteral("FRANZ");
}

void LanguageTest::dialogList()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, list);
    QFETCH(QString, shown);

    TestApp t;
    if (!ini.isEmpty())
        t.writeFile(QStringLiteral("language.ini"), ini);
    foLanguage_def dialog(t.app);
    auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("cboLanguage"));
    QVERIFY(combo && combo->isEditable());
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, list);
    QCOMPARE(combo->currentText(), shown);
    QCOMPARE(dialog.strSprache, QString());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Sprachauswahl"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblsprache1"))->text(),
             QString(25, QLatin1Char(' ')) + QStringLiteral("Please choice the Language "));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblsprache"))->text(),
             QString(27, QLatin1Char(' ')) + QStringLiteral("Bitte Sprache auswählen "));
}

void LanguageTest::dialogOk_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("written");

    const QByteArray list = "[SPRACHE]\r\naktuell=ENGLISH\r\n[SPRACHEN]\r\n1=DEUTSCH\r\n"
                            "2=ENGLISH\r\n";
    QTest::newRow("no current language, OK at once")
        << QByteArray() << int(Act::Ok) << QString() << QStringLiteral("ENGLISH");
    QTest::newRow("chosen from the list")
        << list << int(Act::Choose) << QStringLiteral("DEUTSCH") << QStringLiteral("DEUTSCH");
    QTest::newRow("typed name not in the list")
        << list << int(Act::Type) << QStringLiteral("Klingonisch") << QStringLiteral("Klingonisch");
}

void LanguageTest::dialogOk()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, action);
    QFETCH(QString, text);
    QFETCH(QString, written);

    TestApp t;
    if (!ini.isEmpty())
        t.writeFile(QStringLiteral("language.ini"), ini);
    foLanguage_def dialog(t.app);
    act(dialog, Act(action), text);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(currentLanguage(t), written);
    QCOMPARE(dialog.strSprache, written);
}

void LanguageTest::dialogHelpFile_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("expected"); // empty: no working help file

    QTest::newRow("language's help file")
        << QByteArray("[DEUTSCH]\r\nhelpfile=\\mq36d.hlp\r\n") << QByteArray("deutsche Hilfe");
    QTest::newRow("no helpfile key")
        << QByteArray("[DEUTSCH]\r\nTextStatus=Zustand\r\n") << QByteArray("english help");
    QTest::newRow("no section") << QByteArray() << QByteArray("english help");
    QTest::newRow("help file missing")
        << QByteArray("[DEUTSCH]\r\nhelpfile=\\fehlt.hlp\r\n") << QByteArray();
}

void LanguageTest::dialogHelpFile()
{
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, expected);

    TestApp t;
    t.writeFile(QStringLiteral("language.ini"),
                "[SPRACHEN]\r\n1=DEUTSCH\r\n2=ENGLISH\r\n" + section);
    t.writeFile(QStringLiteral("mq36d.hlp"), "deutsche Hilfe");
    t.writeFile(QStringLiteral("mq36e.hlp"), "english help");
    t.writeFile(QStringLiteral("mq36.hlp"), "old working copy");

    foLanguage_def dialog(t.app);
    act(dialog, Act::Choose, QStringLiteral("DEUTSCH"));
    QCOMPARE(currentLanguage(t), QStringLiteral("DEUTSCH"));
    const QString working = t.path(QStringLiteral("mq36.hlp"));
    QCOMPARE(QFile::exists(working), !expected.isEmpty());
    QCOMPARE(readFileBytes(working), expected);
    QCOMPARE(readFileBytes(t.path(QStringLiteral("mq36e.hlp"))), QByteArray("english help"));
}

void LanguageTest::dialogClosedWritesNothing()
{
    TestApp t;
    const QByteArray ini = "[SPRACHE]\r\naktuell=DEUTSCH\r\n[SPRACHEN]\r\n1=DEUTSCH\r\n"
                           "2=ENGLISH\r\n[ENGLISH]\r\nhelpfile=\\mq36e.hlp\r\n";
    t.writeFile(QStringLiteral("language.ini"), ini);
    t.writeFile(QStringLiteral("mq36e.hlp"), "english help");
    t.writeFile(QStringLiteral("mq36.hlp"), "old working copy");

    foLanguage_def dialog(t.app);
    dialog.show();
    dialog.findChild<QComboBox *>(QStringLiteral("cboLanguage"))->setCurrentIndex(1);
    act(dialog, Act::Close);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(readFileBytes(t.path(QStringLiteral("language.ini"))), ini);
    QCOMPARE(readFileBytes(t.path(QStringLiteral("mq36.hlp"))), QByteArray("old working copy"));
}

void LanguageTest::dialogBlankRefused_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("typed"); // replaces the text shown; null: left as opened
    QTest::addColumn<bool>("enter");    // confirm with Enter instead of a click

    const QByteArray list = "[SPRACHE]\r\naktuell=DEUTSCH\r\n[SPRACHEN]\r\n1=DEUTSCH\r\n"
                            "2=ENGLISH\r\n";
    QTest::newRow("emptied, clicked") << list << QString("") << false;
    QTest::newRow("emptied, Enter") << list << QString("") << true;
    QTest::newRow("blanks only") << list << QStringLiteral("   ") << false;
    QTest::newRow("stored current language empty")
        << QByteArray("[SPRACHE]\r\naktuell=\r\n[SPRACHEN]\r\n1=DEUTSCH\r\n") << QString() << false;
}

// A blank language would be stored as the current one, and the next language
// load would end the program: OK does nothing until a name is there.
void LanguageTest::dialogBlankRefused()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, typed);
    QFETCH(bool, enter);

    TestApp t;
    t.writeFile(QStringLiteral("language.ini"), ini);
    t.writeFile(QStringLiteral("mq36.hlp"), "old working copy");
    foLanguage_def dialog(t.app);
    dialog.show();
    auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("cboLanguage"));
    auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"));
    if (!typed.isNull()) {
        combo->lineEdit()->selectAll();
        QTest::keyClick(combo->lineEdit(), Qt::Key_Delete);
        QTest::keyClicks(combo->lineEdit(), typed);
    }
    QCOMPARE(combo->currentText(), typed.isNull() ? QString() : typed);

    if (enter)
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    else
        ok->click();
    QVERIFY(!ok->isEnabled());
    QVERIFY(dialog.isVisible());
    QCOMPARE(readFileBytes(t.path(QStringLiteral("language.ini"))), ini);
    QCOMPARE(readFileBytes(t.path(QStringLiteral("mq36.hlp"))), QByteArray("old working copy"));

    // A name makes OK work again.
    combo->setCurrentIndex(combo->findText(QStringLiteral("DEUTSCH")));
    QVERIFY(ok->isEnabled());
    ok->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(currentLanguage(t), QStringLiteral("DEUTSCH"));
}

// A NUL byte ends the value of its line; the other lines of the file count.
void LanguageTest::nulByteEndsItsLine()
{
    TestApp t;
    t.writeFile(QStringLiteral("language.ini"),
                QByteArray("[SPRACHE]\r\naktuell=TEST\0old\r\n[TEST]\r\nTextStatus=Zu\0stand\r\n"
                           "TextEinheit=Einheit\r\n",
                           79));
    DialogDriver driver(Act::Close);
    QVERIFY(Sprache_laden(t.app));
    QCOMPARE(driver.shown, 0);
    QCOMPARE(t.app.texts.TextStatus, QStringLiteral("Zu"));
    QCOMPARE(t.app.texts.TextEinheit, QStringLiteral("Einheit"));
    QVERIFY(t.prompts.shown.isEmpty());
}

// The dialog stores the choice in a file holding a NUL; that line stays as it was.
void LanguageTest::nulFileTakesTheChoice()
{
    TestApp t;
    const QByteArray nulLine("; \0\r\n", 5);
    const QByteArray before =
        "[SPRACHEN]\r\n1=DEUTSCH\r\n" + nulLine + "[DEUTSCH]\r\nTextStatus=Zustand\r\n";
    t.writeFile(QStringLiteral("language.ini"), before);
    DialogDriver driver(Act::Choose, QStringLiteral("DEUTSCH"));
    QVERIFY(Sprache_laden(t.app));
    QCOMPARE(driver.shown, 1);
    QCOMPARE(t.app.texts.TextStatus, QStringLiteral("Zustand"));
    QCOMPARE(readFileBytes(t.path(QStringLiteral("language.ini"))),
             before + "[SPRACHE]\r\naktuell=DEUTSCH\r\n");
    QVERIFY(t.prompts.shown.isEmpty());
}

// Without the file no language can be known: the start-up ends, saying which
// file and why, without the language dialog and without blaming the user.
void LanguageTest::unreadableFileEndsStartUp()
{
    TestApp t;
    QVERIFY(QDir(t.folder.path()).mkdir(QStringLiteral("language.ini")));
    DialogDriver driver(Act::Ok);
    QVERIFY(!Sprache_laden(t.app));
    QCOMPARE(driver.shown, 0);
    QVERIFY(t.app.hasEnded());
    QCOMPARE(t.prompts.messages(),
             QStringList{kUnreadableAtStart + t.path(QStringLiteral("language.ini")) +
                         QStringLiteral(": not a regular file")});
}

// From the language menu the texts in use stay, and the program goes on.
void LanguageTest::unreadableFileKeepsTexts()
{
    TestApp t;
    const QString file =
        t.writeFile(QStringLiteral("language.ini"),
                    "[SPRACHE]\r\naktuell=TEST\r\n[TEST]\r\nTextStatus=Zustand\r\n");
    QVERIFY(Sprache_laden(t.app));
    QVERIFY(QFile::remove(file));
    QVERIFY(QDir(t.folder.path()).mkdir(QStringLiteral("language.ini")));

    DialogDriver driver(Act::Ok);
    QVERIFY(!changeLanguage(t.app));
    QCOMPARE(driver.shown, 0);
    QVERIFY(!t.app.hasEnded());
    QCOMPARE(t.app.texts.TextStatus, QStringLiteral("Zustand"));
    QCOMPARE(t.prompts.messages(),
             QStringList{kUnreadableLater + file + QStringLiteral(": not a regular file")});
}

void LanguageTest::permissionsOfOrdinaryUser_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<QString>("loaded");
    QTest::addColumn<QString>("dialogs");
    QTest::addColumn<QString>("status");  // TextStatus after loading
    QTest::addColumn<QString>("aktuell"); // as language.ini has it afterwards
    QTest::addColumn<QString>("message"); // the start of the one message shown; "" for none

    QTest::newRow("unreadable: the start-up ends")
        << 0755 << 0000 << "0"
        << "0" << QString() << QString() << kUnreadableAtStart;
    QTest::newRow("read-only: the choice holds until the end")
        << 0755 << 0444 << "1"
        << "1"
        << "Zustand" << QString() << kNotStored;
    QTest::newRow("folder refuses new files: written in place") << 0555 << 0666 << "1"
                                                                << "1"
                                                                << "Zustand"
                                                                << "DEUTSCH" << QString();
}

// Root reads and writes anything: these cases run as nobody.
void LanguageTest::permissionsOfOrdinaryUser()
{
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    QFETCH(QString, loaded);
    QFETCH(QString, dialogs);
    QFETCH(QString, status);
    QFETCH(QString, aktuell);
    QFETCH(QString, message);
    if (!canRunAsUser())
        QSKIP("setpriv is needed to drop root");

    TestApp t;
    const QByteArray before = "[SPRACHEN]\r\n1=DEUTSCH\r\n[DEUTSCH]\r\nTextStatus=Zustand\r\n";
    const QString file = t.writeFile(QStringLiteral("language.ini"), before);
    const auto setMode = [](const QString &path, int mode) {
        return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
    };
    QVERIFY(setMode(file, fileMode));
    QVERIFY(setMode(t.folder.path(), folderMode));
    const HelperRun run = runHelper({QStringLiteral("start"), t.folder.path()}, true);
    QVERIFY(setMode(t.folder.path(), 0700));
    QVERIFY(setMode(file, 0644));

    QVERIFY(run.finished && !run.crashed);
    QCOMPARE(run.output.value(QStringLiteral("loaded")), loaded);
    QCOMPARE(run.output.value(QStringLiteral("dialogs")), dialogs);
    QCOMPARE(run.output.value(QStringLiteral("TextStatus")), status);
    const QString said = run.output.value(QStringLiteral("messages"));
    if (message.isEmpty()) {
        QCOMPARE(said, QString());
    } else {
        QString expected = message;
        QVERIFY2(said.startsWith(expected.replace(QLatin1Char('\n'), QLatin1String("\\n"))),
                 qPrintable(said));
        QVERIFY2(said.contains(file + QStringLiteral(": Permission denied")), qPrintable(said));
    }
    QCOMPARE(ini::readValue(file, QStringLiteral("SPRACHE"), QStringLiteral("aktuell"), {}),
             aktuell);
    if (aktuell.isEmpty())
        QCOMPARE(readFileBytes(file), before);
}

void LanguageTest::qtTexts_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("cancel");
    QTest::addColumn<QString>("yes");
    QTest::newRow("German") << "DEUTSCH"
                            << "Abbrechen"
                            << "&Ja";
    QTest::newRow("English") << "ENGLISH"
                             << "Cancel"
                             << "&Yes";
    QTest::newRow("unknown language") << "KLINGONISCH"
                                      << "Cancel"
                                      << "&Yes";
    QTest::newRow("French, any case") << "Francais"
                                      << "Annuler"
                                      << "&Oui";
    QTest::newRow("French by its English name") << "FRENCH"
                                                << "Annuler"
                                                << "&Oui";
}

// Qt's own texts (standard buttons, file and input dialogs) follow the language.
void LanguageTest::qtTexts()
{
    QFETCH(QString, language);
    QFETCH(QString, cancel);
    QFETCH(QString, yes);
    TestApp t;
    t.writeFile(QStringLiteral("language.ini"),
                "[SPRACHE]\r\naktuell=" + language.toUtf8() + "\r\n");
    QVERIFY(Sprache_laden(t.app));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Yes)->text(), yes);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), cancel);
}

// Extras > Sprache switches Qt's texts too, in windows already open as well.
void LanguageTest::qtTextsSwitchWithTheMenu()
{
    TestApp t;
    QByteArray ini = readFileBytes(kShippedFolder + QStringLiteral("/language.ini"));
    t.writeFile(QStringLiteral("language.ini"), "[SPRACHE]\r\naktuell=DEUTSCH\r\n" + ini);
    mainform &mw = t.app.mainWindow();
    QVERIFY(Sprache_laden(t.app));
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Abbrechen"));

    DialogDriver driver(Act::Choose, QStringLiteral("ENGLISH"));
    mw.menuItem(QStringLiteral("language"))->trigger();
    QCOMPARE(driver.shown, 1);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Yes"));
    // Windows learn of it from an event posted to each.
    QTRY_COMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancel"));
}

namespace {

// This binary's helper mode, for what must run as an ordinary user: "start
// FOLDER" loads the language with FOLDER as program folder, choosing DEUTSCH
// in the dialog, and prints "loaded=", "dialogs=", "TextStatus=" and
// "messages=" (the message boxes, "|" between them, line breaks as "\n").
int helperMain(const QStringList &args)
{
    ScriptedPrompts prompts;
    SystemClock clock;
    App app(args.at(2), prompts, clock);
    DialogDriver driver(Act::Choose, QStringLiteral("DEUTSCH"));
    const bool loaded = Sprache_laden(app);
    QTextStream out(stdout);
    out << "loaded=" << int(loaded) << "\ndialogs=" << driver.shown
        << "\nTextStatus=" << app.texts.TextStatus
        << "\nmessages=" << prompts.messages().join(QLatin1Char('|')).replace('\n', "\\n") << "\n";
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], kHelperFlag) == 0)
        return helperMain(app.arguments().mid(1));
    LanguageTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_language.moc"
