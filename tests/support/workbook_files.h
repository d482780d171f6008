#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

// Writes the test workbook as Excel saves one (tests/fixtures/make_workbook.py):
// shared and inline strings, styles, formulas with cached values in a calculation
// chain, merged cells and a second sheet; with filledRows > 0, column A of
// "Tabelle1" filled down to that row instead; firstSheet names the first sheet.
// False when python3 or openpyxl failed.
bool makeWorkbook(const QString &file, int filledRows = 0,
                  const QString &firstSheet = QStringLiteral("Tabelle1"));

// The same with "Tabelle1" holding 1, 2, 3 in A1:A3, B1 =SUM(A1:A4) (cached 6) and
// B4 =A4*2 (cached 0), both in the calculation chain.
bool makeSumWorkbook(const QString &file);

// The workbook as openpyxl reads it: "sheets" (names), "merged" (ranges of sheet)
// and "cells": for each reference of sheet, [value, type name, number format, bold].
// An empty object when openpyxl cannot read the file.
QJsonObject readWithOpenpyxl(const QString &file, const QString &sheet, const QStringList &cells);

// Every entry of a zip file, name and content, in stored order.
QList<std::pair<QString, QByteArray>> zipEntries(const QString &file);

// The content of one entry of a zip file; empty when there is no such entry.
QByteArray zipEntry(const QString &file, const QString &name);

// Rewrites a zip file with every occurrence of from in its entry replaced by to.
// False when that entry does not hold from or the file could not be written.
bool replaceInEntry(const QString &file, const QString &entry, const QByteArray &from,
                    const QByteArray &to);

// The entries of a zip file written by python's zipfile (for files that are zips
// but no workbooks).
bool writeZip(const QString &file, const QList<std::pair<QString, QByteArray>> &entries);

// Runs the scope with the effective user and group "nobody" when the process is
// root (tests run as root, which file modes do not stop), so that permission
// cases are real. active() is false when the switch failed.
class AsUnprivilegedUser {
public:
    AsUnprivilegedUser();
    ~AsUnprivilegedUser();
    AsUnprivilegedUser(const AsUnprivilegedUser &) = delete;
    AsUnprivilegedUser &operator=(const AsUnprivilegedUser &) = delete;
    bool active() const { return m_active; }

private:
    bool m_active = false;
    bool m_switched = false;
};
