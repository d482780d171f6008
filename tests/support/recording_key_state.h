#pragma once

#include "platform/x11/key_state.h"

#include <QList>
#include <QSet>
#include <initializer_list>

// Key states a test sets, read as Windows gives them: kDown for a key in down,
// kPressedSince for one in pressedSince, which the query clears. Records every
// query in order.
class RecordingKeyState final : public KeyState {
public:
    QSet<int> down;
    QSet<int> pressedSince;
    QList<int> queries;
    // When set, unavailable() says so and every query gives 0.
    QString unavailableText;

    // The user presses keys and holds them.
    void press(std::initializer_list<int> keys);
    // The user lets go of every key.
    void releaseAll() { down.clear(); }

    QString unavailable() const override { return unavailableText; }
    quint16 GetAsyncKeyState(int virtualKey) override;
    // The test sets every state itself, typing or not.
    void ownTypingStarts() override {}
    void ownTypingEnded() override {}
};
