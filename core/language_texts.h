#pragma once

#include <QString>
#include <QStringList>

// Every language text, named exactly as its key in language.ini.
// X(name) lists each text once; the table below is built from it.
#define MQ_LANGUAGE_TEXT_KEYS(X)                                                                   \
    X(TextMesswert)                                                                                \
    X(TextEinheit)                                                                                 \
    X(TextDatum)                                                                                   \
    X(TextUhrzeit)                                                                                 \
    X(TextStatus)                                                                                  \
    X(TextFrmJSLink_Label1Caption)                                                                 \
    X(TextMessgeraetAktiviert)                                                                     \
    X(TextMessgeraetInaktiv)                                                                       \
    X(TextStandardCfgNichtVorhanden)                                                               \
    X(TextAenderungenSpeichern)

struct LanguageTexts {
#define MQ_DECLARE_TEXT(name) QString name;
    MQ_LANGUAGE_TEXT_KEYS(MQ_DECLARE_TEXT)
#undef MQ_DECLARE_TEXT

    // The key names of all texts, in the order of the list above.
    static const QStringList &keys();
};
