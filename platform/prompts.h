#pragma once

#include <QString>
#include <optional>

class QWidget;

// Message boxes, input boxes and file dialogs. Nothing in the program opens
// them directly, so tests can answer them through a scripted implementation.
class Prompts {
public:
    enum class Answer { Ok, Cancel, Yes, No };
    enum class Buttons { Ok, YesNo, YesNoCancel };

    virtual ~Prompts() = default;
    // A message box; returns the button pressed (Cancel when closed by the window's close button).
    virtual Answer message(const QString &text, const QString &title,
                           Buttons buttons = Buttons::Ok) = 0;
    // An input box; nullopt when cancelled.
    virtual std::optional<QString> input(const QString &prompt, const QString &title,
                                         const QString &defaultText = {}) = 0;
    // The common file dialog; nullopt when cancelled. The save dialog asks
    // nothing about an existing file: the caller does.
    virtual std::optional<QString> openFileName(const QString &title, const QString &folder,
                                                const QString &filter) = 0;
    virtual std::optional<QString> saveFileName(const QString &title, const QString &folder,
                                                const QString &filter) = 0;
    virtual void beep() = 0;
};

// The real dialogs.
class WidgetPrompts final : public Prompts {
public:
    Answer message(const QString &text, const QString &title, Buttons buttons) override;
    std::optional<QString> input(const QString &prompt, const QString &title,
                                 const QString &defaultText) override;
    std::optional<QString> openFileName(const QString &title, const QString &folder,
                                        const QString &filter) override;
    std::optional<QString> saveFileName(const QString &title, const QString &folder,
                                        const QString &filter) override;
    void beep() override;
};
