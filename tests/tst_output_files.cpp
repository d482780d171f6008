#include "core/output/output_files.h"
#include "core/output/protocol_file.h"

#include "tests/support/file_bytes.h"
#include "tests/support/limited_disk.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <sys/resource.h>

namespace {

// Both writers with their line, so each case runs for the text file and protocol.txt.
const QString kTextFile = QStringLiteral("werte.txt");
const QString kProtocol = QStringLiteral("protocol.txt");
const char *const kAppendChild = "--append-until-refused";

bool writeFile(const QString &file, const QByteArray &bytes)
{
    QFile f(file);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The child side of fileSizeLimitIsReported: appends until a write is refused,
// prints the failure and exits 0 (1 when every line went in).
int appendUntilRefused(const QString &file)
{
    ignoreFileSizeLimitSignal();
    OutputFiles files;
    for (int i = 0; i < 1000; ++i) {
        const AppendResult result = files.appendLine(file, QStringLiteral("12345678"));
        if (!result.ok()) {
            QTextStream(stdout) << result.error << Qt::endl;
            return 0;
        }
    }
    return 1;
}

} // namespace

class tst_output_files : public QObject {
    Q_OBJECT
private slots:
    void encodingOfExistingFile_data();
    void encodingOfExistingFile();
    void verdictFollowsChangedFile_data();
    void verdictFollowsChangedFile();
    void fullDiskLeavesNoCutOffLine_data();
    void fullDiskLeavesNoCutOffLine();
    void failureIsNewOncePerFile();
    void fileSizeLimitIsReported();
};

void tst_output_files::encodingOfExistingFile_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("appended"); // for the text "µä€Ω"

    const QByteArray utf8("\xC2\xB5\xC3\xA4\xE2\x82\xAC\xCE\xA9\r\n");
    const QByteArray cp1252("\xB5\xE4\x80?\r\n"); // Ω is not in the code page
    const QByteArray longAscii(200'000, 'a');
    QByteArray longUtf8; // 3-byte sequences: chunks of any power-of-two size cut some
    for (int i = 0; i < 70'000; ++i)
        longUtf8 += "\xE2\x82\xAC";

    QTest::newRow("new file") << false << QByteArray() << utf8;
    QTest::newRow("empty file") << true << QByteArray() << utf8;
    QTest::newRow("ASCII file") << true << QByteArray("1,5\r\n") << utf8;
    QTest::newRow("UTF-8 file") << true << QByteArray("\xC3\xA4\r\n") << utf8;
    QTest::newRow("Windows-1252 file") << true << QByteArray("\xE4\r\n") << cp1252;
    QTest::newRow("BOM, then invalid bytes") << true << QByteArray("\xEF\xBB\xBF\xE4\r\n") << utf8;
    QTest::newRow("long UTF-8 file") << true << longUtf8 << utf8;
    QTest::newRow("1252 byte after 200 KB") << true << longAscii + "\xB5\r\n" << cp1252;
    QTest::newRow("ends inside a sequence") << true << QByteArray("a\xC3") << cp1252;
    QTest::newRow("overlong sequence") << true << QByteArray("\xC0\xAF") << cp1252;
}

void tst_output_files::encodingOfExistingFile()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, appended);

    QTemporaryDir dir;
    const QString file = dir.filePath(kTextFile);
    if (exists)
        QVERIFY(writeFile(file, before));
    OutputFiles files;
    const QString text = QStringLiteral("µä€Ω");
    QVERIFY(files.appendLine(file, text).ok());
    QCOMPARE(readFileBytes(file), before + appended);
    // The second append keeps the encoding the first one chose.
    QVERIFY(files.appendLine(file, text).ok());
    QCOMPARE(readFileBytes(file), before + appended + appended);
}

void tst_output_files::verdictFollowsChangedFile_data()
{
    QTest::addColumn<bool>("replace"); // a new file renamed over it, else rewritten in place
    QTest::newRow("rewritten in place") << false;
    QTest::newRow("replaced, same size") << true;
}

// Another program changes the file between two appends: the remembered
// encoding must not outlive the content it was found in.
void tst_output_files::verdictFollowsChangedFile()
{
    QFETCH(bool, replace);
    QTemporaryDir dir;
    const QString file = dir.filePath(kTextFile);
    OutputFiles files;
    QVERIFY(files.appendLine(file, QStringLiteral("a")).ok()); // new: UTF-8

    const QByteArray windows = replace ? QByteArray("\xE4\r\n") : QByteArray("\xE4\xE4\r\n");
    if (replace) {
        QSaveFile other(file);
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write(windows);
        QVERIFY(other.commit());
    } else {
        QVERIFY(writeFile(file, windows));
    }
    QVERIFY(files.appendLine(file, QStringLiteral("ä")).ok());
    QCOMPARE(readFileBytes(file), windows + "\xE4\r\n");
}

void tst_output_files::fullDiskLeavesNoCutOffLine_data()
{
    QTest::addColumn<bool>("protocol");
    QTest::newRow("text file") << false;
    QTest::newRow("protocol.txt") << true;
}

// tmpfs allocates whole pages: the file ends just before a page boundary, so
// the first bytes of the line still fit and the rest does not.
void tst_output_files::fullDiskLeavesNoCutOffLine()
{
    QFETCH(bool, protocol);
    SmallDisk disk;
    if (!disk.mounted())
        QSKIP("mounting a small tmpfs needs root");
    const QString file = disk.path(protocol ? kProtocol : kTextFile);
    const QByteArray before(4094, '1');
    QVERIFY(writeFile(file, before));
    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(disk.path(QString()));
    const auto restore = qScopeGuard([&] { QDir::setCurrent(oldCurrent); });

    OutputFiles files;
    const auto append = [&](const QString &value) {
        return protocol ? writeProtocol(files, QStringLiteral("T"), value)
                        : files.appendLine(file, value);
    };
    const QByteArray line = protocol ? "Datenstring: T\r\nCommand: 11.50\r\n" : "11.50\r\n";

    disk.fill();
    const AppendResult full = append(QStringLiteral("6.5"));
    QVERIFY(!full.ok());
    QVERIFY2(full.error.endsWith(reason(ENOSPC)), qPrintable(full.error));
    QCOMPARE(readFileBytes(file), before);

    disk.free();
    QVERIFY(append(QStringLiteral("11.50")).ok());
    QCOMPARE(readFileBytes(file), before + line);
}

// A disk that stays full gives one report per file, not one per value; the
// next failure after a good write is new again.
void tst_output_files::failureIsNewOncePerFile()
{
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("folder"));
    const QString good = dir.filePath(kTextFile);
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder"))); // a folder takes no lines
    OutputFiles files;

    const AppendResult first = files.appendLine(bad, QStringLiteral("1"));
    QCOMPARE(first.error, bad + QStringLiteral(": ") + reason(EISDIR));
    QVERIFY(first.newFailure);
    QVERIFY(files.appendLine(good, QStringLiteral("1")).ok());
    QVERIFY(!files.appendLine(bad, QStringLiteral("2")).newFailure);

    QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("folder")));
    QVERIFY(files.appendLine(bad, QStringLiteral("3")).ok());
    QVERIFY(QFile::remove(bad));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(files.appendLine(bad, QStringLiteral("4")).newFailure);
}

// Over RLIMIT_FSIZE the kernel sends SIGXFSZ, which ends a program that does
// not ignore it. The child ignores it as main() does and must report EFBIG.
void tst_output_files::fileSizeLimitIsReported()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(kTextFile);
    QProcess child;
    child.setChildProcessModifier([] {
        const rlimit limit{1005, 1005}; // 100 lines of 10 bytes and half of one more
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kAppendChild), file});
    QVERIFY(child.waitForFinished(30'000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed(),
             file + QStringLiteral(": ") + reason(EFBIG));
    QByteArray lines;
    for (int i = 0; i < 100; ++i)
        lines += "12345678\r\n";
    QCOMPARE(readFileBytes(file), lines);
}

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], kAppendChild) == 0)
        return appendUntilRefused(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    tst_output_files tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_output_files.moc"
