#include "core/mainform/control_tag.h"
#include "core/mainform/mainform.h"
#include "core/settings/settings.h"
#include "dialogs/format_def.h"
#include "dialogs/select_target.h"
#include "tests/support/modal_script.h"
#include "tests/support/test_app.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// The Excel-Datei entry of cboTarget.
constexpr int kExcelFile = 2;

QStringList saveDialogs(const ScriptedPrompts &prompts)
{
    QStringList titles;
    for (const ScriptedPrompts::Shown &s : prompts.shown)
        if (s.kind == QLatin1String("save"))
            titles << s.title;
    return titles;
}

} // namespace

// The set-up wizard from the target page on, answered page by page.
class WizardChainTests : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> t;

    // The target page with the Excel entry chosen and the caller tag.
    select_target &targetPage(const QString &caller)
    {
        select_target &page = t->app.form<select_target>();
        setTag(&page, caller);
        page.findChild<QComboBox *>(QStringLiteral("cboTarget"))->setCurrentIndex(kExcelFile);
        return page;
    }

    // A step that types the path into the Excel page, then ends it with button.
    void answerExcelPage(ModalScript &script, const QString &button)
    {
        script.then("select_ExcelFile", [&script, button](QWidget *page) {
            page->findChild<QLineEdit *>("txtExcelFile")->setText("/daten/neu.xlsx");
            if (button == QLatin1String("close"))
                page->close();
            else if (auto *b = page->findChild<QPushButton *>(button))
                b->click();
            else
                script.faults << "no button " + button;
        });
    }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        t = std::make_unique<TestApp>();
        t->app.settings.ExcelFile = "/daten/alt.xlsx";
    }
    void cleanup()
    {
        t.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // From the transfer dialog's target button the page only stores the target,
    // whichever way the detail page ends.
    void transferDialogCallerOnlyStoresTheTarget_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("excelFile");
        QTest::addColumn<bool>("abbruch");
        QTest::newRow("Ok") << "cmdGoOn"
                            << "/daten/neu.xlsx" << false;
        QTest::newRow("Abbrechen") << "cmdCancel"
                                   << "/daten/alt.xlsx" << true;
        QTest::newRow("close button") << "close"
                                      << "/daten/alt.xlsx" << false;
    }

    void transferDialogCallerOnlyStoresTheTarget()
    {
        QFETCH(QString, ending);
        QFETCH(QString, excelFile);
        QFETCH(bool, abbruch);
        select_target &page = targetPage("format_def");
        ModalScript script;
        script.click("select_target", "cmdGoOn");
        answerExcelPage(script, ending);

        page.exec();

        QCOMPARE(script.faults, QStringList());
        QCOMPARE(script.seen, QStringList({"select_target", "select_ExcelFile"}));
        QCOMPARE(t->app.settings.anwendung, QString("Excel-Datei"));
        QCOMPARE(t->app.settings.ExcelFile, excelFile);
        QCOMPARE(t->app.abbruch, abbruch);
        QCOMPARE(saveDialogs(t->prompts), QStringList());
    }

    // The transfer dialog's "...": the offline display before the target page,
    // then only the target is stored, and the dialog's box and OK keep it.
    void transferDialogTargetButton()
    {
        readSettingsRecord(t->app, QString());
        t->app.settings.anwendung = "Rechner";
        mainform &mw = t->app.mainWindow();
        mw.MesswertAnzeige()->setText("12,5");
        mw.einheit()->setText("g");
        mw.Vorzeichen()->setText("-");
        format_def &dialog = t->app.form<format_def>();
        auto *target = dialog.findChild<QComboBox *>("anwendung_set");
        target->setEditText("getippt");
        QStringList shownBeforePage;

        ModalScript script;
        script.then("select_target", [&](QWidget *page) {
            shownBeforePage << mw.MesswertAnzeige()->text() << mw.einheit()->text()
                            << mw.Vorzeichen()->text();
            page->findChild<QComboBox *>("cboTarget")->setCurrentIndex(3);
            page->findChild<QPushButton *>("cmdGoOn")->click();
        });
        script.then("select_TextFile", [](QWidget *page) {
            page->findChild<QLineEdit *>("txtTextFile")->setText("/daten/werte.txt");
            page->findChild<QPushButton *>("cmdGoOn")->click();
        });
        dialog.findChild<QPushButton *>("Command1")->click();

        QCOMPARE(script.faults, QStringList());
        QCOMPARE(script.seen, QStringList({"select_target", "select_TextFile"}));
        QCOMPARE(shownBeforePage, QStringList({"Offline", "", ""}));
        QCOMPARE(t->app.settings.anwendung, QString("Text-Datei"));
        QCOMPARE(t->app.settings.TextFile, QString("/daten/werte.txt"));
        QCOMPARE(target->currentText(), QString("Text-Datei"));
        QCOMPARE(saveDialogs(t->prompts), QStringList());

        dialog.findChild<QPushButton *>("OK")->click();
        QCOMPARE(t->app.settings.anwendung, QString("Text-Datei"));
    }

    // Abbrechen on the detail page ends the wizard after that page; anwendung
    // stays as the target page wrote it.
    void cancelledDetailPageEndsTheWizard()
    {
        select_target &page = targetPage(QString());
        ModalScript script;
        script.click("select_target", "cmdGoOn");
        answerExcelPage(script, "cmdCancel");

        page.exec();

        QCOMPARE(script.faults, QStringList());
        QCOMPARE(script.seen, QStringList({"select_target", "select_ExcelFile"}));
        QCOMPARE(t->app.settings.anwendung, QString("Excel-Datei"));
        QCOMPARE(t->app.settings.ExcelFile, QString("/daten/alt.xlsx"));
        QCOMPARE(saveDialogs(t->prompts), QStringList());
    }

    // In the wizard the target page leads on: telegram template, template editor,
    // transfer settings and the save dialog, each after the one before has
    // closed. A template edited in the editor reaches format on the transfer
    // dialog's OK; a detail page closed with its close button goes on too, and a
    // cancelled telegram dialog still leads to the transfer settings.
    void wizardRunsToTheSaveDialog_data()
    {
        QTest::addColumn<QString>("detailEnding");
        QTest::addColumn<bool>("telegramOk");
        QTest::newRow("all Ok") << "cmdGoOn" << true;
        QTest::newRow("detail page closed") << "close" << true;
        QTest::newRow("telegram dialog cancelled") << "cmdGoOn" << false;
    }

    void wizardRunsToTheSaveDialog()
    {
        QFETCH(QString, detailEnding);
        QFETCH(bool, telegramOk);
        readSettingsRecord(t->app, QString());
        t->app.settings.format = "{Messwert}";
        select_target &page = targetPage(QString());
        ModalScript script;
        script.click("select_target", "cmdGoOn");
        answerExcelPage(script, detailEnding);
        script.click("messwert_def", telegramOk ? "cmdOK" : "cmdCancel");
        if (telegramOk) {
            script.then("Tasten", [&script](QWidget *editor) {
                if (auto *tab = editor->findChild<QPushButton *>("Key_(12)")) // {TAB}
                    tab->click();
                else
                    script.faults << "no TAB key";
                editor->findChild<QPushButton *>("Command1")->click();
            });
        }
        script.click("format_def", "OK");
        t->prompts.fileAnswers = {std::nullopt};

        page.exec();

        QCOMPARE(script.faults, QStringList());
        QStringList pages{"select_target", "select_ExcelFile", "messwert_def"};
        if (telegramOk)
            pages << "Tasten";
        pages << "format_def";
        QCOMPARE(script.seen, pages);
        QCOMPARE(saveDialogs(t->prompts).size(), 1);
        QCOMPARE(t->app.settings.format,
                 telegramOk ? QString("{Messwert}{TAB}") : QString("{Messwert}"));
    }

    void cancelledTargetPageEndsTheWizard_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("Abbrechen") << "cmdCancel";
        QTest::newRow("close button") << "close";
    }

    void cancelledTargetPageEndsTheWizard()
    {
        QFETCH(QString, ending);
        select_target &page = targetPage(QString());
        ModalScript script;
        if (ending == "close")
            script.close("select_target");
        else
            script.click("select_target", ending);

        page.exec();

        QCOMPARE(script.faults, QStringList());
        QCOMPARE(script.seen, QStringList{"select_target"});
        QCOMPARE(t->app.settings.anwendung, QString());
        QCOMPARE(saveDialogs(t->prompts), QStringList());
    }
};

QTEST_MAIN(WizardChainTests)
#include "tst_wizard_chain.moc"
