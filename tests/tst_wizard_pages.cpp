#include "core/mainform/control_tag.h"
#include "dialogs/file_page.h"
#include "dialogs/select_accessfile.h"
#include "dialogs/select_application.h"
#include "dialogs/select_excelfile.h"
#include "dialogs/select_target.h"
#include "dialogs/select_textfile.h"
#include "tests/support/dialog_checks.h"
#include "tests/support/file_bytes.h"
#include "tests/support/modal_script.h"
#include "tests/support/set_windows.h"
#include "tests/support/sqlite_cli.h"
#include "tests/support/test_app.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

namespace {

// Loads the default instance of the page named.
QDialog *loadPage(App &app, const QString &name)
{
    if (name == QLatin1String("select_target"))
        return &app.form<select_target>();
    if (name == QLatin1String("select_application"))
        return &app.form<select_application>();
    if (name == QLatin1String("select_ExcelFile"))
        return &app.form<select_ExcelFile>();
    if (name == QLatin1String("select_TextFile"))
        return &app.form<select_TextFile>();
    return &app.form<select_AccessFile>();
}

bool pageLoaded(const App &app, const QString &name)
{
    if (name == QLatin1String("select_target"))
        return app.isLoaded<select_target>();
    if (name == QLatin1String("select_application"))
        return app.isLoaded<select_application>();
    if (name == QLatin1String("select_ExcelFile"))
        return app.isLoaded<select_ExcelFile>();
    if (name == QLatin1String("select_TextFile"))
        return app.isLoaded<select_TextFile>();
    return app.isLoaded<select_AccessFile>();
}

// The setting a file page's Ok writes from its path box.
QString storedPath(const App &app, const QString &page)
{
    if (page == QLatin1String("select_ExcelFile"))
        return app.settings.ExcelFile;
    if (page == QLatin1String("select_TextFile"))
        return app.settings.TextFile;
    return app.settings.AccessFile;
}

QString controlText(QWidget *page, const QString &name)
{
    QWidget *control = page->findChild<QWidget *>(name);
    if (auto *label = qobject_cast<QLabel *>(control))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        return button->text();
    if (auto *combo = qobject_cast<QComboBox *>(control))
        return combo->currentText();
    return control ? QStringLiteral("<no text>") : QStringLiteral("<missing>");
}

QStringList comboItems(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

QStringList listItems(const QListWidget *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

const QStringList kFilePages{"select_ExcelFile", "select_TextFile", "select_AccessFile"};

} // namespace

class WizardPagesTests : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> t;
    SetWindows *windows = nullptr;

    QLineEdit *pathBox(QWidget *page)
    {
        return page->findChildren<QLineEdit *>(QRegularExpression("^txt.*File$")).value(0);
    }
    QPushButton *button(QWidget *page, const QString &name)
    {
        return page->findChild<QPushButton *>(name);
    }
    // A database with tables, made with the sqlite3 tool.
    QString makeDatabase(const QString &name, const QStringList &tables)
    {
        QString sql;
        for (const QString &table : tables)
            sql += QStringLiteral("CREATE TABLE \"%1\" (Wert REAL, Einheit TEXT);").arg(table);
        const QString file = t->path(name);
        const QStringList out = sqlite(file, sql);
        if (!out.isEmpty())
            qWarning("%s", qPrintable(out.join('\n')));
        return file;
    }
    // The Access page after Open with the file dialog answering file.
    select_AccessFile &openInAccessPage(const QString &file)
    {
        select_AccessFile &page = t->app.form<select_AccessFile>();
        t->prompts.fileAnswers << file;
        button(&page, "cmdOpen")->click();
        return page;
    }
    QComboBox *tables() { return t->app.form<select_AccessFile>().findChild<QComboBox *>(); }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        t = std::make_unique<TestApp>();
        auto list = std::make_unique<SetWindows>();
        windows = list.get();
        t->app.installWindows(std::move(list));
    }
    void cleanup()
    {
        t.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void designTexts_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("texts"); // "control=text"
        QTest::newRow("target") << "select_target"
                                << "Ziel auswählen" << QStringList{"cboTarget=aktive Anwendung"};
        QTest::newRow("application") << "select_application"
                                     << "Zielanwendung auswählen"
                                     << QStringList{"Label1=Bitte starten Sie Ihre Anwendung...",
                                                    "cmdRefresh=Liste aktualisieren"};
        QTest::newRow("Excel") << "select_ExcelFile"
                               << "Excel-Datei auswählen"
                               << QStringList{"txtTipps= Bitte wählen Sie eine Excel-Mappe aus...",
                                              "cmdOpen="};
        QTest::newRow("text") << "select_TextFile"
                              << "Text-Datei auswählen" << QStringList{"cmdOpen="};
        QTest::newRow("Access")
            << "select_AccessFile"
            << "Access-Datei auswählen"
            << QStringList{"txtTipps=Bitte wählen Sie die Access-Datenbank und Tabelle aus",
                           "cmdOpen=", "cboTables="};
    }

    // Names, texts, buttons that Enter does not press, accessible names, and no
    // text cut off in either language.
    void designTexts()
    {
        QFETCH(QString, page);
        QFETCH(QString, caption);
        QFETCH(QStringList, texts);
        QDialog *w = loadPage(t->app, page);
        QCOMPARE(w->objectName(), page);
        QCOMPARE(w->windowTitle(), caption);
        QVERIFY(w->isModal());
        texts << "cmdGoOn=Ok"
              << "cmdCancel=Abbrechen";
        for (const QString &entry : texts) {
            const QString name = entry.section('=', 0, 0);
            QCOMPARE(name + "=" + controlText(w, name), entry);
        }
        for (QPushButton *b : w->findChildren<QPushButton *>()) {
            QVERIFY2(!b->autoDefault() && !b->isDefault(), qPrintable(b->objectName()));
            if (b->text().isEmpty())
                QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
        }
        for (QWidget *field : w->findChildren<QWidget *>()) {
            if (qobject_cast<QLineEdit *>(field) && qobject_cast<QComboBox *>(field->parent()))
                continue;
            if (qobject_cast<QLineEdit *>(field) || qobject_cast<QComboBox *>(field) ||
                qobject_cast<QListWidget *>(field))
                QVERIFY2(!field->accessibleName().isEmpty(), qPrintable(field->objectName()));
        }
        for (const QString language : {"DEUTSCH", "ENGLISH"}) {
            QVERIFY(loadShippedLanguage(t->app, language));
            QCOMPARE(cutOffTexts(w), QStringList());
        }
    }

    void targetEntries()
    {
        auto *cbo = t->app.form<select_target>().findChild<QComboBox *>("cboTarget");
        QVERIFY(cbo->isEditable());
        QCOMPARE(comboItems(cbo), QStringList({"aktive Anwendung", "DDE-Kanal", "Excel-Datei",
                                               "Text-Datei", "Access-Datenbank"}));
    }

    void fileDialogPatterns_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("patterns");
        QTest::newRow("Excel") << "select_ExcelFile" << QStringList{"(*.xl*)"};
        QTest::newRow("text") << "select_TextFile" << QStringList{"(*.txt)", "(*.txt *.cfg)"};
        QTest::newRow("Access") << "select_AccessFile" << QStringList{"(*.db *.sqlite *.mdb)"};
    }

    void fileDialogPatterns()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, patterns);
        auto *dialog = loadPage(t->app, page)->findChild<OpenFileDialog *>("CmDialog1");
        QVERIFY(dialog);
        const QStringList filters = dialog->filter().split(";;");
        for (const QString &pattern : patterns)
            QVERIFY2(std::any_of(filters.begin(), filters.end(),
                                 [&](const QString &f) { return f.endsWith(pattern); }),
                     qPrintable(dialog->filter()));
    }

    // Ok stores the path box and leaves abbruch; Abbrechen sets abbruch and
    // stores nothing; the close button does neither. The page unloads each time.
    void filePageEndings_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("abbruch");
        for (const QString &page : kFilePages) {
            const QByteArray p = page.toUtf8();
            QTest::newRow(p + " Ok") << page << "cmdGoOn"
                                     << "/daten/neu"
                                     << "/daten/neu" << false;
            QTest::newRow(p + " Ok with empty path") << page << "cmdGoOn"
                                                     << ""
                                                     << "" << false;
            QTest::newRow(p + " Abbrechen") << page << "cmdCancel"
                                            << "/daten/neu"
                                            << "/daten/alt" << true;
            QTest::newRow(p + " close button") << page << "close"
                                               << "/daten/neu"
                                               << "/daten/alt" << false;
        }
    }

    void filePageEndings()
    {
        QFETCH(QString, page);
        QFETCH(QString, ending);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(bool, abbruch);
        SettingsRecord &s = t->app.settings;
        s.ExcelFile = s.TextFile = s.AccessFile = "/daten/alt";
        s.AccessTable = "Alt";
        QDialog *w = loadPage(t->app, page);
        pathBox(w)->setText(typed);
        w->show();

        if (ending == "close")
            w->close();
        else
            button(w, ending)->click();

        QCOMPARE(storedPath(t->app, page), stored);
        QCOMPARE(t->app.abbruch, abbruch);
        QVERIFY(!pageLoaded(t->app, page));
        QCOMPARE(s.anwendung, QString());
        for (const QString &other : kFilePages)
            if (other != page)
                QCOMPARE(storedPath(t->app, other), QString("/daten/alt"));
    }

    // Open shows the chosen file and clears abbruch; a cancelled file dialog
    // leaves the page as it was, still usable.
    void openChoosesFile_data()
    {
        QTest::addColumn<QString>("page");
        for (const QString &page : kFilePages)
            QTest::newRow(page.toUtf8()) << page;
    }

    void openChoosesFile()
    {
        QFETCH(QString, page);
        const QString file = makeDatabase("werte.db", {"Messwerte"});
        QDialog *w = loadPage(t->app, page);
        pathBox(w)->setText("/getippt");
        t->app.abbruch = true;

        button(w, "cmdOpen")->click();
        QCOMPARE(t->prompts.shown.size(), 1);
        QCOMPARE(t->prompts.shown.first().kind, QString("open"));
        QCOMPARE(pathBox(w)->text(), QString("/getippt"));
        QCOMPARE(t->app.abbruch, true);

        t->prompts.fileAnswers << file;
        button(w, "cmdOpen")->click();
        QCOMPARE(pathBox(w)->text(), file);
        QCOMPARE(t->app.abbruch, false);

        button(w, "cmdGoOn")->click();
        QCOMPARE(storedPath(t->app, page), file);
    }

    void accessListsTablesOfTheChosenDatabase()
    {
        const QString first = makeDatabase("erste.db", {"Messwerte", "Proben", "MSysObjects"});
        const QString second = makeDatabase("zweite.sqlite", {"Wägungen"});

        openInAccessPage(first);
        QCOMPARE(comboItems(tables()), QStringList({"Messwerte", "Proben"}));
        QCOMPARE(tables()->currentText(), QString("Messwerte"));
        tables()->setCurrentIndex(1);

        // A second Open offers only the new database's tables.
        select_AccessFile &page = openInAccessPage(second);
        QCOMPARE(comboItems(tables()), QStringList({"Wägungen"}));
        QCOMPARE(t->app.abbruch, false);

        button(&page, "cmdGoOn")->click();
        QCOMPARE(t->app.settings.AccessFile, second);
        QCOMPARE(t->app.settings.AccessTable, QString("Wägungen"));
    }

    // No message; abbruch until a later Open succeeds; Ok still stores; the
    // file is left as it was.
    void accessFileThatIsNoDatabase_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // empty: no such file
        QTest::newRow("text file") << "notizen.db" << QByteArray("Wert;Einheit\r\n12,5;g\r\n");
        QTest::newRow("Access file") << "alt.mdb" << QByteArray("\0\1\0\0Standard Jet DB", 19);
        QTest::newRow("missing file") << "fehlt.db" << QByteArray();
    }

    void accessFileThatIsNoDatabase()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        const QString good = makeDatabase("gut.db", {"Messwerte"});
        const QString file = content.isEmpty() ? t->path(name) : t->writeFile(name, content);

        openInAccessPage(good);
        select_AccessFile &page = openInAccessPage(file);
        QCOMPARE(t->app.abbruch, true);
        QCOMPARE(comboItems(tables()), QStringList());
        QCOMPARE(readFileBytes(file), content);
        QCOMPARE(QFileInfo::exists(file), !content.isEmpty());
        QCOMPARE(t->prompts.messages(), QStringList());

        tables()->setEditText("Tabelle1");
        button(&page, "cmdGoOn")->click();
        QCOMPARE(t->app.settings.AccessFile, file);
        QCOMPARE(t->app.settings.AccessTable, QString("Tabelle1"));
        QCOMPARE(t->app.abbruch, true);

        openInAccessPage(good);
        QCOMPARE(t->app.abbruch, false);
        QCOMPARE(comboItems(tables()), QStringList{"Messwerte"});
    }

    // Ok stores the chosen title, or an empty one when nothing is chosen.
    void pickerOkStoresTheChoice_data()
    {
        QTest::addColumn<int>("chosen"); // row, -1 for none
        QTest::addColumn<QString>("anwendung");
        QTest::newRow("second entry") << 1 << "Rechner";
        QTest::newRow("nothing chosen") << -1 << "";
    }

    void pickerOkStoresTheChoice()
    {
        QFETCH(int, chosen);
        QFETCH(QString, anwendung);
        windows->windows = {shownWindow(1, "Protokoll - Editor"), shownWindow(2, "Rechner")};
        t->app.settings.anwendung = "vorher";
        t->app.abbruch = false;
        select_application &page = t->app.form<select_application>();
        if (chosen >= 0)
            page.findChild<QListWidget *>("lstApplications")->item(chosen)->setSelected(true);
        QPushButton *ok = button(&page, "cmdGoOn");

        QVERIFY(ok->isEnabled());
        ok->click();
        QCOMPARE(t->app.settings.anwendung, anwendung);
        QVERIFY(!t->app.isLoaded<select_application>());
        QCOMPARE(t->app.abbruch, false);
    }

    void pickerRefreshListsAnewWithoutChoice()
    {
        windows->windows = {shownWindow(1, "Rechner")};
        select_application &page = t->app.form<select_application>();
        auto *list = page.findChild<QListWidget *>("lstApplications");
        list->item(0)->setSelected(true);

        windows->windows = {shownWindow(2, "Editor"), shownWindow(1, "Rechner")};
        button(&page, "cmdRefresh")->click();
        QCOMPARE(listItems(list), QStringList({"Editor", "Rechner"}));
        QVERIFY(list->selectedItems().isEmpty());
    }

    void pickerCancelAndCloseButton_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<bool>("abbruch");
        QTest::newRow("Abbrechen") << "cmdCancel" << true;
        QTest::newRow("close button") << "close" << false;
    }

    void pickerCancelAndCloseButton()
    {
        QFETCH(QString, ending);
        QFETCH(bool, abbruch);
        windows->windows = {shownWindow(1, "Rechner")};
        t->app.settings.anwendung = "vorher";
        select_application &page = t->app.form<select_application>();
        page.findChild<QListWidget *>()->item(0)->setSelected(true);
        page.show();

        if (ending == "close")
            page.close();
        else
            button(&page, ending)->click();
        QCOMPARE(t->app.abbruch, abbruch);
        QCOMPARE(t->app.settings.anwendung, QString("vorher"));
        QVERIFY(!t->app.isLoaded<select_application>());
    }

    // The target page writes anwendung before the detail page opens, so a
    // cancelled detail page leaves it; a typed text counts as the active
    // application. With the caller "format_def" nothing follows the detail page.
    void targetOpensDetailPage_data()
    {
        QTest::addColumn<int>("index"); // -1: a typed text
        QTest::addColumn<QString>("detailPage");
        QTest::addColumn<QString>("anwendung");
        QTest::newRow("aktive Anwendung") << 0 << "select_application"
                                          << "vorher";
        QTest::newRow("typed text") << -1 << "select_application"
                                    << "vorher";
        QTest::newRow("DDE-Kanal") << 1 << "select_DDEParameter"
                                   << "*DDE*";
        QTest::newRow("Excel-Datei") << 2 << "select_ExcelFile"
                                     << "Excel-Datei";
        QTest::newRow("Text-Datei") << 3 << "select_TextFile"
                                    << "Text-Datei";
        QTest::newRow("Access-Datenbank") << 4 << "select_AccessFile"
                                          << "Access-Datenbank";
    }

    void targetOpensDetailPage()
    {
        QFETCH(int, index);
        QFETCH(QString, detailPage);
        QFETCH(QString, anwendung);
        t->app.settings.anwendung = "vorher";
        select_target &page = t->app.form<select_target>();
        setTag(&page, "format_def");
        auto *cbo = page.findChild<QComboBox *>("cboTarget");
        cbo->setCurrentIndex(index < 0 ? 2 : index);
        if (index < 0)
            cbo->setEditText("Excel-Datei 2");
        t->app.abbruch = true;

        ModalScript script;
        script.click("select_target", "cmdGoOn").click(detailPage, "cmdCancel");
        page.exec();

        QCOMPARE(script.seen, QStringList({"select_target", detailPage}));
        QCOMPARE(script.faults, QStringList());
        QCOMPARE(t->app.settings.anwendung, anwendung);
        QCOMPARE(t->app.abbruch, true);
        QVERIFY(!t->app.isLoaded<select_target>());
    }

    void targetCancelAndCloseButton_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<bool>("abbruch");
        QTest::newRow("Abbrechen") << "cmdCancel" << true;
        QTest::newRow("close button") << "close" << false;
    }

    void targetCancelAndCloseButton()
    {
        QFETCH(QString, ending);
        QFETCH(bool, abbruch);
        t->app.settings.anwendung = "vorher";
        select_target &page = t->app.form<select_target>();
        page.findChild<QComboBox *>()->setCurrentIndex(2);

        ModalScript script;
        if (ending == "close")
            script.close("select_target");
        else
            script.click("select_target", ending);
        page.exec();

        QCOMPARE(script.seen, QStringList{"select_target"});
        QCOMPARE(t->app.abbruch, abbruch);
        QCOMPARE(t->app.settings.anwendung, QString("vorher"));
        QVERIFY(!t->app.isLoaded<select_target>());
    }
};

QTEST_MAIN(WizardPagesTests)
#include "tst_wizard_pages.moc"
