#include "platform/ini/ini_file.h"
#include "tests/support/limited_disk.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>
#include <sys/file.h>

namespace {

const QByteArray kMissing = "<missing>";

} // namespace

class TstIni : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString fileWith(const QByteArray &content, const QString &name = QStringLiteral("t.cfg"))
    {
        const QString file = path(name);
        if (content == kMissing)
            return file;
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size())
            qFatal("cannot write fixture %s", qPrintable(file));
        return file;
    }
    static QByteArray bytesOf(const QString &file)
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : kMissing;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QString d = QStringLiteral("<default>");
        auto row = [&](const char *name, const QByteArray &content, const char *section,
                       const char *key, const QString &expected) {
            QTest::newRow(name) << content << QString::fromUtf8(section) << QString::fromUtf8(key)
                                << expected;
        };
        row("case-blind names", "[Gauge]\r\nMw_Still_Anf=18\r\n", "gauge", "MW_STILL_ANF", "18");
        row("blanks and tabs trimmed", "[s]\nk = \t 42 \t\n", "s", "k", "42");
        row("double quotes stripped", "[s]\nk=\" S \"\n", "s", "k", " S ");
        row("quoted single blank", "[s]\nk=\" \"\n", "s", "k", " ");
        row("single quotes stripped", "[s]\nk='x y'\n", "s", "k", "x y");
        row("blanks outside the quotes", "[s]\nk =  \" a \"  \n", "s", "k", " a ");
        row("one pair only", "[s]\nk=\"\"x\"\"\n", "s", "k", "\"x\"");
        row("unmatched quotes kept", "[s]\nk=\"x'\n", "s", "k", "\"x'");
        row("lone quote kept", "[s]\nk=\"\n", "s", "k", "\"");
        row("text after the first =", "[s]\nk=a=b\n", "s", "k", "a=b");
        row("empty value is not the default", "[s]\nk=\n", "s", "k", "");
        row("blank value is empty", "[s]\nk=   \n", "s", "k", "");
        row("missing key", "[s]\nj=1\n", "s", "k", d);
        row("missing section", "[t]\nk=1\n", "s", "k", d);
        row("key of the next section", "[s]\n[t]\nk=1\n", "s", "k", d);
        row("first key wins", "[s]\nk=1\nK=2\n", "s", "k", "1");
        row("first section wins", "[s]\nk=1\n[S]\nk=2\nj=3\n", "s", "k", "1");
        row("second section of a name unseen", "[s]\nk=1\n[S]\nj=3\n", "s", "j", d);
        row("comment skipped", "[s]\n;k=1\nk=2\n", "s", "k", "2");
        row("other lines skipped", "[s]\njunk\n[unclosed\nk=2\n", "s", "k", "2");
        row("key above all sections", "k=0\n[s]\n", "s", "k", d);
        row("indented header with remark", "  [ s ]  ; remark\n\tk=1\n", "s", "k", "1");
        row("crlf not part of value", "[s]\r\nk=1\r\n", "s", "k", "1");
        row("last line without line end", "[s]\nk=last", "s", "k", "last");
        row("250 characters read as 199", "[s]\nk=" + QByteArray(250, 'x') + "\n", "s", "k",
            QString(199, QLatin1Char('x')));
        row("utf-8 bom", "\xEF\xBB\xBF[s]\r\nk=1\r\n", "s", "k", "1");
        row("utf-8 value", "[s]\nk=W\xC3\xA4ge \xE2\x82\xAC\n", "s", "k",
            QString::fromUtf8("Wäge €"));
        row("cp1252 value", "[s]\nk=W\xE4ge \x80\x81\n", "s", "k",
            QString::fromUtf8("Wäge €") + QChar(0x81));
        row("cp1252 names case-blind", "[\xC4nderung]\n\xDF=1\n", "änderung", "ß", "1");
        // A NUL ends the line: the text before it counts, the other lines too.
        const QByteArray nulLines("[s]\r\nk=ab\0cd\r\n\0j=1\r\nx\0=2\r\ni=3\r\n[t\0]\r\nh=4\r\n",
                                  42);
        row("NUL ends the value", nulLines, "s", "k", "ab");
        row("NUL before the key", nulLines, "s", "j", d);
        row("NUL before the =", nulLines, "s", "x", d);
        row("line after NUL lines", nulLines, "s", "i", "3");
        row("NUL in a header", nulLines, "t", "h", d);
        row("NUL in a header: its keys stay in the section before", nulLines, "s", "h", "4");
        row("NUL in a quoted value", QByteArray("[s]\nk=\" a\0b\"\n", 13), "s", "k", "\" a");
    }
    void read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        const QString file = fileWith(content);
        QCOMPARE(ini::readValue(file, section, key, QStringLiteral("<default>")), expected);
    }

    void readDefault_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("missing file") << QStringLiteral("nothing.cfg");
        QTest::newRow("folder") << QStringLiteral(".");
    }
    void readDefault()
    {
        QFETCH(QString, file);
        const QString def(250, QLatin1Char('d'));
        QCOMPARE(ini::readValue(path(file), QStringLiteral("s"), QStringLiteral("k"), def),
                 def.left(199));
        QCOMPARE(ini::readValue(path(file), QStringLiteral("s"), QStringLiteral("k"), QString()),
                 QString());
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("readBack");
        auto row = [](const char *name, const QByteArray &before, const char *section,
                      const char *key, const QString &value, const QByteArray &after,
                      std::optional<QString> readBack = std::nullopt) {
            QTest::newRow(name) << before << QString::fromUtf8(section) << QString::fromUtf8(key)
                                << value << after << readBack.value_or(value);
        };
        row("replace in place, file's spelling", "[s]\r\nKey=1\r\nj=2\r\n", "S", "KEY", "9",
            "[s]\r\nKey=9\r\nj=2\r\n");
        row("replace a spaced line", "[s]\r\n  Key = old  \r\n", "s", "key", "new",
            "[s]\r\nKey=new\r\n");
        row("new key at end of its section", "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n", "a", "z", "3",
            "[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n");
        row("new key before trailing remark", "[a]\r\nx=1\r\n; note\r\n[b]\r\n", "a", "z", "3",
            "[a]\r\nx=1\r\nz=3\r\n; note\r\n[b]\r\n");
        row("new key in empty section", "[a]\r\n[b]\r\n", "a", "z", "3", "[a]\r\nz=3\r\n[b]\r\n");
        row("new section at end", "[a]\r\nx=1\r\n", "b", "y", "2", "[a]\r\nx=1\r\n[b]\r\ny=2\r\n");
        row("lf file keeps lf", "[a]\nx=1\n", "b", "y", "2", "[a]\nx=1\n[b]\ny=2\n");
        row("last line gets its line end", "[a]\r\nx=1", "a", "y", "2", "[a]\r\nx=1\r\ny=2\r\n");
        row("missing file created with crlf", kMissing, "s", "k", "v", "[s]\r\nk=v\r\n");
        row("empty file", "", "s", "k", "v", "[s]\r\nk=v\r\n");
        row("untouched lines byte-identical",
            "; head \r\nk0=1\r\n[a]\r\n x = 1 \r\n\tjunk\r\nlone\rcr=1\r\n[b]\r\ny=2\r\n", "b", "y",
            "3", "; head \r\nk0=1\r\n[a]\r\n x = 1 \r\n\tjunk\r\nlone\rcr=1\r\n[b]\r\ny=3\r\n");
        row("first section taken", "[s]\r\nk=1\r\n[S]\r\nj=2\r\n", "s", "j", "3",
            "[s]\r\nk=1\r\nj=3\r\n[S]\r\nj=2\r\n");
        row("first key taken", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "3", "[s]\r\nk=3\r\nk=2\r\n");
        row("bom kept", "\xEF\xBB\xBF[s]\r\nk=1\r\n", "s", "k", "2", "\xEF\xBB\xBF[s]\r\nk=2\r\n");
        row("quoted blank written as given", "[s]\r\n", "s", "st_kennung", "\" \"",
            "[s]\r\nst_kennung=\" \"\r\n", QStringLiteral(" "));
        row("cp1252 stays cp1252", "[s]\r\nname=M\xFCller\r\n", "s", "ort",
            QString::fromUtf8("Gießen €"),
            "[s]\r\nname=M\xFCller\r\nort=Gie\xDF"
            "en \x80\r\n");
        row("umlaut stays one byte", "[s]\r\nk=\xE4\r\n", "s", "k", QString::fromUtf8("ä"),
            "[s]\r\nk=\xE4\r\n");
        row("cp1252 lacks the character", "[s]\r\nk=\xE4\r\n", "s", "j", QString::fromUtf8("日本"),
            "[s]\r\nk=\xE4\r\nj=??\r\n", QStringLiteral("??"));
        row("utf-8 stays utf-8", "[s]\r\nname=M\xC3\xBCller\r\n", "s", "ort",
            QString::fromUtf8("Gießen"),
            "[s]\r\nname=M\xC3\xBCller\r\nort=Gie\xC3\x9F"
            "en\r\n");
        const QByteArray nul("k=1\0tail\r\n\0junk\r\n", 17);
        row("NUL lines kept byte-identical", "[s]\r\n" + nul + "j=2\r\n", "s", "j", "3",
            "[s]\r\n" + nul + "j=3\r\n");
        row("new key after a NUL line", "[s]\r\n" + nul, "s", "j", "3",
            "[s]\r\n" + nul.first(10) + "j=3\r\n" + nul.sliced(10));
        row("key of a NUL line written whole", "[s]\r\n" + nul, "s", "k", "2",
            "[s]\r\nk=2\r\n" + nul.sliced(10));
        const QByteArray garbage("\0\x01\xFF garbage", 11);
        row("binary tail kept", "[s]\r\nk=1\r\n" + garbage, "s", "k", "2",
            "[s]\r\nk=2\r\n" + garbage);
        row("new file is utf-8", kMissing, "Größe", "k", QString::fromUtf8("ä"),
            "[Gr\xC3\xB6\xC3\x9F"
            "e]\r\nk=\xC3\xA4\r\n");
    }
    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QFETCH(QString, readBack);
        const QString file = fileWith(before);
        QString error;
        QVERIFY2(ini::writeValue(file, section, key, value, &error), qPrintable(error));
        QCOMPARE(bytesOf(file), after);
        QCOMPARE(ini::readValue(file, section, key, QStringLiteral("<default>")), readBack);
    }

    // Settings saving writes every key in one pass; the file must come out as
    // from one write per key, and not at all when one entry is refused.
    void writeValuesMatchesSingleWrites_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::newRow("missing") << kMissing;
        QTest::newRow("crlf file with extras")
            << QByteArray("; mine\r\n[Mode]\r\nmodus=PRINT\r\nextra=1\r\n\r\n[Gauge]\r\n"
                          "str_len=22\r\n");
        QTest::newRow("cp1252 lf file") << QByteArray("[Anwendung]\nAnwendung=Kl\xE4ger\n[x]\n");
    }
    void writeValuesMatchesSingleWrites()
    {
        QFETCH(QByteArray, before);
        QList<ini::Entry> entries = {
            {QStringLiteral("Port settings"), QStringLiteral("baud"), QStringLiteral("9600")},
            {QStringLiteral("Mode"), QStringLiteral("modus"), QStringLiteral("TIMER")},
            {QStringLiteral("Anwendung"), QStringLiteral("Anwendung"), QString::fromUtf8("Wäge")},
            {QStringLiteral("Port settings"), QStringLiteral("parity"), QStringLiteral("O")},
            {QStringLiteral("gauge"), QStringLiteral("mw_still_anf"), QStringLiteral("18")},
            {QStringLiteral("MODE"), QStringLiteral("Modus"), QStringLiteral("HOTKEY")},
            {QStringLiteral("DDECONN"), QStringLiteral("anwend"), QStringLiteral("Excel")},
        };
        const QString single = fileWith(before, QStringLiteral("single.cfg"));
        for (const ini::Entry &e : entries)
            QVERIFY(ini::writeValue(single, e.section, e.key, e.value));

        const QString batch = fileWith(before, QStringLiteral("batch.cfg"));
        QString error;
        QVERIFY2(ini::writeValues(batch, entries, &error), qPrintable(error));
        QCOMPARE(bytesOf(batch), bytesOf(single));
        QCOMPARE(ini::readValue(batch, QStringLiteral("mode"), QStringLiteral("modus"), {}),
                 QStringLiteral("HOTKEY"));

        // One refused entry, even the last: nothing is written, not even a new file.
        const QString refused = fileWith(before, QStringLiteral("refused.cfg"));
        entries.insert(4,
                       {QStringLiteral("Gauge"), QStringLiteral("bad=key"), QStringLiteral("1")});
        QVERIFY(!ini::writeValues(refused, entries, &error));
        QVERIFY2(error.contains(QLatin1String("bad=key")), qPrintable(error));
        QCOMPARE(bytesOf(refused), before);
        entries.removeAt(4);
        entries.append({QStringLiteral("Anwendung"), QStringLiteral("Format"),
                        QStringLiteral("{Messwert}\r\n")});
        QVERIFY(!ini::writeValues(refused, entries, &error));
        QVERIFY2(error.contains(QLatin1String("[Anwendung] Format")), qPrintable(error));
        QCOMPARE(bytesOf(refused), before);
    }

    void refusedWrites_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const QByteArray text = "[s]\r\nk=1\r\n";
        QTest::newRow("key with =") << text << "s"
                                    << "a=b"
                                    << "2";
        QTest::newRow("key starting [") << text << "s"
                                        << "[k"
                                        << "2";
        QTest::newRow("key starting ;") << text << "s"
                                        << ";k"
                                        << "2";
        QTest::newRow("empty key") << text << "s"
                                   << ""
                                   << "2";
        QTest::newRow("key with outer blank") << text << "s"
                                              << "k "
                                              << "2";
        QTest::newRow("section with ]") << text << "a]b"
                                        << "k"
                                        << "2";
        QTest::newRow("empty section") << text << ""
                                       << "k"
                                       << "2";
        QTest::newRow("value with line break") << text << "s"
                                               << "k"
                                               << "1\r\n[evil]";
        QTest::newRow("missing file, bad value") << kMissing << "s"
                                                 << "k"
                                                 << "a\nb";
        // After a NUL the whole file would read as no text file.
        const QString nul(1, QChar(u'\0'));
        QTest::newRow("NUL in value") << text << "s"
                                      << "k" << QStringLiteral("a") + nul + QStringLiteral("b");
        QTest::newRow("NUL in new key") << text << "s" << QStringLiteral("j") + nul << "2";
        QTest::newRow("NUL in new section") << text << nul + QStringLiteral("t") << "k"
                                            << "2";
        QTest::newRow("missing file, NUL in value") << kMissing << "s"
                                                    << "k" << nul;
    }
    void refusedWrites()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QString file = fileWith(before);
        QString error;
        QVERIFY(!ini::writeValue(file, section, key, value, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(bytesOf(file), before);
        QVERIFY(!ini::writeValues(file, {{section, key, value}}));
        QCOMPARE(bytesOf(file), before);
    }

    // A file that exists but cannot be read gives the defaults; the snapshot says why.
    void readProblem_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("problem"); // after "<file>: "; empty for none
        QTest::newRow("text") << QByteArray("[s]\nk=1\n") << QString();
        QTest::newRow("missing") << kMissing << QString();
        QTest::newRow("NUL byte") << QByteArray("[s]\nk=1\n\0", 9) << QString();
    }
    void readProblem()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, problem);
        const QString file = fileWith(content);
        const ini::Snapshot snapshot(file);
        QCOMPARE(snapshot.problem(),
                 problem.isEmpty() ? QString() : file + QStringLiteral(": ") + problem);
        QCOMPARE(ini::Snapshot(m_dir->path()).problem(),
                 m_dir->path() + QStringLiteral(": not a regular file"));
    }

    // Only scratch files of this file that no running save holds are removed.
    void staleScratchFilesRemoved()
    {
        const QString file = fileWith("[s]\r\nk=1\r\n", QStringLiteral("waage.cfg"));
        const QStringList kept = {QStringLiteral(".waage.cfg.mq-save-Held01"),
                                  QStringLiteral("waage.cfg.mq-save-Ab12Cd"),
                                  QStringLiteral(".waage.cfg.mq-save-Ab12C"),
                                  QStringLiteral(".waage.cfg.mq-save-Ab12Cd.bak"),
                                  QStringLiteral(".other.cfg.mq-save-Ab12Cd"),
                                  QStringLiteral(".waage.cfg.mq-save-Ab_2Cd")};
        for (const QString &name : kept + QStringList{QStringLiteral(".waage.cfg.mq-save-Ab12Cd"),
                                                      QStringLiteral(".waage.cfg.mq-save-zz99ZZ")})
            fileWith("old", name);
        QVERIFY(QFile::link(path(QStringLiteral("waage.cfg")),
                            path(QStringLiteral(".waage.cfg.mq-save-Link01"))));
        // A save in progress holds its scratch file locked.
        QFile held(path(kept.first()));
        QVERIFY(held.open(QIODevice::ReadOnly));
        QCOMPARE(::flock(held.handle(), LOCK_EX | LOCK_NB), 0);

        QString error;
        QVERIFY2(ini::writeValue(file, QStringLiteral("s"), QStringLiteral("k"),
                                 QStringLiteral("2"), &error),
                 qPrintable(error));
        QCOMPARE(bytesOf(file), QByteArray("[s]\r\nk=2\r\n"));
        QStringList expected = kept;
        expected << QStringLiteral(".waage.cfg.mq-save-Link01") << QStringLiteral("waage.cfg");
        expected.sort();
        QCOMPARE(
            QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name),
            expected);
    }

    void folderIsNeverReplaced()
    {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub.cfg")));
        QString error;
        QVERIFY(!ini::writeValue(path(QStringLiteral("sub.cfg")), QStringLiteral("s"),
                                 QStringLiteral("k"), QStringLiteral("1"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(QFileInfo(path(QStringLiteral("sub.cfg"))).isDir());
    }

    void longLineAndLargeFile()
    {
        const QByteArray longLine = "big=" + QByteArray(100 * 1024, 'v');
        QByteArray content = "[s]\r\n" + longLine + "\r\n";
        constexpr int kKeys = 100000;
        for (int i = 0; i < kKeys; ++i)
            content +=
                "key" + QByteArray::number(i) + "=value number " + QByteArray::number(i) + "\r\n";
        content += "[t]\r\nlast=end\r\n";
        QVERIFY(content.size() > 2 * 1024 * 1024);
        const QString file = fileWith(content);

        QElapsedTimer timer;
        timer.start();
        QCOMPARE(ini::readValue(file, QStringLiteral("s"), QStringLiteral("big"), {}),
                 QString(199, QLatin1Char('v')));
        QCOMPARE(ini::readValue(file, QStringLiteral("T"), QStringLiteral("LAST"), {}),
                 QStringLiteral("end"));
        QVERIFY(
            ini::writeValue(file, QStringLiteral("s"), QStringLiteral("new"), QStringLiteral("1")));
        QVERIFY(ini::writeValue(file, QStringLiteral("s"), QStringLiteral("KEY99999"),
                                QStringLiteral("changed")));
        // Generous: a quadratic pass over this many lines takes minutes.
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));

        QByteArray expected = content;
        expected.replace("key99999=value number 99999\r\n", "key99999=changed\r\nnew=1\r\n");
        QCOMPARE(bytesOf(file), expected);
    }

    void unwritableTarget()
    {
        const QString plain = fileWith("not a folder", QStringLiteral("plain"));
        const QString file = plain + QStringLiteral("/settings.cfg");
        QString error;
        QVERIFY(!ini::writeValue(file, QStringLiteral("s"), QStringLiteral("k"),
                                 QStringLiteral("1"), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(bytesOf(plain), QByteArray("not a folder"));
        QCOMPARE(
            ini::readValue(file, QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("d")),
            QStringLiteral("d"));
    }

    void failedWriteKeepsOldFile()
    {
        const QByteArray before = "[s]\r\nk=1\r\n";
        const QString file = fileWith(before);
        QString error;
        bool written = true;
        {
            FileSizeLimit limit(1024);
            if (!limit.active())
                QSKIP("cannot lower the file size limit");
            written = ini::writeValue(file, QStringLiteral("s"), QStringLiteral("k"),
                                      QString(2000, QLatin1Char('x')), &error);
        }
        QVERIFY(!written);
        QVERIFY(!error.isEmpty());
        QCOMPARE(bytesOf(file), before);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("t.cfg")});
    }
};

QTEST_GUILESS_MAIN(TstIni)
#include "tst_ini.moc"
