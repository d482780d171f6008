#pragma once

#include <QLocale>
#include <QString>
#include <QTranslator>

// The locale a language of language.ini stands for, by its section name matched
// without regard to case ("DEUTSCH" and "GERMAN" give German); English for a
// name not known here.
QLocale localeOfLanguage(const QString &language);

// Qt's own texts (standard buttons, file dialogs, input boxes) in the program's
// language, from Qt's catalogue qtbase_<language>.qm in Qt's translations folder.
class QtTranslation {
public:
    QtTranslation() = default;
    QtTranslation(const QtTranslation &) = delete;
    QtTranslation &operator=(const QtTranslation &) = delete;

    // Qt's texts in locale's language from now on; open windows show them at
    // once. English, and a language without a catalogue, give Qt's English texts.
    void use(const QLocale &locale);
    // The language last asked for, English before the first use().
    QLocale::Language language() const { return m_language; }

private:
    QTranslator m_translator;
    QLocale::Language m_language = QLocale::English;
};
