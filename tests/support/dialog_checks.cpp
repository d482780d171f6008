#include "tests/support/dialog_checks.h"

#include "core/app.h"
#include "core/language/language.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

bool loadShippedLanguage(App &app, const QString &language)
{
    QFile shipped(QStringLiteral(MQ_SOURCE_DIR "/data/language.ini"));
    QFile chosen(app.programFile(QStringLiteral("language.ini")));
    if (!shipped.open(QIODevice::ReadOnly) || !chosen.open(QIODevice::WriteOnly))
        return false;
    chosen.write("[SPRACHE]\r\naktuell=" + language.toUtf8() + "\r\n" + shipped.readAll());
    chosen.close();
    return Sprache_laden(app);
}

namespace {

// The width a button-like widget needs for its whole text, as its style draws it.
int neededWidth(const QAbstractButton *button)
{
    const QString text = QString(button->text()).remove(QLatin1Char('&'));
    const int textWidth = button->fontMetrics().horizontalAdvance(text);
    if (qobject_cast<const QCheckBox *>(button) || qobject_cast<const QRadioButton *>(button)) {
        QStyleOptionButton option;
        option.initFrom(button);
        const QStyle::PixelMetric indicator = qobject_cast<const QCheckBox *>(button)
                                                  ? QStyle::PM_IndicatorWidth
                                                  : QStyle::PM_ExclusiveIndicatorWidth;
        return textWidth + button->style()->pixelMetric(indicator, &option, button);
    }
    return textWidth;
}

} // namespace

QStringList cutOffTexts(QWidget *root)
{
    root->adjustSize();
    QStringList cut;
    for (const QLabel *label : root->findChildren<QLabel *>()) {
        if (!label->isVisibleTo(root) || label->wordWrap() || label->text().isEmpty())
            continue;
        const QString text = QString(label->text()).remove(QLatin1Char('&'));
        if (label->contentsRect().width() < label->fontMetrics().horizontalAdvance(text))
            cut << label->objectName() + QStringLiteral(": ") + label->text();
    }
    for (const QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
        if (!button->isVisibleTo(root) || button->text().isEmpty())
            continue;
        if (button->width() < neededWidth(button))
            cut << button->objectName() + QStringLiteral(": ") + button->text();
    }
    return cut;
}

bool titleFits(QWidget *window)
{
    window->adjustSize();
    QFont bold = window->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    return window->width() >=
           metrics.horizontalAdvance(window->windowTitle()) + 15 * metrics.height() / 2;
}
