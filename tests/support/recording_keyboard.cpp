#include "tests/support/recording_keyboard.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

struct UsKey {
    quint8 virtualKey;
    quint8 scanCode;
    char plain;   // character without modifiers, 0 for none
    char shifted; // character with Shift, 0 for none
};

// The US layout's keys as Windows reports them (set-1 scan codes).
constexpr std::array<UsKey, 85> kUsKeys = {{
    {0x08, 0x0E, '\b', 0},  {0x09, 0x0F, '\t', 0},   {0x0D, 0x1C, '\r', 0},  {0x10, 0x2A, 0, 0},
    {0x11, 0x1D, 0, 0},     {0x12, 0x38, 0, 0},      {0x13, 0x45, 0, 0},     {0x14, 0x3A, 0, 0},
    {0x1B, 0x01, 0x1B, 0},  {0x20, 0x39, ' ', 0},    {0x21, 0x49, 0, 0},     {0x22, 0x51, 0, 0},
    {0x23, 0x4F, 0, 0},     {0x24, 0x47, 0, 0},      {0x25, 0x4B, 0, 0},     {0x26, 0x48, 0, 0},
    {0x27, 0x4D, 0, 0},     {0x28, 0x50, 0, 0},      {0x2C, 0x54, 0, 0},     {0x2D, 0x52, 0, 0},
    {0x2E, 0x53, 0, 0},     {0x30, 0x0B, '0', ')'},  {0x31, 0x02, '1', '!'}, {0x32, 0x03, '2', '@'},
    {0x33, 0x04, '3', '#'}, {0x34, 0x05, '4', '$'},  {0x35, 0x06, '5', '%'}, {0x36, 0x07, '6', '^'},
    {0x37, 0x08, '7', '&'}, {0x38, 0x09, '8', '*'},  {0x39, 0x0A, '9', '('}, {0x41, 0x1E, 'a', 'A'},
    {0x42, 0x30, 'b', 'B'}, {0x43, 0x2E, 'c', 'C'},  {0x44, 0x20, 'd', 'D'}, {0x45, 0x12, 'e', 'E'},
    {0x46, 0x21, 'f', 'F'}, {0x47, 0x22, 'g', 'G'},  {0x48, 0x23, 'h', 'H'}, {0x49, 0x17, 'i', 'I'},
    {0x4A, 0x24, 'j', 'J'}, {0x4B, 0x25, 'k', 'K'},  {0x4C, 0x26, 'l', 'L'}, {0x4D, 0x32, 'm', 'M'},
    {0x4E, 0x31, 'n', 'N'}, {0x4F, 0x18, 'o', 'O'},  {0x50, 0x19, 'p', 'P'}, {0x51, 0x10, 'q', 'Q'},
    {0x52, 0x13, 'r', 'R'}, {0x53, 0x1F, 's', 'S'},  {0x54, 0x14, 't', 'T'}, {0x55, 0x16, 'u', 'U'},
    {0x56, 0x2F, 'v', 'V'}, {0x57, 0x11, 'w', 'W'},  {0x58, 0x2D, 'x', 'X'}, {0x59, 0x15, 'y', 'Y'},
    {0x5A, 0x2C, 'z', 'Z'}, {0x70, 0x3B, 0, 0},      {0x71, 0x3C, 0, 0},     {0x72, 0x3D, 0, 0},
    {0x73, 0x3E, 0, 0},     {0x74, 0x3F, 0, 0},      {0x75, 0x40, 0, 0},     {0x76, 0x41, 0, 0},
    {0x77, 0x42, 0, 0},     {0x78, 0x43, 0, 0},      {0x79, 0x44, 0, 0},     {0x7A, 0x57, 0, 0},
    {0x7B, 0x58, 0, 0},     {0xBA, 0x27, ';', ':'},  {0xBB, 0x0D, '=', '+'}, {0xBC, 0x33, ',', '<'},
    {0xBD, 0x0C, '-', '_'}, {0xBE, 0x34, '.', '>'},  {0xBF, 0x35, '/', '?'}, {0xC0, 0x29, '`', '~'},
    {0xDB, 0x1A, '[', '{'}, {0xDC, 0x2B, '\\', '|'}, {0xDD, 0x1B, ']', '}'}, {0xA0, 0x2A, 0, 0},
    {0xA1, 0x36, 0, 0},     {0xA2, 0x1D, 0, 0},      {0xA3, 0x1D, 0, 0},     {0xA4, 0x38, 0, 0},
    {0xA5, 0x38, 0, 0},
}};

const UsKey *keyOf(quint32 virtualKey)
{
    for (const UsKey &key : kUsKeys) {
        if (key.virtualKey == virtualKey)
            return &key;
    }
    return nullptr;
}

} // namespace

KeyboardStatus RecordingKeyboard::keybd_event(quint8 virtualKey, quint8 scanCode, quint32 flags)
{
    if (!unavailable.isEmpty())
        return {unavailable};
    if (missingKeys.contains(virtualKey))
        return {QStringLiteral("no key for 0x%1").arg(virtualKey, 2, 16, QLatin1Char('0'))};
    events << QStringLiteral("%1:%2:%3")
                  .arg(virtualKey, 2, 16, QLatin1Char('0'))
                  .arg(scanCode, 2, 16, QLatin1Char('0'))
                  .arg(flags, 0, 16);
    return {};
}

qint16 RecordingKeyboard::VkKeyScanA(char charCode)
{
    if (charCode == 0)
        return -1;
    for (const UsKey &key : kUsKeys) {
        if (key.plain == charCode)
            return key.virtualKey;
        if (key.shifted == charCode)
            return qint16(0x100 | key.virtualKey);
    }
    return -1;
}

quint32 RecordingKeyboard::MapVirtualKeyA(quint32 code, quint32 mapType)
{
    const UsKey *key = keyOf(code);
    if (!key)
        return 0;
    if (mapType == 0)
        return key->scanCode;
    if (mapType == 2)
        return key->plain >= 'a' && key->plain <= 'z' ? key->plain - ('a' - 'A')
                                                      : uchar(key->plain);
    return 0;
}

QString RecordingKeyboard::codePoint(char32_t character)
{
    return QStringLiteral("U+%1").arg(quint32(character), 4, 16, QLatin1Char('0')).toUpper();
}

KeyboardStatus RecordingKeyboard::releaseModifiers()
{
    for (const quint8 virtualKey : std::exchange(heldModifiers, {}))
        keybd_event(virtualKey, 0, KEYEVENTF_KEYUP);
    return {unavailable};
}

Keyboard::Mapping RecordingKeyboard::mapCharacters(const QList<char32_t> &characters)
{
    if (!unavailable.isEmpty())
        return {{unavailable}};
    const QList<char32_t> mapped = characters.first(std::min(spareKeys, characters.size()));
    QStringList names;
    for (const char32_t character : mapped)
        names << codePoint(character);
    events << QStringLiteral("map:") + names.join(QLatin1Char(','));
    m_mapped << mapped;
    return {{}, mapped.size()};
}

KeyboardStatus RecordingKeyboard::typeCharacter(char32_t character)
{
    if (!unavailable.isEmpty())
        return {unavailable};
    if (m_mapped.isEmpty() || !m_mapped.last().contains(character))
        return {QStringLiteral("%1 is not mapped").arg(codePoint(character))};
    events << codePoint(character);
    return {};
}

void RecordingKeyboard::unmapCharacters()
{
    if (m_mapped.isEmpty())
        return;
    m_mapped.removeLast();
    events << QStringLiteral("unmap");
}
