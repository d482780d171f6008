#include "tests/support/filled_dialogs.h"

#include "core/app.h"
#include "core/settings/settings.h"
#include "dialogs/actionkey_def.h"
#include "dialogs/anzeige.h"
#include "dialogs/folanguage_def.h"
#include "dialogs/format_def.h"
#include "dialogs/getbuttontext.h"
#include "dialogs/getkey_def.h"
#include "dialogs/messwert_def.h"
#include "dialogs/select_accessfile.h"
#include "dialogs/select_application.h"
#include "dialogs/select_ddeparameter.h"
#include "dialogs/select_excelfile.h"
#include "dialogs/select_settings.h"
#include "dialogs/select_target.h"
#include "dialogs/select_textfile.h"
#include "dialogs/tasten.h"
#include "dialogs/timer_def.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <functional>
#include <map>

namespace {

using Loader = std::function<QDialog *(App &)>;

template <typename W> Loader loader()
{
    return [](App &app) -> QDialog * {
        return &app.form<W>();
    };
}

const std::map<QString, Loader> &loaders()
{
    static const std::map<QString, Loader> all{
        {QStringLiteral("format_def"), loader<format_def>()},
        {QStringLiteral("Tasten"), loader<Tasten>()},
        {QStringLiteral("actionkey_def"), loader<actionkey_def>()},
        {QStringLiteral("getkey_def"), loader<getkey_def>()},
        {QStringLiteral("getButtonText"), loader<getButtonText>()},
        {QStringLiteral("timer_def"), loader<timer_def>()},
        {QStringLiteral("Anzeige"), loader<Anzeige>()},
        {QStringLiteral("messwert_def"), loader<messwert_def>()},
        {QStringLiteral("select_settings"), loader<select_settings>()},
        {QStringLiteral("select_target"), loader<select_target>()},
        {QStringLiteral("select_application"), loader<select_application>()},
        {QStringLiteral("select_ExcelFile"), loader<select_ExcelFile>()},
        {QStringLiteral("select_TextFile"), loader<select_TextFile>()},
        {QStringLiteral("select_AccessFile"), loader<select_AccessFile>()},
        {QStringLiteral("select_DDEParameter"), loader<select_DDEParameter>()},
        {QStringLiteral("foLanguage_def"), loader<foLanguage_def>()},
    };
    return all;
}

} // namespace

void fillSettings(App &app)
{
    readSettingsRecord(app, QString());
    SettingsRecord &s = app.settings;
    const std::array<const char *, 3> keys{"CTRL", "ALT", "F1"};
    for (int row = 0; row < 8; ++row)
        for (int c = 0; c < 3; ++c)
            s.Hotkeys[row][c + 1] = s.Action[row][c + 1] = QString::fromLatin1(keys[c]);
    for (int row = 0; row < 8; ++row) {
        s.Action[row][4] = QStringLiteral("T");
        s.Action[row][5] = QStringLiteral("Tara");
        s.Action[row][6] = QStringLiteral("1");
    }
    s.anwendung = QStringLiteral("Rechner");
    s.format = QStringLiteral("{TAB}");
    s.OTG = QStringLiteral("100");
    s.UTG = QStringLiteral("1");
    s.modus = QStringLiteral("TIMER");
    s.d_start = s.d_end = QStringLiteral("01.01.2024");
    s.t_start = s.t_end = QStringLiteral("08:00:00");
    s.int_std = s.int_min = s.int_sek = QStringLiteral("1");
    s.anz_mess = QStringLiteral("5");
    s.st_dichte = 0.9;
    s.anwend = QStringLiteral("Excel");
    s.topic = QStringLiteral("System");
    s.befehl = QStringLiteral("[RUN]");
    // No instrument: the telegram dialog's connection is refused at once.
    s.portnum = QStringLiteral("TCP/IP");
    s.tcpip = QStringLiteral("127.0.0.1");
    s.tcpport = QStringLiteral("1");
    s.mw_start = 1;
    s.mw_end = 8;
    s.str_len = QStringLiteral("16");
    s.str_endchar = QStringLiteral("13");
}

QStringList dialogWindows()
{
    QStringList names;
    for (const auto &entry : loaders())
        names << entry.first;
    return names;
}

QDialog *loadDialog(App &app, const QString &window)
{
    return loaders().at(window)(app);
}

QList<QWidget *> editableFields(QWidget *window)
{
    QList<QWidget *> fields;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) ||
            qobject_cast<QPlainTextEdit *>(w) || qobject_cast<QTextEdit *>(w) ||
            qobject_cast<QListWidget *>(w))
            fields << w;
    }
    return fields;
}

QString fieldContent(const QWidget *field)
{
    if (const auto *edit = qobject_cast<const QLineEdit *>(field))
        return edit->text();
    if (const auto *box = qobject_cast<const QComboBox *>(field))
        return box->currentText();
    if (const auto *plain = qobject_cast<const QPlainTextEdit *>(field))
        return plain->toPlainText();
    if (const auto *rich = qobject_cast<const QTextEdit *>(field))
        return rich->toPlainText();
    if (const auto *list = qobject_cast<const QListWidget *>(field); list && list->currentItem())
        return list->currentItem()->text();
    return QString();
}

void fillEmptyFields(QWidget *window)
{
    const QString typed = QStringLiteral("Rechner");
    for (QWidget *field : editableFields(window)) {
        if (!fieldContent(field).isEmpty())
            continue;
        if (auto *edit = qobject_cast<QLineEdit *>(field))
            edit->setText(typed);
        else if (auto *box = qobject_cast<QComboBox *>(field); box && box->isEditable())
            box->setEditText(typed);
        else if (auto *box = qobject_cast<QComboBox *>(field))
            box->setCurrentIndex(0);
        else if (auto *plain = qobject_cast<QPlainTextEdit *>(field))
            plain->setPlainText(typed);
        else if (auto *rich = qobject_cast<QTextEdit *>(field))
            rich->setPlainText(typed);
        else if (auto *list = qobject_cast<QListWidget *>(field))
            list->setCurrentRow(0);
    }
}
