#include "core/app.h"

#include "core/mainform/mainform.h"
#include "core/tray/systray.h"
#include "platform/x11/key_state.h"
#include "platform/x11/keyboard.h"
#include "platform/x11/window_list.h"

#include <QCoreApplication>

App::App(const QString &programFolder, Prompts &prompts, Clock &clock, QObject *parent)
    : QObject(parent)
    , m_programFolder(programFolder)
    , m_prompts(prompts)
    , m_clock(clock)
{}

App::~App() = default;

QString App::programFile(const QString &name) const
{
    return m_programFolder + QLatin1Char('/') + name;
}

WindowList &App::windows()
{
    if (!m_windows)
        m_windows = std::make_unique<X11WindowList>();
    return *m_windows;
}

void App::installWindows(std::unique_ptr<WindowList> windows)
{
    m_windows = std::move(windows);
}

Keyboard &App::keyboard()
{
    if (!m_keyboard) {
        auto keyboard = std::make_unique<X11Keyboard>();
        // A template that holds a hotkey's key must not press its button again.
        keyboard->setOwnTypingHook([this](bool running) {
            if (!m_keyState)
                return;
            if (running)
                m_keyState->ownTypingStarts();
            else
                m_keyState->ownTypingEnded();
        });
        m_keyboard = std::move(keyboard);
    }
    return *m_keyboard;
}

void App::installKeyboard(std::unique_ptr<Keyboard> keyboard)
{
    m_keyboard = std::move(keyboard);
}

KeyState &App::keyState()
{
    if (!m_keyState)
        m_keyState = std::make_unique<X11KeyState>();
    return *m_keyState;
}

void App::installKeyState(std::unique_ptr<KeyState> keyState)
{
    m_keyState = std::move(keyState);
}

mainform &App::mainWindow()
{
    if (!m_mainform) {
        // Opening the display takes milliseconds: not in a tick, where a
        // telegram arriving meanwhile would be dropped by the reading.
        keyState();
        m_mainform = std::make_unique<mainform>(*this);
    }
    return *m_mainform;
}

void App::unloadMainWindow()
{
    m_mainform.reset();
}

void App::endProgram(int exitCode)
{
    m_ended = true;
    QCoreApplication::exit(exitCode);
}
