#pragma once

#include <QString>

// A limit (OTG, UTG) as the polling loop tests it.
struct LimitReading {
    double value = 0.0;   // 0 is no limit
    bool ignored = false; // the text is no number, so it sets no limit
};

// Reads a limit text the user's way first, as the transfer dialog checks it (in
// German "1.500" is 1500). Where the locale rejects it, "," or "." is the decimal
// point and there is no grouping, so a file written on another desktop keeps its
// limits ("5,5" is 5.5 everywhere). A blank text is 0; any other text that is no
// number is ignored and gives 0.
LimitReading readLimit(const QString &text);

// The value of readLimit.
double limitValue(const QString &text);

// Tells the user once per limit text that a limit is ignored, not at every tick.
class IgnoredLimits {
public:
    // Notes the limit texts a tick tested; an ignored text not reported before
    // makes a notice due. A readable text forgets the report, so the same bad
    // text loaded again later is reported again.
    void note(const QString &otg, const QString &utg);
    // The notice due for the status panel, "" when none; each is given once.
    QString takeNotice();

private:
    QString m_reportedOtg;
    QString m_reportedUtg;
    QString m_due;
};
