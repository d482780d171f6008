#include "platform/prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

// Message texts break lines with CR, CR LF or LF, as Windows message boxes take
// them; a label breaks only at LF.
QString withLineBreaks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

Prompts::Answer WidgetPrompts::message(const QString &text, const QString &title, Buttons buttons)
{
    QMessageBox box(QMessageBox::NoIcon, title, withLineBreaks(text));
    box.setObjectName(QStringLiteral("MsgBox"));
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

std::optional<QString> WidgetPrompts::input(const QString &prompt, const QString &title,
                                            const QString &defaultText)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(nullptr, title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<QString> WidgetPrompts::openFileName(const QString &title, const QString &folder,
                                                   const QString &filter)
{
    const QString name = QFileDialog::getOpenFileName(nullptr, title, folder, filter);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> WidgetPrompts::saveFileName(const QString &title, const QString &folder,
                                                   const QString &filter)
{
    // The caller asks before it replaces a file; a second question would only confuse.
    const QString name = QFileDialog::getSaveFileName(nullptr, title, folder, filter, nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

void WidgetPrompts::beep()
{
    QApplication::beep();
}
