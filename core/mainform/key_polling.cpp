#include "core/mainform/key_polling.h"

#include "core/app.h"
#include "platform/x11/key_state.h"

#include <QString>
#include <array>

namespace {

enum class Rule {
    Hotkey, // every key's state not 0
    Action, // the key states share a bit: all down, or all pressed since their last query
};

// "F1".."F12" (exact case, no blanks) as 112..123, anything else 0.
int functionKeyCode(const QString &name)
{
    for (int n = 1; n <= 12; ++n) {
        if (name == QStringLiteral("F%1").arg(n))
            return 111 + n;
    }
    return 0;
}

// First and second key.
int keyCode(const QString &name)
{
    static constexpr std::array<std::pair<const char *, int>, 5> kNames{
        {{"CTRL", 17}, {"ALT", 18}, {"SHIFT", 16}, {"ESC", 27}, {"PRINT", 44}}};
    for (const auto &[keyName, code] : kNames) {
        if (name == QLatin1String(keyName))
            return code;
    }
    return functionKeyCode(name);
}

// Third key: only F1..F12; any other name stands for code 3.
int thirdKeyCode(const QString &name)
{
    if (name.isEmpty())
        return 0;
    const int code = functionKeyCode(name);
    return code != 0 ? code : 3;
}

// Every named key is read, in column order, whatever the earlier ones gave.
template <std::size_t Columns>
bool rowMatches(KeyState &keys, const std::array<QString, Columns> &row, Rule rule)
{
    const int k1 = keyCode(row[1]);
    const int k2 = keyCode(row[2]);
    const int k3 = thirdKeyCode(row[3]);
    if (k1 == 0 || (k2 == 0 && k3 != 0))
        return false;
    const quint16 s1 = keys.GetAsyncKeyState(k1);
    if (k2 == 0)
        return s1 != 0;
    const quint16 s2 = keys.GetAsyncKeyState(k2);
    if (k3 == 0)
        return rule == Rule::Hotkey ? s1 != 0 && s2 != 0 : (s1 & s2) != 0;
    const quint16 s3 = keys.GetAsyncKeyState(k3);
    return rule == Rule::Hotkey ? s1 != 0 && s2 != 0 && s3 != 0 : (s1 & s2 & s3) != 0;
}

// The last matching row of 0..7, -1 when none.
template <std::size_t Columns>
int lastMatchingRow(App &app, const std::array<std::array<QString, Columns>, 9> &table, Rule rule)
{
    int result = -1;
    for (int row = 0; row <= 7; ++row) {
        if (rowMatches(app.keyState(), table[std::size_t(row)], rule))
            result = row;
    }
    return result;
}

} // namespace

int fnCheckHotkeys(App &app)
{
    const int row = lastMatchingRow(app, app.settings.Hotkeys, Rule::Hotkey);
    return row == -1 ? -1 : row + 1;
}

int fnCheckActionKeys(App &app)
{
    return lastMatchingRow(app, app.settings.Action, Rule::Action);
}
