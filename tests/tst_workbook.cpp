#include "platform/office/workbook.h"
#include "tests/support/limited_disk.h"
#include "tests/support/workbook_files.h"

#include <QDir>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const QString kSheetEntry = QStringLiteral("xl/worksheets/sheet1.xml");
const QString kWorkbookEntry = QStringLiteral("xl/workbook.xml");
const QString kRelsEntry = QStringLiteral("xl/_rels/workbook.xml.rels");
const QString kTypesEntry = QStringLiteral("[Content_Types].xml");
const QString kChainEntry = QStringLiteral("xl/calcChain.xml");

QByteArray contentOf(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

mode_t modeOf(const QString &file)
{
    struct stat st;
    return ::lstat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_mode : 0;
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// [value, type name, number format, bold] of one cell as openpyxl read it.
QJsonArray cellOf(const QJsonObject &book, const QString &ref)
{
    return book.value(QStringLiteral("cells")).toObject().value(ref).toArray();
}

// The fixture workbook in a temporary folder.
struct Fixture {
    QTemporaryDir folder;
    QString file = folder.filePath(QStringLiteral("book.xlsx"));
    bool make() { return makeWorkbook(file); }
};

// Writes text into cell (row, column) of "Tabelle1" and saves.
ControlStatus writeAndSave(const QString &file, int row, int column, const QString &text)
{
    Workbook workbook;
    ControlStatus status = workbook.open(file, QStringLiteral("Tabelle1"));
    if (status)
        status = workbook.setCell(row, column, text);
    return status ? workbook.saveAndClose() : status;
}

} // namespace

class tst_workbook : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void readsCells_data();
    void readsCells();
    void writesValueByLocale_data();
    void writesValueByLocale();
    void stringsKeepOuterBlanks_data();
    void stringsKeepOuterBlanks();
    void writeKeepsEverythingElse();
    void insertsRowsAndCellsInOrder();
    void openFails_data();
    void openFails();
    void asksForRecalculation_data();
    void asksForRecalculation();
    void dropsCalculationChain_data();
    void dropsCalculationChain();
    void failedSaveKeepsFile_data();
    void failedSaveKeepsFile();
    void killedSaveLeavesNothingBehind();
    void refusesReadOnlyOrOpenWorkbook_data();
    void refusesReadOnlyOrOpenWorkbook();
    void refusesToOverwriteNewerFile();
    void saveKeepsModeOwnerAndLink();
};

void tst_workbook::readsCells_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("formula");
    QTest::newRow("shared string") << "Tabelle1" << 1 << 1 << "Probe" << false;
    QTest::newRow("number") << "Tabelle1" << 1 << 2 << "2.5" << false;
    QTest::newRow("formula's cached number") << "Tabelle1" << 1 << 3 << "5" << true;
    QTest::newRow("boolean") << "Tabelle1" << 1 << 4 << "TRUE" << false;
    QTest::newRow("inline string, control character")
        << "Tabelle1" << 2 << 1 << "in\x1bline" << false;
    QTest::newRow("merged, absent cell") << "Tabelle1" << 2 << 4 << "" << false;
    QTest::newRow("integer") << "Tabelle1" << 3 << 1 << "12" << false;
    QTest::newRow("formula's cached string") << "Tabelle1" << 3 << 2 << "Probe!" << true;
    QTest::newRow("rich text") << "Tabelle1" << 4 << 1 << "Ende" << false;
    QTest::newRow("blanks") << "Tabelle1" << 5 << 1 << "   " << false;
    QTest::newRow("styled, empty") << "Tabelle1" << 5 << 3 << "" << false;
    QTest::newRow("absent row") << "Tabelle1" << 9 << 1 << "" << false;
    QTest::newRow("other sheet, name in other case") << "daten" << 1 << 1 << "other" << false;
}

void tst_workbook::readsCells()
{
    QFETCH(QString, sheet);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, expected);
    QFETCH(bool, formula);
    Fixture f;
    QVERIFY(f.make());
    Workbook workbook;
    QVERIFY(workbook.open(f.file, sheet).ok());
    QCOMPARE(workbook.cell(row, column), expected);
    QCOMPARE(workbook.hasFormula(row, column), formula);
}

void tst_workbook::writesValueByLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("stored"); // as openpyxl reads it
    QTest::addColumn<QString>("readBack");
    QTest::newRow("German decimal comma") << "de_DE"
                                          << "12,50" << QVariant(12.5) << "12.5";
    QTest::newRow("padded negative, German") << "de_DE"
                                             << "  -3,25 " << QVariant(-3.25) << "-3.25";
    QTest::newRow("comma in C stays text") << "C"
                                           << "12,50" << QVariant("12,50") << "12,50";
    QTest::newRow("C decimal point") << "C"
                                     << "12.5" << QVariant(12.5) << "12.5";
    QTest::newRow("instrument's point in German") << "de_DE"
                                                  << "1.250" << QVariant(1.25) << "1.25";
    QTest::newRow("grouped digits stay text") << "de_DE"
                                              << "1.234,5" << QVariant("1.234,5") << "1.234,5";
    QTest::newRow("group comma in en_US stays text") << "en_US"
                                                     << "1,500" << QVariant("1,500") << "1,500";
    QTest::newRow("leading zero stays text") << "C"
                                             << "007" << QVariant("007") << "007";
    QTest::newRow("twenty-digit code stays text")
        << "C"
        << "12345678901234567890" << QVariant("12345678901234567890") << "12345678901234567890";
    QTest::newRow("more digits than a double keeps")
        << "C"
        << "12345678901234567" << QVariant("12345678901234567") << "12345678901234567";
    QTest::newRow("infinity stays text") << "C"
                                         << "inf" << QVariant("inf") << "inf";
    QTest::newRow("markup") << "C"
                            << "a<b & \"c\"" << QVariant("a<b & \"c\"") << "a<b & \"c\"";
    QTest::newRow("control character as Excel writes it")
        << "C"
        << "esc\x1b\rx" << QVariant("esc_x001B__x000D_x") << "esc\x1b\rx";
    QTest::newRow("literal escape form") << "C"
                                         << "_x0041_" << QVariant("_x005F_x0041_") << "_x0041_";
    QTest::newRow("not quite the escape form")
        << "C"
        << "_x+1B2_ _x1G2_" << QVariant("_x+1B2_ _x1G2_") << "_x+1B2_ _x1G2_";
    QTest::newRow("outer blanks") << "C"
                                  << " g " << QVariant(" g ") << " g ";
    QTest::newRow("non-ASCII") << "C"
                               << "Grüße µg" << QVariant("Grüße µg") << "Grüße µg";
}

void tst_workbook::writesValueByLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(QVariant, stored);
    QFETCH(QString, readBack);
    QLocale::setDefault(QLocale(locale));
    Fixture f;
    QVERIFY(f.make());
    // C5 is empty and has the number format 0.00.
    QVERIFY(writeAndSave(f.file, 5, 3, text).ok());

    const QJsonArray c5 =
        cellOf(readWithOpenpyxl(f.file, QStringLiteral("Tabelle1"), {QStringLiteral("C5")}),
               QStringLiteral("C5"));
    QCOMPARE(c5.at(0).toVariant(), stored);
    QCOMPARE(c5.at(1).toString(), stored.typeId() == QMetaType::QString ? QStringLiteral("str")
                                                                        : QStringLiteral("float"));
    QCOMPARE(c5.at(2).toString(), QStringLiteral("0.00"));
    Workbook workbook;
    QVERIFY(workbook.open(f.file, QStringLiteral("Tabelle1")).ok());
    QCOMPARE(workbook.cell(5, 3), readBack);
}

void tst_workbook::stringsKeepOuterBlanks_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("both ends") << " g ";
    QTest::newRow("leading blanks") << "  12,5 g";
    QTest::newRow("trailing tab") << "g\t";
    QTest::newRow("blanks only") << "   ";
    QTest::newRow("line break only") << "\n";
}

void tst_workbook::stringsKeepOuterBlanks()
{
    QFETCH(QString, text);
    Fixture f;
    QVERIFY(f.make());
    QVERIFY(writeAndSave(f.file, 6, 1, text).ok());

    const QJsonArray a6 =
        cellOf(readWithOpenpyxl(f.file, QStringLiteral("Tabelle1"), {QStringLiteral("A6")}),
               QStringLiteral("A6"));
    QCOMPARE(a6.at(0).toString(), text);
    // Excel trims a <t> without xml:space="preserve"; openpyxl does not.
    const QString xml = QString::fromUtf8(zipEntry(f.file, kSheetEntry));
    const QRegularExpression a6String(
        QStringLiteral(R"(<c r="A6" t="inlineStr"><is><t xml:space="preserve">)"));
    QVERIFY2(a6String.match(xml).hasMatch(), qPrintable(xml.mid(xml.indexOf(u"A6") - 4, 80)));
}

void tst_workbook::writeKeepsEverythingElse()
{
    Fixture f;
    QVERIFY(f.make());
    const auto before = zipEntries(f.file);
    Workbook workbook;
    QVERIFY(workbook.open(f.file, QStringLiteral("Tabelle1")).ok());
    QVERIFY(workbook.setCell(5, 2, QStringLiteral("neu")).ok()); // bold, a shared string before
    QVERIFY(workbook.setCell(1, 3, QStringLiteral("7")).ok());   // was the formula =B1*2
    QVERIFY(workbook.saveAndClose().ok());

    const QJsonObject book =
        readWithOpenpyxl(f.file, QStringLiteral("Tabelle1"),
                         {QStringLiteral("A1"), QStringLiteral("A4"), QStringLiteral("B3"),
                          QStringLiteral("B5"), QStringLiteral("C1")});
    QCOMPARE(cellOf(book, QStringLiteral("B5"))[0].toString(), QStringLiteral("neu"));
    QVERIFY(cellOf(book, QStringLiteral("B5"))[3].toBool());
    QCOMPARE(cellOf(book, QStringLiteral("C1"))[0].toInt(), 7);
    QCOMPARE(cellOf(book, QStringLiteral("A1"))[0].toString(), QStringLiteral("Probe"));
    QCOMPARE(cellOf(book, QStringLiteral("A4"))[0].toString(), QStringLiteral("Ende"));
    QCOMPARE(cellOf(book, QStringLiteral("B3"))[0].toString(), QStringLiteral("=A1&\"!\""));
    QCOMPARE(book.value(QStringLiteral("merged")).toArray(), QJsonArray{QStringLiteral("D2:E2")});
    QCOMPARE(book.value(QStringLiteral("sheets")).toArray(),
             (QJsonArray{QStringLiteral("Tabelle1"), QStringLiteral("Daten")}));

    // What the recalculation request and the dropped chain change is checked below.
    const QStringList changed = {kSheetEntry, kWorkbookEntry, kRelsEntry, kTypesEntry};
    auto expected = before;
    expected.removeIf([](const auto &e) { return e.first == kChainEntry; });
    QCOMPARE(expected.size(), before.size() - 1);
    const auto after = zipEntries(f.file);
    QCOMPARE(after.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(after[i].first, expected[i].first);
        if (!changed.contains(expected[i].first))
            QVERIFY2(after[i].second == expected[i].second, qPrintable(expected[i].first));
    }
}

void tst_workbook::asksForRecalculation_data()
{
    // The fixture's workbook.xml ends "</sheets><definedNames/><calcPr calcId="124519"/>
    // </workbook>"; each case puts its own end there and expects another after a save.
    QTest::addColumn<QByteArray>("end");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("calcPr without the flag")
        << QByteArray(R"(<definedNames/><calcPr calcId="124519"/></workbook>)")
        << QByteArray(R"(<definedNames/><calcPr calcId="124519" fullCalcOnLoad="1"/></workbook>)");
    QTest::newRow("flag off")
        << QByteArray(R"(<calcPr calcId="124519" fullCalcOnLoad="0" iterate="1"/></workbook>)")
        << QByteArray(R"(<calcPr calcId="124519" fullCalcOnLoad="1" iterate="1"/></workbook>)");
    QTest::newRow("flag already on, entry kept")
        << QByteArray(R"(<calcPr fullCalcOnLoad="true" calcId="124519"/></workbook>)")
        << QByteArray(R"(<calcPr fullCalcOnLoad="true" calcId="124519"/></workbook>)");
    QTest::newRow("no calcPr: after the defined names, before the extensions")
        << QByteArray(R"(<definedNames><definedName name="n">Daten!$A$1</definedName>)"
                      R"(</definedNames><fileRecoveryPr/><extLst/></workbook>)")
        << QByteArray(R"(<definedNames><definedName name="n">Daten!$A$1</definedName>)"
                      R"(</definedNames><calcPr fullCalcOnLoad="1"/><fileRecoveryPr/><extLst/>)"
                      R"(</workbook>)");
    QTest::newRow("no calcPr, no defined names: after the sheets")
        << QByteArray("</workbook>") << QByteArray(R"(<calcPr fullCalcOnLoad="1"/></workbook>)");
}

void tst_workbook::asksForRecalculation()
{
    // Formulas that depend on a new cell keep their old cached results: every
    // reader must compute them anew.
    QFETCH(QByteArray, end);
    QFETCH(QByteArray, saved);
    Fixture f;
    QVERIFY(f.make());
    const QByteArray fixtureEnd = R"(<definedNames/><calcPr calcId="124519"/></workbook>)";
    QVERIFY(replaceInEntry(f.file, kWorkbookEntry, fixtureEnd, end));
    const QByteArray before = zipEntry(f.file, kWorkbookEntry);

    QVERIFY(writeAndSave(f.file, 6, 1, QStringLiteral("neu")).ok());
    QByteArray expected = before;
    expected.replace(end, saved);
    QCOMPARE(zipEntry(f.file, kWorkbookEntry), expected);
    QCOMPARE(readWithOpenpyxl(f.file, QStringLiteral("Tabelle1"), {QStringLiteral("A6")})
                 .value(QStringLiteral("sheets"))
                 .toArray()
                 .size(),
             2);
}

void tst_workbook::dropsCalculationChain_data()
{
    // The fixture's chain: Target="calcChain.xml" beside workbook.xml, PartName
    // "/xl/calcChain.xml".
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::newRow("as Excel writes it")
        << kTypesEntry << QByteArray("<Types") << QByteArray("<Types");
    QTest::newRow("absolute target") << kRelsEntry << QByteArray(R"(Target="calcChain.xml")")
                                     << QByteArray(R"(Target="/xl/calcChain.xml")");
    QTest::newRow("part name in other case")
        << kTypesEntry << QByteArray(R"(PartName="/xl/calcChain.xml")")
        << QByteArray(R"(PartName="/XL/CalcChain.xml")");
}

void tst_workbook::dropsCalculationChain()
{
    // The chain lists C1, a formula the delivery overwrites: left in place, it
    // makes Excel offer to repair the file.
    QFETCH(QString, entry);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    Fixture f;
    QVERIFY(f.make());
    QVERIFY(replaceInEntry(f.file, entry, from, to));
    QVERIFY(zipEntry(f.file, kChainEntry).contains(R"(<c r="C1")"));
    const QString rels = QString::fromUtf8(zipEntry(f.file, kRelsEntry));
    const QString types = QString::fromUtf8(zipEntry(f.file, kTypesEntry));

    QVERIFY(writeAndSave(f.file, 1, 3, QStringLiteral("7")).ok());
    const auto after = zipEntries(f.file);
    QVERIFY(std::none_of(after.begin(), after.end(),
                         [](const auto &e) { return e.first == kChainEntry; }));
    const QRegularExpression chainRelationship(
        QStringLiteral("<Relationship [^>]*/calcChain\"[^>]*/>"));
    const QRegularExpression chainType(QStringLiteral("<Override [^>]*calcChain\\+xml\"/>"));
    QCOMPARE(QString::fromUtf8(zipEntry(f.file, kRelsEntry)),
             QString(rels).remove(chainRelationship));
    QCOMPARE(QString::fromUtf8(zipEntry(f.file, kTypesEntry)), QString(types).remove(chainType));
    QVERIFY(rels.contains(chainRelationship));
    QVERIFY(types.contains(chainType));
    QCOMPARE(cellOf(readWithOpenpyxl(f.file, QStringLiteral("Tabelle1"), {QStringLiteral("C1")}),
                    QStringLiteral("C1"))[0]
                 .toInt(),
             7);
}

void tst_workbook::insertsRowsAndCellsInOrder()
{
    Fixture f;
    QVERIFY(f.make());
    Workbook workbook;
    QVERIFY(workbook.open(f.file, QStringLiteral("Tabelle1")).ok());
    const std::pair<int, int> written[] = {{8, 1}, {6, 3}, {7, 1}, {6, 1}, {2, 6}, {3, 1}};
    for (const auto &[row, column] : written)
        QVERIFY(workbook.setCell(row, column, QStringLiteral("v%1.%2").arg(row).arg(column)).ok());
    QCOMPARE(workbook.cell(6, 1), QStringLiteral("v6.1"));
    QCOMPARE(workbook.setCell(1, Workbook::kMaxColumn + 1, QStringLiteral("x")).error,
             Workbook::kError);
    QVERIFY(workbook.saveAndClose().ok());

    const QString xml = QString::fromUtf8(zipEntry(f.file, kSheetEntry));
    QStringList rows;
    QStringList cells;
    for (const auto &m : QRegularExpression(QStringLiteral("<row r=\"(\\d+)\"")).globalMatch(xml))
        rows << m.captured(1);
    for (const auto &m :
         QRegularExpression(QStringLiteral("<c r=\"([A-Z]+\\d+)\"")).globalMatch(xml))
        cells << m.captured(1);
    QCOMPARE(rows.join(u','), QStringLiteral("1,2,3,4,5,6,7,8"));
    QCOMPARE(cells.join(u','), QStringLiteral("A1,B1,C1,D1,A2,F2,A3,B3,A4,A5,B5,C5,A6,C6,A7,A8"));
    QVERIFY(xml.contains(QStringLiteral("<dimension ref=\"A1:F8\"/>")));
    const QJsonObject read = readWithOpenpyxl(f.file, QStringLiteral("Tabelle1"),
                                              {QStringLiteral("A3"), QStringLiteral("F2")});
    QCOMPARE(cellOf(read, QStringLiteral("A3"))[0].toString(), QStringLiteral("v3.1"));
    QCOMPARE(cellOf(read, QStringLiteral("F2"))[0].toString(), QStringLiteral("v2.6"));
}

void tst_workbook::openFails_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << "missing"
                                  << "Tabelle1"
                                  << "no such file";
    QTest::newRow("text file") << "text"
                               << "Tabelle1"
                               << "not a workbook";
    QTest::newRow("zip without workbook") << "zip"
                                          << "Tabelle1"
                                          << "not a workbook";
    QTest::newRow("folder") << "folder"
                            << "Tabelle1"
                            << "not a file";
    QTest::newRow("no such sheet") << "workbook"
                                   << "Tabelle2"
                                   << "no sheet named \"Tabelle2\"";
}

void tst_workbook::openFails()
{
    QFETCH(QString, kind);
    QFETCH(QString, sheet);
    QFETCH(QString, reason);
    Fixture f;
    if (kind == QLatin1String("text")) {
        QFile text(f.file);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("Probe;2.5\r\n");
    } else if (kind == QLatin1String("zip")) {
        QVERIFY(writeZip(f.file, {{QStringLiteral("readme.txt"), QByteArray("no workbook")}}));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(f.folder.path()).mkdir(QStringLiteral("book.xlsx")));
    } else if (kind == QLatin1String("workbook")) {
        QVERIFY(f.make());
    }
    const QByteArray before = contentOf(f.file);

    Workbook workbook;
    const ControlStatus status = workbook.open(f.file, sheet);
    QCOMPARE(status.error, Workbook::kError);
    QVERIFY2(status.errorText.startsWith(f.file + QStringLiteral(": ")),
             qPrintable(status.errorText));
    QVERIFY2(status.errorText.contains(reason), qPrintable(status.errorText));
    QVERIFY(!workbook.isOpen());
    QCOMPARE(workbook.saveAndClose().error, Workbook::kError);
    QCOMPARE(contentOf(f.file), before);
}

void tst_workbook::failedSaveKeepsFile_data()
{
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<int>("folderMode"); // 0: as it is
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only file, unprivileged")
        << "unprivileged" << 0777 << 0444 << "cannot be saved: the file is read-only";
    QTest::newRow("read-only folder, unprivileged")
        << "unprivileged" << 0555 << 0666 << "cannot be saved: " + reason(EACCES);
    QTest::newRow("full disk") << "full disk" << 0 << 0644 << "cannot be saved: " + reason(ENOSPC);
    QTest::newRow("file-size limit")
        << "size limit" << 0 << 0644 << "cannot be saved: " + reason(EFBIG);
}

void tst_workbook::failedSaveKeepsFile()
{
    QFETCH(QString, refusal);
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    QFETCH(QString, reason);
    Fixture f;
    std::optional<SmallDisk> disk;
    QString folder = f.folder.path();
    if (refusal == QLatin1String("full disk")) {
        disk.emplace();
        if (!disk->mounted())
            QSKIP("mounting a small tmpfs needs root");
        folder = disk->path(QString());
    }
    const QString file = QDir(folder).filePath(QStringLiteral("book.xlsx"));
    QVERIFY(makeWorkbook(file));
    const QByteArray before = contentOf(file);
    QCOMPARE(::chmod(QFile::encodeName(file).constData(), mode_t(fileMode)), 0);
    if (folderMode != 0)
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(folderMode)), 0);
    const auto restoreFolder =
        qScopeGuard([&] { ::chmod(QFile::encodeName(folder).constData(), 0700); });

    Workbook workbook;
    QVERIFY(workbook.open(file, QStringLiteral("Tabelle1")).ok());
    QVERIFY(workbook.setCell(6, 1, QStringLiteral("lost?")).ok());
    if (disk)
        disk->fill();
    const QStringList names = entriesOf(folder);
    ControlStatus saved;
    if (refusal == QLatin1String("unprivileged")) {
        AsUnprivilegedUser nobody;
        QVERIFY(nobody.active());
        saved = workbook.saveAndClose();
    } else if (refusal == QLatin1String("size limit")) {
        FileSizeLimit limit(1024);
        QVERIFY(limit.active());
        saved = workbook.saveAndClose();
    } else {
        saved = workbook.saveAndClose();
    }

    QCOMPARE(saved.error, Workbook::kError);
    QCOMPARE(saved.errorText, file + QStringLiteral(": ") + reason);
    QCOMPARE(contentOf(file), before);
    QCOMPARE(modeOf(file) & 07777, mode_t(fileMode));
    QCOMPARE(entriesOf(folder), names);
}

void tst_workbook::refusesReadOnlyOrOpenWorkbook_data()
{
    QTest::addColumn<QString>("openAs"); // book.xlsx or a link to it
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("lockFile"); // created beside it, "" for none
    QTest::addColumn<QString>("reason");

    QTest::newRow("no write bit") << "book.xlsx" << 0444 << ""
                                  << "cannot be saved: the file is read-only";
    QTest::newRow("owner may only read") << "book.xlsx" << 0400 << ""
                                         << "cannot be saved: the file is read-only";
    QTest::newRow("open in LibreOffice")
        << "book.xlsx" << 0644 << ".~lock.book.xlsx#"
        << "is open in another program (lock file .~lock.book.xlsx#)";
    QTest::newRow("open in Excel") << "book.xlsx" << 0644 << "~$book.xlsx"
                                   << "is open in another program (lock file ~$book.xlsx)";
    QTest::newRow("open in LibreOffice through a link")
        << "link.xlsx" << 0644 << ".~lock.link.xlsx#"
        << "is open in another program (lock file .~lock.link.xlsx#)";
    QTest::newRow("link opened, target open in LibreOffice")
        << "link.xlsx" << 0644 << ".~lock.book.xlsx#"
        << "is open in another program (lock file .~lock.book.xlsx#)";
}

void tst_workbook::refusesReadOnlyOrOpenWorkbook()
{
    // Run as whoever runs the tests, root included: neither case may depend on
    // the kernel refusing the write.
    QFETCH(QString, openAs);
    QFETCH(int, mode);
    QFETCH(QString, lockFile);
    QFETCH(QString, reason);
    Fixture f;
    QVERIFY(f.make());
    QVERIFY(QFile::link(f.file, f.folder.filePath(QStringLiteral("link.xlsx"))));
    if (!lockFile.isEmpty()) {
        QFile lock(f.folder.filePath(lockFile));
        QVERIFY(lock.open(QIODevice::WriteOnly));
    }
    QCOMPARE(::chmod(QFile::encodeName(f.file).constData(), mode_t(mode)), 0);
    const QByteArray before = contentOf(f.file);

    Workbook workbook;
    QVERIFY(workbook.open(f.folder.filePath(openAs), QStringLiteral("Tabelle1")).ok());
    QVERIFY(workbook.setCell(6, 1, QStringLiteral("lost?")).ok());
    const ControlStatus saved = workbook.saveAndClose();
    QCOMPARE(saved.error, Workbook::kError);
    QCOMPARE(saved.errorText, f.file + QStringLiteral(": ") + reason);
    QCOMPARE(contentOf(f.file), before);
    QCOMPARE(modeOf(f.file) & 07777, mode_t(mode));
}

void tst_workbook::refusesToOverwriteNewerFile()
{
    Fixture f;
    QVERIFY(f.make());
    Workbook first;
    QVERIFY(first.open(f.file, QStringLiteral("Tabelle1")).ok());
    QVERIFY(first.setCell(6, 1, QStringLiteral("first")).ok());
    QVERIFY(!first.fileChangedSinceOpen());
    QVERIFY(writeAndSave(f.file, 6, 1, QStringLiteral("second")).ok());

    QVERIFY(first.fileChangedSinceOpen());
    const ControlStatus saved = first.saveAndClose();
    QCOMPARE(saved.error, Workbook::kError);
    QVERIFY2(saved.errorText.contains(QStringLiteral("changed")), qPrintable(saved.errorText));
    Workbook check;
    QVERIFY(check.open(f.file, QStringLiteral("Tabelle1")).ok());
    QCOMPARE(check.cell(6, 1), QStringLiteral("second"));
}

void tst_workbook::saveKeepsModeOwnerAndLink()
{
    Fixture f;
    QVERIFY(f.make());
    const QByteArray path = QFile::encodeName(f.file);
    QCOMPARE(::chmod(path.constData(), 0640), 0);
    // Saved by root, a user's workbook stays theirs.
    const bool root = ::geteuid() == 0;
    if (root)
        QCOMPARE(::chown(path.constData(), 65534, 65534), 0);
    const QString link = f.folder.filePath(QStringLiteral("link.xlsx"));
    QVERIFY(QFile::link(f.file, link));

    QVERIFY(writeAndSave(link, 6, 1, QStringLiteral("via link")).ok());
    QVERIFY(S_ISLNK(modeOf(link)));
    QCOMPARE(modeOf(f.file) & 07777, mode_t(0640));
    struct stat st;
    QCOMPARE(::stat(path.constData(), &st), 0);
    if (root)
        QCOMPARE(st.st_uid, uid_t(65534));
    Workbook check;
    QVERIFY(check.open(f.file, QStringLiteral("Tabelle1")).ok());
    QCOMPARE(check.cell(6, 1), QStringLiteral("via link"));
}

void tst_workbook::killedSaveLeavesNothingBehind()
{
    // Killed at any moment, a save leaves the old or the new workbook, and the
    // next save removes what the killed one left beside it.
    Fixture f;
    QVERIFY(f.make());
    for (int kill = 0; kill < 40; ++kill) {
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                if (!writeAndSave(f.file, 6, 1, QString::number(i)).ok())
                    ::_exit(1);
        }
        std::this_thread::sleep_for(
            std::chrono::microseconds(QRandomGenerator::global()->bounded(500, 8000)));
        QCOMPARE(::kill(child, SIGKILL), 0);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFSIGNALED(status), "a save failed in the child");
        Workbook survivor;
        QVERIFY(survivor.open(f.file, QStringLiteral("Tabelle1")).ok());
    }

    QVERIFY(writeAndSave(f.file, 6, 1, QStringLiteral("after")).ok());
    QCOMPARE(entriesOf(f.folder.path()), QStringList{QStringLiteral("book.xlsx")});
    QCOMPARE(cellOf(readWithOpenpyxl(f.file, QStringLiteral("Tabelle1"), {QStringLiteral("A6")}),
                    QStringLiteral("A6"))[0]
                 .toString(),
             QStringLiteral("after"));
}

QTEST_GUILESS_MAIN(tst_workbook)
#include "tst_workbook.moc"
