#include "tests/support/recording_key_state.h"

void RecordingKeyState::press(std::initializer_list<int> keys)
{
    for (const int key : keys) {
        down.insert(key);
        pressedSince.insert(key);
    }
}

quint16 RecordingKeyState::GetAsyncKeyState(int virtualKey)
{
    queries << virtualKey;
    if (!unavailableText.isEmpty())
        return 0;
    quint16 state = down.contains(virtualKey) ? keystate::kDown : 0;
    if (pressedSince.remove(virtualKey))
        state |= keystate::kPressedSince;
    return state;
}
