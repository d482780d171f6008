#include "core/language/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>

#include <array>
#include <utility>

namespace {

// Section names of language.ini in the language itself and in English.
constexpr std::array<std::pair<const char *, QLocale::Language>, 11> kLanguages{{
    {"DEUTSCH", QLocale::German},
    {"GERMAN", QLocale::German},
    {"ENGLISH", QLocale::English},
    {"FRANCAIS", QLocale::French},
    {"FRANÇAIS", QLocale::French},
    {"FRENCH", QLocale::French},
    {"ESPANOL", QLocale::Spanish},
    {"ESPAÑOL", QLocale::Spanish},
    {"SPANISH", QLocale::Spanish},
    {"ITALIANO", QLocale::Italian},
    {"ITALIAN", QLocale::Italian},
}};

} // namespace

QLocale localeOfLanguage(const QString &language)
{
    for (const auto &[name, locale] : kLanguages)
        if (language.compare(QString::fromUtf8(name), Qt::CaseInsensitive) == 0)
            return QLocale(locale);
    return QLocale(QLocale::English);
}

void QtTranslation::use(const QLocale &locale)
{
    m_language = locale.language();
    QCoreApplication::removeTranslator(&m_translator);
    // Qt's built-in texts are English.
    if (m_language == QLocale::English)
        return;
    if (m_translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_translator);
}
