#pragma once

#include <QString>

class QLabel;

namespace vb {

// The text a label shows for its caption, as Windows draws it: a single "&" is
// not shown (it marks the next character as the mnemonic), "&&" shows one "&",
// and an "&" at the very end, with nothing to mark, is shown as it is.
QString LabelText(const QString &caption);

// Gives a label a caption the way a VB label shows it ("O&nline" reads "Online").
// Buttons take their caption unchanged: Qt draws their "&" as the mnemonic.
void setCaption(QLabel *label, const QString &caption);

} // namespace vb
