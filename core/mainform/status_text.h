#pragma once

#include "core/language/language_texts.h"

#include <QString>
#include <variant>
#include <vector>

// A status line text kept as the language texts and fixed pieces (port names,
// numbers, error texts) it is made of, so that it can be shown again in a
// language chosen meanwhile.
class StatusText {
public:
    using Text = QString LanguageTexts::*;

    StatusText() = default;
    // Implicit, so that a status is written as the pieces joined with "+".
    // A piece that is the same in every language:
    StatusText(const QString &fixed);
    // A language text, read anew whenever the status is shown:
    StatusText(Text text);

    StatusText &operator+=(const StatusText &more);
    friend StatusText operator+(StatusText left, const StatusText &right) { return left += right; }

    // The text in the language of texts.
    QString in(const LanguageTexts &texts) const;

private:
    std::vector<std::variant<QString, Text>> m_parts;
};
