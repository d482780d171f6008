#include "tests/support/scripted_prompts.h"

QStringList ScriptedPrompts::messages() const
{
    QStringList texts;
    for (const Shown &s : shown)
        if (s.kind == QLatin1String("message"))
            texts << s.text;
    return texts;
}

Prompts::Answer ScriptedPrompts::message(const QString &text, const QString &title, Buttons buttons)
{
    shown.append({QStringLiteral("message"), text, title});
    if (onMessage)
        onMessage(text);
    if (!messageAnswers.isEmpty())
        return messageAnswers.takeFirst();
    return buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
}

std::optional<QString> ScriptedPrompts::input(const QString &prompt, const QString &title,
                                              const QString &)
{
    shown.append({QStringLiteral("input"), prompt, title});
    return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.takeFirst();
}

std::optional<QString> ScriptedPrompts::openFileName(const QString &title, const QString &,
                                                     const QString &)
{
    shown.append({QStringLiteral("open"), QString(), title});
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.takeFirst();
}

std::optional<QString> ScriptedPrompts::saveFileName(const QString &title, const QString &,
                                                     const QString &)
{
    shown.append({QStringLiteral("save"), QString(), title});
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.takeFirst();
}
