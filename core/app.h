#pragma once

#include "core/language/language_texts.h"
#include "core/language/qt_translation.h"
#include "core/output/output_files.h"
#include "core/settings/settings_record.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <map>
#include <memory>
#include <typeindex>

class Clock;
class KeyState;
class Keyboard;
class Prompts;
class WindowList;
class clsSysTray;
class mainform;

// The one shared state object: the settings record, the language texts, the
// run-time values every window shares, the platform services and the default
// instances of the main window and the dialogs. Nothing else in the program is global.
class App : public QObject {
    Q_OBJECT
public:
    App(const QString &programFolder, Prompts &prompts, Clock &clock, QObject *parent = nullptr);
    ~App() override;

    // The program folder and a file in it.
    QString programFolder() const { return m_programFolder; }
    QString programFile(const QString &name) const;

    Prompts &prompts() const { return m_prompts; }
    Clock &clock() const { return m_clock; }
    // Synthetic keystrokes; the X11 display's on first use unless a test installed another.
    // The X11 keyboard tells the key state when its typing runs.
    Keyboard &keyboard();
    void installKeyboard(std::unique_ptr<Keyboard> keyboard);
    // Key states for the hotkeys; the X11 display's on first use unless a test installed another.
    KeyState &keyState();
    void installKeyState(std::unique_ptr<KeyState> keyState);
    // The desktop's windows; the X11 display's on first use unless a test installed others.
    WindowList &windows();
    void installWindows(std::unique_ptr<WindowList> windows);

    // The settings file named on the command line, taken whole ("" for none).
    QString commandLine;

    SettingsRecord settings;
    LanguageTexts texts;
    // Qt's own texts in the language of the texts.
    QtTranslation qtTranslation;

    // Run-time values shared by the windows.
    QString CfgPath;                 // the current settings file
    QString strEmpfang;              // receive buffer
    bool abbruch = false;            // a dialog or wizard page was cancelled
    bool bSendNow = false;           // a send is pending
    bool bTimerAktiv = false;        // the measurement timer runs
    QString dtNaechsteMessung;       // next measurement of the timer schedule
    int lMesswertZaehler = 0;        // values sent since the measurement timer started
    double m_waittime = 1.0;         // receive timeout in seconds
    int AppIndex = 0;                // row of AppList that belongs to the target
    QString strAusgabe;              // the output string
    QString strAnwendungTitel;       // title of the target window found
    std::array<QString, 12> ID_Wert; // text last cut for ID field 1..10
    bool telegramReading = false;    // a telegram reading is waiting (it shares strEmpfang)
    OutputFiles outputFiles;         // protocol.txt and the text-file target
    bool delivering = false;         // Wert_senden is delivering
    QStringList pendingDeliveries;   // strings handed to Wert_senden meanwhile, oldest first
    bool bAssistentAktiv = false;    // the wizard was started from the menu
    int AnzeigeOption = -1;          // Anzeige's mode option last chosen in this run (-1 none)
    // The notification-area icon, made by the start-up.
    std::unique_ptr<clsSysTray> SysTray;

    // The main window's default instance, created on first use.
    mainform &mainWindow();
    bool hasMainWindow() const { return m_mainform != nullptr; }
    void unloadMainWindow();

    // The default instance of the dialog window W (built as W(App &)), created on
    // first use, which runs its loading, and kept, hidden or shown, until unloaded.
    template <typename W> W &form()
    {
        std::unique_ptr<QWidget> &slot = m_forms[std::type_index(typeid(W))];
        if (!slot)
            slot = std::make_unique<W>(*this);
        return static_cast<W &>(*slot);
    }
    template <typename W> bool isLoaded() const
    {
        return m_forms.count(std::type_index(typeid(W))) != 0;
    }
    // Unloads W's default instance; the next form<W>() loads a new one. The window
    // is deleted once control is back in the event loop, so a window may unload
    // itself from its own handlers.
    template <typename W> void unload()
    {
        if (auto node = m_forms.extract(std::type_index(typeid(W))); node && node.mapped())
            node.mapped().release()->deleteLater();
    }

    // Ends the program at once: no window's unload handling runs, nothing is saved.
    void endProgram(int exitCode = 0);
    bool hasEnded() const { return m_ended; }

private:
    QString m_programFolder;
    Prompts &m_prompts;
    Clock &m_clock;
    std::unique_ptr<WindowList> m_windows;
    std::unique_ptr<mainform> m_mainform;
    // After the main window: the dialogs go first.
    std::map<std::type_index, std::unique_ptr<QWidget>> m_forms;
    std::unique_ptr<Keyboard> m_keyboard;
    std::unique_ptr<KeyState> m_keyState;
    bool m_ended = false;
};
