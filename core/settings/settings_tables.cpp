#include "core/settings/settings_tables.h"

#include "platform/ini/ini_file.h"
#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_strings.h"

namespace {

const QString kComma = QStringLiteral(",");
const QString kEnd = QStringLiteral("ENDE");

// Column k is the text between comma k-1 and comma k; a failing cut keeps the old value.
template <std::size_t N>
void cutColumns(const QString &value, const std::array<int, N> &commas,
                std::array<QString, N + 2> &row)
{
    int previous = 0;
    for (std::size_t k = 0; k < N; ++k) {
        if (const auto cut = vb::Mid(value, previous + 1, commas[k] - previous - 1))
            row[k + 1] = *cut;
        previous = commas[k];
    }
    if (const auto rest = vb::Mid(value, previous + 1))
        row[N + 1] = *rest;
}

template <std::size_t N> std::array<int, N> findCommas(const QString &value)
{
    std::array<int, N> commas{};
    int from = 0;
    for (std::size_t k = 0; k < N; ++k) {
        commas[k] = vb::InStr(from + 1, value, kComma);
        from = commas[k];
    }
    return commas;
}

} // namespace

void splitHotkeyRow(const QString &value, std::array<QString, 5> &row)
{
    cutColumns<3>(value, findCommas<3>(value), row);
}

void splitActionRow(const QString &value, std::array<QString, 7> &row)
{
    auto commas = findCommas<5>(value);
    // Rows written by hand without all commas fall back to fixed field widths.
    constexpr std::array<int, 5> kFallback{1, 5, 10, 15, 30};
    for (std::size_t k = 0; k < commas.size(); ++k)
        if (commas[k] == 0)
            commas[k] = kFallback[k];
    cutColumns<5>(value, commas, row);
    if (row[6].isEmpty())
        row[6] = QStringLiteral("0");
}

QString joinHotkeyRow(const std::array<QString, 5> &row)
{
    return QStringList{row[1], row[2], row[3], row[4]}.join(kComma);
}

QString joinActionRow(const std::array<QString, 7> &row)
{
    return QStringList{row[1], row[2], row[3], row[4], row[5], row[6]}.join(kComma);
}

QString appListKey(int row)
{
    return QStringLiteral("AppList") + vb::Str(row);
}

QString appListExeKey(int row)
{
    return QStringLiteral("AppListExe") + vb::Str(row);
}

QList<std::array<QString, 3>> readAppList(const ini::Snapshot &file)
{
    const QString section = QStringLiteral("applicationList");
    QList<std::array<QString, 3>> list;
    for (int i = 0; i <= 20; ++i) {
        std::array<QString, 3> row;
        row[1] = file.value(section, appListKey(i), kEnd);
        row[2] = file.value(section, appListExeKey(i), kEnd);
        if (row[1] == kEnd) {
            if (i == 0)
                list.append(std::array<QString, 3>{});
            break;
        }
        list.append(row);
    }
    return list;
}
