#pragma once

#include <QString>

class App;

// The fields a telegram gave, as the output template places them.
struct CutFields {
    QString valueText; // the final value text
    QString unit;
};

// Expands app.settings.format with the cut fields, app.ID_Wert, the clock and the
// user's answers to "{?name}" questions. start is the output string as the caller
// left it; it stays when the value token sits at the very start of the template.
QString expandOutputTemplate(App &app, const CutFields &fields, const QString &start,
                             const QString &strIdEinsText);
