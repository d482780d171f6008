#include "tests/support/workbook_files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <pwd.h>
#include <unistd.h>

namespace {

// Debian's python: the first python3 on PATH lacks openpyxl.
const QString kPython = QStringLiteral("/usr/bin/python3");

std::optional<QByteArray> runPython(const QStringList &arguments, const QByteArray &input = {})
{
    QProcess python;
    python.start(kPython, arguments);
    python.write(input);
    python.closeWriteChannel();
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit ||
        python.exitCode() != 0) {
        qWarning("python3 failed: %s", python.readAllStandardError().constData());
        return std::nullopt;
    }
    return python.readAllStandardOutput();
}

bool runFixtureScript(const QString &file, const QStringList &options)
{
    return runPython(
               QStringList{QStringLiteral(MQ_SOURCE_DIR "/tests/fixtures/make_workbook.py"), file} +
               options)
        .has_value();
}

const char kReadCells[] = R"(
import json, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb[sys.argv[2]]
cells = {}
for ref in sys.argv[3:]:
    c = ws[ref]
    cells[ref] = [c.value, type(c.value).__name__, c.number_format, bool(c.font.b)]
print(json.dumps({"sheets": wb.sheetnames, "merged": [str(r) for r in ws.merged_cells.ranges],
                  "cells": cells}))
)";

const char kReadZip[] = R"(
import base64, json, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    print(json.dumps([[i.filename, base64.b64encode(z.read(i)).decode()] for i in z.infolist()]))
)";

const char kWriteZip[] = R"(
import base64, json, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name, data in json.load(sys.stdin):
        z.writestr(name, base64.b64decode(data))
)";

} // namespace

bool makeWorkbook(const QString &file, int filledRows, const QString &firstSheet)
{
    QStringList arguments{QStringLiteral("--title"), firstSheet};
    if (filledRows > 0)
        arguments << QStringLiteral("--rows") << QString::number(filledRows);
    return runFixtureScript(file, arguments);
}

bool makeSumWorkbook(const QString &file)
{
    return runFixtureScript(file, {QStringLiteral("--sum")});
}

QJsonObject readWithOpenpyxl(const QString &file, const QString &sheet, const QStringList &cells)
{
    const auto out = runPython(
        QStringList{QStringLiteral("-c"), QString::fromLatin1(kReadCells), file, sheet} + cells);
    return out ? QJsonDocument::fromJson(*out).object() : QJsonObject();
}

QList<std::pair<QString, QByteArray>> zipEntries(const QString &file)
{
    QList<std::pair<QString, QByteArray>> entries;
    const auto out = runPython({QStringLiteral("-c"), QString::fromLatin1(kReadZip), file});
    if (!out)
        return entries;
    for (const QJsonValue entry : QJsonDocument::fromJson(*out).array())
        entries.append(
            {entry[0].toString(), QByteArray::fromBase64(entry[1].toString().toLatin1())});
    return entries;
}

QByteArray zipEntry(const QString &file, const QString &name)
{
    for (const auto &[n, data] : zipEntries(file))
        if (n == name)
            return data;
    return {};
}

bool replaceInEntry(const QString &file, const QString &entry, const QByteArray &from,
                    const QByteArray &to)
{
    QList<std::pair<QString, QByteArray>> entries = zipEntries(file);
    bool found = false;
    for (auto &[name, data] : entries) {
        if (name == entry && data.contains(from)) {
            data.replace(from, to);
            found = true;
        }
    }
    return found && writeZip(file, entries);
}

bool writeZip(const QString &file, const QList<std::pair<QString, QByteArray>> &entries)
{
    QJsonArray list;
    for (const auto &[name, data] : entries)
        list.append(QJsonArray{name, QString::fromLatin1(data.toBase64())});
    return runPython({QStringLiteral("-c"), QString::fromLatin1(kWriteZip), file},
                     QJsonDocument(list).toJson())
        .has_value();
}

AsUnprivilegedUser::AsUnprivilegedUser()
{
    if (::geteuid() != 0) {
        m_active = true;
        return;
    }
    const passwd *nobody = ::getpwnam("nobody");
    if (!nobody || ::setegid(nobody->pw_gid) != 0)
        return;
    m_switched = true;
    m_active = ::seteuid(nobody->pw_uid) == 0;
}

AsUnprivilegedUser::~AsUnprivilegedUser()
{
    if (!m_switched)
        return;
    // Back to root: the saved user id still is 0.
    if (::seteuid(0) != 0 || ::setegid(0) != 0)
        qFatal("cannot return to root after an unprivileged scope");
}
