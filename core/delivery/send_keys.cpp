#include "core/delivery/send_keys.h"

#include "platform/vb/cp1252.h"

#include <array>
#include <optional>
#include <span>
#include <vector>

namespace {

struct KeyName {
    QLatin1String name;
    quint8 virtualKey;
};

// Tested in this order: a name comes before the shorter names it begins with.
constexpr std::array<KeyName, 42> kKeyNames = {{
    {QLatin1String("BACKSPACE"), 0x08}, {QLatin1String("BS"), 0x08},
    {QLatin1String("BKSP"), 0x08},      {QLatin1String("BREAK"), 0x13},
    {QLatin1String("CAPSLOCK"), 0x14},  {QLatin1String("DELETE"), 0x2E},
    {QLatin1String("DEL"), 0x2E},       {QLatin1String("DOWN"), 0x28},
    {QLatin1String("UP"), 0x26},        {QLatin1String("LEFT"), 0x25},
    {QLatin1String("RIGHT"), 0x27},     {QLatin1String("END"), 0x23},
    {QLatin1String("ENTER"), 0x0D},     {QLatin1String("HOME"), 0x24},
    {QLatin1String("ESC"), 0x1B},       {QLatin1String("HELP"), 0x2F},
    {QLatin1String("INSERT"), 0x2D},    {QLatin1String("INS"), 0x2D},
    {QLatin1String("NUMLOCK"), 0x90},   {QLatin1String("PGUP"), 0x21},
    {QLatin1String("PGDN"), 0x22},      {QLatin1String("SCROLLLOCK"), 0x91},
    {QLatin1String("TAB"), 0x09},       {QLatin1String("F10"), 0x79},
    {QLatin1String("F11"), 0x7A},       {QLatin1String("F12"), 0x7B},
    {QLatin1String("F13"), 0x7C},       {QLatin1String("F14"), 0x7D},
    {QLatin1String("F15"), 0x7E},       {QLatin1String("F16"), 0x7F},
    {QLatin1String("F1"), 0x70},        {QLatin1String("F2"), 0x71},
    {QLatin1String("F3"), 0x72},        {QLatin1String("F4"), 0x73},
    {QLatin1String("F5"), 0x74},        {QLatin1String("F6"), 0x75},
    {QLatin1String("F7"), 0x76},        {QLatin1String("F8"), 0x77},
    {QLatin1String("F9"), 0x78},        {QLatin1String("WIN"), 0x5B},
    {QLatin1String("APPS"), 0x5D},      {QLatin1String("PRINT"), 0x2C},
}};

constexpr quint8 kShift = 0x10;
constexpr quint8 kCtrl = 0x11;
constexpr quint8 kAlt = 0x12;

struct Modifier {
    quint16 bit; // in a VkKeyScanA result
    quint8 virtualKey;
};
// Pressed in this order, released in the same order.
constexpr std::array<Modifier, 3> kModifiers = {{{0x100, kShift}, {0x200, kCtrl}, {0x400, kAlt}}};

// The name the text continues with after its "{" at brace. Only the name's
// own length is compared; what follows it (normally "}") is not looked at.
const KeyName *keyNameAfter(const QString &text, qsizetype brace)
{
    for (const KeyName &key : kKeyNames) {
        const QStringView candidate = QStringView(text).mid(brace + 1, key.name.size());
        if (candidate.compare(key.name, Qt::CaseInsensitive) == 0)
            return &key;
    }
    return nullptr;
}

std::optional<quint8> modifierOfCharacter(QChar c)
{
    switch (c.unicode()) {
    case '+':
        return kShift;
    case '%':
        return kAlt;
    case '^':
        return kCtrl;
    default:
        return std::nullopt;
    }
}

// The character's byte in the ANSI code page, nullopt when it has none.
std::optional<char> ansiByte(char32_t character)
{
    const QString text = QString::fromUcs4(&character, 1);
    const QByteArray bytes = cp1252::encode(text);
    if (bytes == "?" && character != U'?')
        return std::nullopt;
    return bytes.at(0);
}

// Presses and releases key (a virtual key, with VkKeyScanA's modifier bits)
// with the modifiers it needs around it. The extended flag and the scan code
// are taken from the key before its modifier bits are dropped, so a key that
// needs a modifier goes out with scan code 0 and the extended flag.
KeyboardStatus pressKey(Keyboard &keyboard, quint16 key)
{
    const quint32 extended = keyboard.MapVirtualKeyA(key, 2) == 0 ? KEYEVENTF_EXTENDEDKEY : 0;
    const auto scan = quint8(keyboard.MapVirtualKeyA(key, 0));

    std::size_t pressed = 0;
    KeyboardStatus status;
    for (const Modifier &modifier : kModifiers) {
        if (!(key & modifier.bit))
            continue;
        status = keyboard.keybd_event(modifier.virtualKey, 0, 0);
        if (!status)
            break;
        ++pressed;
    }
    const auto virtualKey = quint8(key & 0xFF);
    if (status)
        status = keyboard.keybd_event(virtualKey, scan, extended);
    if (status)
        status = keyboard.keybd_event(virtualKey, scan, extended | KEYEVENTF_KEYUP);
    // Never leave a modifier held down, also when the key itself failed.
    for (const Modifier &modifier : kModifiers) {
        if (pressed > 0 && (key & modifier.bit)) {
            keyboard.keybd_event(modifier.virtualKey, 0, KEYEVENTF_KEYUP);
            --pressed;
        }
    }
    return status;
}

// One position of the text: a key of the layout (with VkKeyScanA's modifier
// bits), or a character the layout has no key for.
struct Step {
    bool onLayout;
    quint16 key;
    char32_t character;
};

Step keyStep(quint16 key)
{
    return {true, key, 0};
}

// The step for the character at text[i], moving i onto the second half of a
// surrogate pair.
Step characterStep(Keyboard &keyboard, const QString &text, qsizetype &i)
{
    char32_t character = text.at(i).unicode();
    if (QChar::isHighSurrogate(character) && i + 1 < text.size() &&
        text.at(i + 1).isLowSurrogate()) {
        character = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
        ++i;
    }
    const std::optional<char> byte = ansiByte(character);
    const qint16 key = byte ? keyboard.VkKeyScanA(*byte) : -1;
    // Windows would send key 255 with Shift+Ctrl+Alt here, which types nothing.
    if (key == -1)
        return {false, 0, character};
    return keyStep(quint16(key));
}

// The whole text as steps, read against the layout once before anything is sent.
std::vector<Step> stepsOf(Keyboard &keyboard, const QString &text)
{
    std::vector<Step> steps;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (const KeyName *name = c == QLatin1Char('{') ? keyNameAfter(text, i) : nullptr) {
            steps.push_back(keyStep(name->virtualKey));
            // Past the name and the character after it, normally its "}".
            i += name->name.size() + 1;
        } else if (const std::optional<quint8> modifier = modifierOfCharacter(c)) {
            steps.push_back(keyStep(*modifier));
        } else {
            // Also a "{" that names no key: the brace itself is typed.
            steps.push_back(characterStep(keyboard, text, i));
        }
    }
    return steps;
}

// The characters on spare keys for the current run of the text. Mapping all
// of a run at once costs one wait for the target instead of one per
// character; the keys are given back when the run ends, also on an error.
class SpareKeys {
public:
    explicit SpareKeys(Keyboard &keyboard)
        : m_keyboard(keyboard)
    {}
    ~SpareKeys() { unmap(); }
    SpareKeys(const SpareKeys &) = delete;
    SpareKeys &operator=(const SpareKeys &) = delete;

    bool hold(char32_t character) const { return m_characters.contains(character); }

    // Maps the characters off the layout of steps, in the order they first
    // appear, as many as the keyboard has spare keys for.
    KeyboardStatus mapRun(std::span<const Step> steps)
    {
        unmap();
        QList<char32_t> characters;
        for (const Step &step : steps) {
            if (!step.onLayout && !characters.contains(step.character))
                characters << step.character;
        }
        const Keyboard::Mapping mapping = m_keyboard.mapCharacters(characters);
        if (mapping.status) {
            m_mapped = true;
            m_characters = characters.first(mapping.mapped);
        }
        return mapping.status;
    }

private:
    void unmap()
    {
        if (m_mapped)
            m_keyboard.unmapCharacters();
        m_mapped = false;
        m_characters.clear();
    }

    Keyboard &m_keyboard;
    bool m_mapped = false;
    QList<char32_t> m_characters;
};

// The keyboard's typing of one text, ended also when a key fails.
class Typing {
public:
    explicit Typing(Keyboard &keyboard)
        : m_keyboard(keyboard)
    {
        m_keyboard.beginTyping();
    }
    ~Typing() { m_keyboard.endTyping(); }
    Typing(const Typing &) = delete;
    Typing &operator=(const Typing &) = delete;

private:
    Keyboard &m_keyboard;
};

} // namespace

KeyboardStatus SendKeysEx(Keyboard &keyboard, const QString &text)
{
    if (KeyboardStatus status = keyboard.available(); !status)
        return status;
    const std::vector<Step> steps = stepsOf(keyboard, text);
    if (steps.empty())
        return {};
    const Typing typing(keyboard);
    // A value cut short is worse than one with a key missing: every failure
    // is skipped, and the first one is reported.
    KeyboardStatus result = keyboard.releaseModifiers();
    const auto note = [&result](const KeyboardStatus &status) {
        if (result && !status)
            result = status;
    };
    SpareKeys spareKeys(keyboard);
    for (auto step = steps.begin(); step != steps.end(); ++step) {
        if (step->onLayout) {
            note(pressKey(keyboard, step->key));
        } else if (spareKeys.hold(step->character)) {
            note(keyboard.typeCharacter(step->character));
        } else {
            const KeyboardStatus mapped = spareKeys.mapRun(std::span(step, steps.end()));
            note(mapped ? keyboard.typeCharacter(step->character) : mapped);
        }
    }
    return result;
}
