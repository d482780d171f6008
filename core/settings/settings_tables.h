#pragma once

#include "core/settings/settings_record.h"

#include <QString>

namespace ini {
class Snapshot;
}

// The key-table rows and the application list as stored in settings files.

// Splits a "Hotkeys" row into columns 1..4 of row; a column whose cut fails keeps its value.
void splitHotkeyRow(const QString &value, std::array<QString, 5> &row);
// Splits an "Action" row into columns 1..6 of row; an empty column 6 becomes "0".
void splitActionRow(const QString &value, std::array<QString, 7> &row);

QString joinHotkeyRow(const std::array<QString, 5> &row);
QString joinActionRow(const std::array<QString, 7> &row);

// Reads section "applicationList" up to the first title "ENDE" (at most 21 rows).
QList<std::array<QString, 3>> readAppList(const ini::Snapshot &file);

// "AppList 0": the row number as Str writes it, with one leading blank.
QString appListKey(int row);
QString appListExeKey(int row);
