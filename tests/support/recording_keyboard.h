#pragma once

#include "platform/x11/keyboard.h"

#include <QSet>
#include <QStringList>

// A keyboard that records what it is asked to send, with the answers of
// Windows' US layout for VkKeyScanA and MapVirtualKeyA.
class RecordingKeyboard final : public Keyboard {
public:
    // Events as "vk:scan:flags" in hex ("10:00:0" is Shift down), characters
    // typed through typeCharacter as "U+00E4", mapCharacters as
    // "map:U+00E4,U+20AC" (those it mapped), unmapCharacters as "unmap",
    // beginTyping as "begin" and endTyping as "end".
    QStringList events;
    // When set, available() and every call fail with this text.
    QString unavailable;
    // Virtual keys this keyboard has no key for.
    QSet<quint8> missingKeys;
    // Modifier keys the user holds: releaseModifiers sends their key-up.
    QList<quint8> heldModifiers;
    // How many characters mapCharacters maps at most.
    qsizetype spareKeys = 8;

    KeyboardStatus available() const override { return {unavailable}; }
    void beginTyping() override { events << QStringLiteral("begin"); }
    void endTyping() override { events << QStringLiteral("end"); }
    KeyboardStatus keybd_event(quint8 virtualKey, quint8 scanCode, quint32 flags) override;
    qint16 VkKeyScanA(char charCode) override;
    quint32 MapVirtualKeyA(quint32 code, quint32 mapType) override;
    KeyboardStatus releaseModifiers() override;
    Mapping mapCharacters(const QList<char32_t> &characters) override;
    KeyboardStatus typeCharacter(char32_t character) override;
    void unmapCharacters() override;

private:
    static QString codePoint(char32_t character);

    QList<QList<char32_t>> m_mapped; // by nested mapCharacters calls, latest last
};
