#pragma once

#include "platform/prompts.h"

#include <QList>
#include <QStringList>
#include <functional>

// Answers message, input and file prompts from a script and records what was shown.
class ScriptedPrompts final : public Prompts {
public:
    struct Shown {
        QString kind; // "message", "input", "open", "save"
        QString text;
        QString title;
    };

    // Queued answers, taken in order; when a queue is empty, messages answer Ok
    // (Yes for questions), inputs and file dialogs answer cancel.
    QList<Answer> messageAnswers;
    QList<std::optional<QString>> inputAnswers;
    QList<std::optional<QString>> fileAnswers;
    // Runs while a message is "open", as a modal box would let other events run.
    std::function<void(const QString &text)> onMessage;
    // Runs while any prompt (message, input or file dialog) is "open", after onMessage.
    std::function<void(const Shown &prompt)> onPrompt;

    QList<Shown> shown;
    int beeps = 0;

    QStringList messages() const;
    // The kinds of the prompts shown, in order.
    QStringList kinds() const;

    Answer message(const QString &text, const QString &title, Buttons buttons) override;
    std::optional<QString> input(const QString &prompt, const QString &title,
                                 const QString &defaultText) override;
    std::optional<QString> openFileName(const QString &title, const QString &folder,
                                        const QString &filter) override;
    std::optional<QString> saveFileName(const QString &title, const QString &folder,
                                        const QString &filter) override;
    void beep() override { ++beeps; }

private:
    void show(const Shown &prompt);
};
