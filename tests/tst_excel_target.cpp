#include "core/delivery/excel_target.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "tests/support/limited_disk.h"
#include "tests/support/test_app.h"
#include "tests/support/workbook_files.h"

#include <QJsonArray>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace {

const QString kMessage = QStringLiteral("Datei %1 nicht gefunden, bitte prüfen Sie die "
                                        "Einstellungen für Speicherung in einer Excel-Datei");

QByteArray contentOf(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The target set to the fixture workbook, whose column A is filled down to row 4
// and blank in row 5 ("   "), where B5 holds "keep".
struct Fixture {
    TestApp t;
    QString file = t.path(QStringLiteral("Messwerte.xlsx"));

    Fixture() { useFile(file); }
    void useFile(const QString &workbook)
    {
        file = workbook;
        t.app.settings.anwendung = QStringLiteral("Excel-Datei");
        t.app.settings.ExcelFile = file;
        t.app.settings.AppList = {
            {QString(), QStringLiteral("Mappe"), QStringLiteral("EXCEL.EXE")}};
        t.app.AppIndex = 0;
    }
    QString status() { return t.app.mainWindow().Status()->panelText(1); }
    // Values of the cells of row in columns A..D as openpyxl reads them (formulas
    // as their text).
    QJsonArray row(int row) const
    {
        QStringList refs;
        for (const char column : {'A', 'B', 'C', 'D'})
            refs << QLatin1Char(column) + QString::number(row);
        const QJsonObject cells =
            readWithOpenpyxl(file, QStringLiteral("Tabelle1"), refs)["cells"].toObject();
        QJsonArray values;
        for (const QString &ref : refs)
            values.append(cells.value(ref).toArray().at(0));
        return values;
    }
};

} // namespace

class tst_excel_target : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void writesFieldsIntoFirstBlankRow_data();
    void writesFieldsIntoFirstBlankRow();
    void openFailureShowsOneMessage_data();
    void openFailureShowsOneMessage();
    void failedSaveIsReportedAndFileKept_data();
    void failedSaveIsReportedAndFileKept();
    void formulaInColumnAIsFilled_data();
    void formulaInColumnAIsFilled();
    void formulasAreRecalculatedOnLoad();
    void noEventsRunDuringDelivery();
};

void tst_excel_target::writesFieldsIntoFirstBlankRow_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("strAusgabe");
    QTest::addColumn<QJsonArray>("row5");
    const QJsonValue none = QJsonValue::Null;
    QTest::newRow("two closed fields") << "C"
                                       << "m1{TAB}m2{TAB}" << QJsonArray{"m1", "m2", none, none};
    QTest::newRow("last field not closed") << "C"
                                           << "m1{TAB}m2" << QJsonArray{"m1", "keep", none, none};
    QTest::newRow("no field end: whole string in A")
        << "C"
        << "12.5 g" << QJsonArray{"12.5 g", "keep", none, none};
    QTest::newRow("empty field leaves its cell")
        << "C"
        << "m1{TAB}{TAB}m3{TAB}" << QJsonArray{"m1", "keep", "m3", none};
    QTest::newRow("German number becomes numeric")
        << "de_DE"
        << "12,50{TAB}g{TAB}" << QJsonArray{12.5, "g", none, none};
    QTest::newRow("comma in C stays text")
        << "C"
        << "12,50{TAB}{TAB}{TAB}7{TAB}" << QJsonArray{"12,50", "keep", none, 7};
}

void tst_excel_target::writesFieldsIntoFirstBlankRow()
{
    QFETCH(QString, locale);
    QFETCH(QString, strAusgabe);
    QFETCH(QJsonArray, row5);
    QLocale::setDefault(QLocale(locale));
    Fixture f;
    QVERIFY(makeWorkbook(f.file));

    QCOMPARE(deliverToExcelFile(f.t.app, strAusgabe), QString());
    QCOMPARE(f.row(5), row5);
    QCOMPARE(f.row(4).at(0).toString(), QStringLiteral("Ende"));
    QCOMPARE(f.row(6),
             (QJsonArray{QJsonValue::Null, QJsonValue::Null, QJsonValue::Null, QJsonValue::Null}));
    QVERIFY(f.t.prompts.shown.isEmpty());
}

void tst_excel_target::openFailureShowsOneMessage_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("AppIndex");
    QTest::addColumn<bool>("namesProgram"); // else the workbook
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << "missing" << 0 << true << "no such file";
    QTest::newRow("no zip") << "text" << 0 << true << "not a workbook";
    QTest::newRow("no sheet Tabelle1") << "Blatt1" << 0 << true << "no sheet named \"Tabelle1\"";
    QTest::newRow("AppIndex past AppList") << "missing" << 3 << false << "no such file";
}

void tst_excel_target::openFailureShowsOneMessage()
{
    QFETCH(QString, kind);
    QFETCH(int, AppIndex);
    QFETCH(bool, namesProgram);
    QFETCH(QString, reason);
    Fixture f;
    f.t.app.AppIndex = AppIndex;
    if (kind == QLatin1String("text"))
        f.t.writeFile(QStringLiteral("Messwerte.xlsx"), "Probe;2.5\r\n");
    else if (kind != QLatin1String("missing"))
        QVERIFY(makeWorkbook(f.file, 0, kind));
    const QByteArray before = contentOf(f.file);

    const QString failure = deliverToExcelFile(f.t.app, QStringLiteral("m1{TAB}m2{TAB}"));
    QVERIFY2(failure.contains(reason), qPrintable(failure));
    QCOMPARE(f.t.prompts.messages(),
             QStringList{kMessage.arg(namesProgram ? QStringLiteral("EXCEL.EXE") : f.file)});
    QCOMPARE(f.status(), failure);
    QCOMPARE(contentOf(f.file), before);
}

void tst_excel_target::failedSaveIsReportedAndFileKept_data()
{
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder refuses, unprivileged")
        << "folder"
        << "cannot be saved: " + QString::fromLocal8Bit(std::strerror(EACCES));
    QTest::newRow("read-only workbook") << "mode"
                                        << "cannot be saved: the file is read-only";
    QTest::newRow("open in LibreOffice")
        << ".~lock.Messwerte.xlsx#"
        << "is open in another program (lock file .~lock.Messwerte.xlsx#)";
    QTest::newRow("open in Excel") << "~$Messwerte.xlsx"
                                   << "is open in another program (lock file ~$Messwerte.xlsx)";
    QTest::newRow("full disk") << "full disk"
                               << "cannot be saved: " +
                                      QString::fromLocal8Bit(std::strerror(ENOSPC));
    QTest::newRow("file-size limit")
        << "size limit"
        << "cannot be saved: " + QString::fromLocal8Bit(std::strerror(EFBIG));
}

void tst_excel_target::failedSaveIsReportedAndFileKept()
{
    // Each is Excel's general error, as a workbook that cannot be opened: the
    // same message box, the reason in the status panel, the file untouched.
    QFETCH(QString, refusal);
    QFETCH(QString, reason);
    Fixture f;
    std::optional<SmallDisk> disk;
    if (refusal == QLatin1String("full disk")) {
        disk.emplace();
        if (!disk->mounted())
            QSKIP("mounting a small tmpfs needs root");
        f.useFile(disk->path(QStringLiteral("Messwerte.xlsx")));
    }
    QVERIFY(makeWorkbook(f.file));
    const QByteArray before = contentOf(f.file);
    f.t.app.mainWindow();
    const QString folder = QFileInfo(f.file).path();
    const QByteArray folderPath = QFile::encodeName(folder);
    const auto restoreFolder = qScopeGuard([&] { ::chmod(folderPath.constData(), 0700); });
    const auto deliver = [&] {
        return deliverToExcelFile(f.t.app, QStringLiteral("m1{TAB}"));
    };
    QStringList names;
    QString failure;
    if (refusal == QLatin1String("folder")) {
        // Only the folder refuses: unprivileged, the workbook can be read but not replaced.
        QCOMPARE(::chmod(folderPath.constData(), 0555), 0);
        names = entriesOf(folder);
        AsUnprivilegedUser nobody;
        QVERIFY(nobody.active());
        failure = deliver();
    } else if (refusal == QLatin1String("size limit")) {
        names = entriesOf(folder);
        FileSizeLimit limit(1024);
        QVERIFY(limit.active());
        failure = deliver();
    } else {
        // As whoever runs the tests, root included.
        if (disk)
            disk->fill();
        else if (refusal == QLatin1String("mode"))
            QCOMPARE(::chmod(QFile::encodeName(f.file).constData(), 0444), 0);
        else
            f.t.writeFile(refusal, "locked");
        names = entriesOf(folder);
        failure = deliver();
    }

    QCOMPARE(failure, f.file + QStringLiteral(": ") + reason);
    QCOMPARE(f.status(), failure);
    QCOMPARE(f.t.prompts.messages(), QStringList{kMessage.arg(QStringLiteral("EXCEL.EXE"))});
    QCOMPARE(contentOf(f.file), before);
    QCOMPARE(entriesOf(folder), names);
}

void tst_excel_target::formulaInColumnAIsFilled_data()
{
    // A5 of the fixture holds "   ", a blank the row search takes; each case puts
    // a formula there instead.
    QTest::addColumn<QByteArray>("a5");
    QTest::addColumn<QString>("formula"); // as openpyxl reads it back
    QTest::newRow("no cached value, as openpyxl saves it")
        << QByteArray(R"(<c r="A5"><f>A3*2</f><v></v></c>)") << "=A3*2";
    QTest::newRow("no value element") << QByteArray(R"(<c r="A5"><f>A3*2</f></c>)") << "=A3*2";
    QTest::newRow("cached empty string")
        << QByteArray(R"(<c r="A5" t="str"><f>IF(A3&gt;0,"","x")</f><v></v></c>)")
        << "=IF(A3>0,\"\",\"x\")";
    QTest::newRow("cached blanks")
        << QByteArray(R"(<c r="A5" t="str"><f>"  "</f><v>  </v></c>)") << "=\"  \"";
}

void tst_excel_target::formulaInColumnAIsFilled()
{
    QFETCH(QByteArray, a5);
    QFETCH(QString, formula);
    Fixture f;
    QVERIFY(makeWorkbook(f.file));
    QVERIFY(replaceInEntry(f.file, QStringLiteral("xl/worksheets/sheet1.xml"),
                           R"(<c r="A5" t="s"><v>2</v></c>)", a5));

    QCOMPARE(deliverToExcelFile(f.t.app, QStringLiteral("m1{TAB}m2{TAB}")), QString());
    QCOMPARE(f.row(5).at(0).toString(), formula);
    QCOMPARE(f.row(5).at(1).toString(), QStringLiteral("keep"));
    QCOMPARE(f.row(6).at(0).toString(), QStringLiteral("m1"));
    QCOMPARE(f.row(6).at(1).toString(), QStringLiteral("m2"));
}

void tst_excel_target::formulasAreRecalculatedOnLoad()
{
    // B1 =SUM(A1:A4) caches 6 before A4 is delivered; B4 =A4*2, listed in the
    // calculation chain, is overwritten by the second field.
    Fixture f;
    QVERIFY(makeSumWorkbook(f.file));
    QVERIFY(zipEntry(f.file, QStringLiteral("xl/calcChain.xml")).contains(R"(<c r="B4")"));

    QCOMPARE(deliverToExcelFile(f.t.app, QStringLiteral("4{TAB}9{TAB}")), QString());
    QCOMPARE(f.row(4), (QJsonArray{4, 9, QJsonValue::Null, QJsonValue::Null}));
    QCOMPARE(f.row(1).at(1).toString(), QStringLiteral("=SUM(A1:A4)"));
    QVERIFY(zipEntry(f.file, QStringLiteral("xl/workbook.xml"))
                .contains(R"(<calcPr calcId="124519" fullCalcOnLoad="1"/>)"));
    for (const auto &[name, data] : zipEntries(f.file)) {
        QVERIFY2(name != QLatin1String("xl/calcChain.xml"), "the stale chain is still there");
        QVERIFY2(!data.contains("calcChain"), qPrintable(name));
    }
}

void tst_excel_target::noEventsRunDuringDelivery()
{
    // A tick or a button that delivers while a delivery runs must wait for it:
    // run in between, it would take the same blank row, and one save would be lost.
    Fixture f;
    QVERIFY(makeWorkbook(f.file));
    QString inner = QStringLiteral("not run");
    QTimer::singleShot(0, this,
                       [&] { inner = deliverToExcelFile(f.t.app, QStringLiteral("inner{TAB}")); });

    QCOMPARE(deliverToExcelFile(f.t.app, QStringLiteral("outer{TAB}")), QString());
    QCOMPARE(inner, QStringLiteral("not run"));
    QTRY_COMPARE(inner, QString());
    QCOMPARE(f.row(5).at(0).toString(), QStringLiteral("outer"));
    QCOMPARE(f.row(6).at(0).toString(), QStringLiteral("inner"));
}

QTEST_MAIN(tst_excel_target)
#include "tst_excel_target.moc"
