#include "platform/vb/vb_caption.h"

#include <QLabel>

namespace vb {

QString LabelText(const QString &caption)
{
    QString text;
    text.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i; // "&&" keeps the second "&", "&x" keeps the x
        text += caption[i];
    }
    return text;
}

void setCaption(QLabel *label, const QString &caption)
{
    label->setText(LabelText(caption));
}

} // namespace vb
