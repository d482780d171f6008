#include "tests/support/scripted_prompts.h"

QStringList ScriptedPrompts::messages() const
{
    QStringList texts;
    for (const Shown &s : shown)
        if (s.kind == QLatin1String("message"))
            texts << s.text;
    return texts;
}

QStringList ScriptedPrompts::kinds() const
{
    QStringList kinds;
    for (const Shown &s : shown)
        kinds << s.kind;
    return kinds;
}

void ScriptedPrompts::show(const Shown &prompt)
{
    shown.append(prompt);
    if (onMessage && prompt.kind == QLatin1String("message"))
        onMessage(prompt.text);
    if (onPrompt)
        onPrompt(prompt);
}

Prompts::Answer ScriptedPrompts::message(const QString &text, const QString &title, Buttons buttons)
{
    show({QStringLiteral("message"), text, title});
    if (!messageAnswers.isEmpty())
        return messageAnswers.takeFirst();
    return buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
}

std::optional<QString> ScriptedPrompts::input(const QString &prompt, const QString &title,
                                              const QString &)
{
    show({QStringLiteral("input"), prompt, title});
    return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.takeFirst();
}

std::optional<QString> ScriptedPrompts::openFileName(const QString &title, const QString &,
                                                     const QString &)
{
    show({QStringLiteral("open"), QString(), title});
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.takeFirst();
}

std::optional<QString> ScriptedPrompts::saveFileName(const QString &title, const QString &,
                                                     const QString &)
{
    show({QStringLiteral("save"), QString(), title});
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.takeFirst();
}
