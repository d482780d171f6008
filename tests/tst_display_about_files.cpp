#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/settings/settings.h"
#include "dialogs/anzeige.h"
#include "dialogs/info_box.h"
#include "dialogs/load_set.h"
#include "dialogs/save_set.h"
#include "platform/prompts.h"
#include "platform/vb/vb_timer.h"
#include "tests/support/dialog_checks.h"
#include "tests/support/file_bytes.h"
#include "tests/support/test_app.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

using Answer = Prompts::Answer;

template <typename W> W *control(QWidget *window, const QString &name)
{
    return window->findChild<W *>(name);
}

Anzeige *openAnzeige(App &app)
{
    Anzeige &window = app.form<Anzeige>();
    window.show();
    return QTest::qWaitForWindowActive(&window) ? &window : nullptr;
}

QRadioButton *option(QWidget *window, int index)
{
    return control<QRadioButton>(window, QStringLiteral("Option1(%1)").arg(index));
}

// Clicks an option on its indicator (the middle of a wide one is no hit).
void clickIndicator(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

void typeInto(QLineEdit *box, const QString &text)
{
    QTest::mouseClick(box, Qt::LeftButton);
    box->clear();
    QTest::keyClicks(box, text);
}

// Acts on the modal window named name once it is active (from a timer, as the
// window's own loop runs meanwhile); act returns true when it is done.
class ModalDriver {
public:
    explicit ModalDriver(std::function<bool(QWidget *)> act)
        : m_act(std::move(act))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget *modal = QApplication::activeModalWidget(); modal && m_act(modal))
                m_timer.stop();
        });
        m_timer.start(20);
    }

private:
    std::function<bool(QWidget *)> m_act;
    QTimer m_timer;
};

// Types a name into a file dialog's name box and presses Enter, as a user does.
// Enter comes from the event loop: a question it opens must not block the
// driver's timer, which would then never see it.
void typeFileName(QFileDialog *dialog, const QString &name)
{
    auto *box = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(box);
    box->setText(name);
    QTimer::singleShot(0, box, [box] { QTest::keyClick(box, Qt::Key_Return); });
}

// A fresh App whose prompts are the real dialogs.
struct WidgetPromptsApp {
    QTemporaryDir folder;
    WidgetPrompts prompts;
    SystemClock clock;
    App app{folder.path(), prompts, clock};
};

} // namespace

class tst_display_about_files : public QObject {
    Q_OBJECT
private slots:
    void init();
    void displayModeLoadAndOk_data();
    void displayModeLoadAndOk();
    void displayModeGerman();
    void densityMustBePositiveNumber_data();
    void densityMustBePositiveNumber();
    void displayModeCancel_data();
    void displayModeCancel();
    void displayModeFromMenu();
    void aboutBoxFromMenu();
    void windowsFitAndAreNamed_data();
    void windowsFitAndAreNamed();
    void loadSet();
    void loadSetRealDialog();
    void saveSet_data();
    void saveSet();
    void saveSetRealDialog();
};

void tst_display_about_files::init()
{
    QLocale::setDefault(QLocale::c());
}

void tst_display_about_files::displayModeLoadAndOk_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("earlierChoice"); // chosen in an earlier use of the run, -1 none
    QTest::addColumn<int>("selected");      // -1 none
    QTest::addColumn<QString>("afterOk");

    QTest::newRow("volume") << "1" << -1 << 1 << "1";
    QTest::newRow("flow, earlier weight") << "2" << 0 << 2 << "2";
    // Hand-edited: nothing selected; OK stores what was chosen last in this run.
    QTest::newRow("7, first use") << "7" << -1 << -1 << "";
    QTest::newRow("7, earlier flow") << "7" << 2 << -1 << "2";
}

// Opening selects the stored mode; OK without a click stores the option last chosen.
void tst_display_about_files::displayModeLoadAndOk()
{
    QFETCH(QString, stored);
    QFETCH(int, earlierChoice);
    QFETCH(int, selected);
    QFETCH(QString, afterOk);

    TestApp t;
    QVERIFY(loadShippedLanguage(t.app, QStringLiteral("DEUTSCH")));
    SettingsRecord &s = t.app.settings;
    s.st_dichte = 1.0;
    if (earlierChoice >= 0) {
        s.anzeigemodus = QStringLiteral("7");
        Anzeige *earlier = openAnzeige(t.app);
        QVERIFY(earlier);
        clickIndicator(option(earlier, earlierChoice));
        QTest::mouseClick(control<QPushButton>(earlier, "cmdCancel(1)"), Qt::LeftButton);
        QVERIFY(!t.app.isLoaded<Anzeige>());
    }
    s.anzeigemodus = stored;
    Anzeige *w = openAnzeige(t.app);
    QVERIFY(w);

    QCOMPARE(w->windowTitle(), QStringLiteral("Anzeige"));
    QCOMPARE(control<QGroupBox>(w, "frmAnzeige")->title(), QStringLiteral("Anzeigemodus"));
    QCOMPARE(control<QLabel>(w, "lblweight")->text(), QStringLiteral("Gewicht"));
    QCOMPARE(control<QLabel>(w, "lblvolume")->text(), QStringLiteral("Volumen"));
    QCOMPARE(control<QLabel>(w, "lblflow")->text(), QStringLiteral("Durchfluss"));
    QCOMPARE(control<QLabel>(w, "Label4")->text(), QStringLiteral("g/cm³"));
    QCOMPARE(control<QPushButton>(w, "cmdOK")->text(), QStringLiteral("&OK"));
    QCOMPARE(control<QPushButton>(w, "cmdCancel(1)")->text(), QStringLiteral("&Abbrechen"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(option(w, i)->isChecked(), i == selected);
    QCOMPARE(s.anzeigemodus, stored);

    QTest::mouseClick(control<QPushButton>(w, "cmdOK"), Qt::LeftButton);

    QVERIFY(!t.app.isLoaded<Anzeige>());
    QCOMPARE(s.anzeigemodus, afterOk);
    QCOMPARE(s.st_dichte, 1.0);
    QVERIFY(t.prompts.shown.isEmpty());
}

// In German the density shows and is read with a decimal comma.
void tst_display_about_files::displayModeGerman()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TestApp t;
    SettingsRecord &s = t.app.settings;
    s.anzeigemodus = QStringLiteral("0");
    s.st_dichte = 0.998;
    Anzeige *w = openAnzeige(t.app);
    QVERIFY(w);
    QLineEdit *dichte = control<QLineEdit>(w, "dichte");
    QCOMPARE(dichte->text(), QStringLiteral("0,998"));

    clickIndicator(option(w, 1));
    typeInto(dichte, QStringLiteral("1,25"));
    QCOMPARE(s.anzeigemodus, QStringLiteral("0"));
    QTest::mouseClick(control<QPushButton>(w, "cmdOK"), Qt::LeftButton);

    QVERIFY(t.prompts.shown.isEmpty());
    QCOMPARE(s.anzeigemodus, QStringLiteral("1"));
    QCOMPARE(s.st_dichte, 1.25);
}

void tst_display_about_files::densityMustBePositiveNumber_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored"); // 0 when refused

    QTest::newRow("word") << "de_DE"
                          << "abc" << 0.0;
    QTest::newRow("empty") << "de_DE"
                           << "" << 0.0;
    QTest::newRow("zero") << "de_DE"
                          << "0" << 0.0;
    QTest::newRow("negative") << "de_DE"
                              << "-1,2" << 0.0;
    QTest::newRow("point in German") << "de_DE"
                                     << "1.5" << 0.0;
    QTest::newRow("comma in German") << "de_DE"
                                     << "1,5" << 1.5;
    QTest::newRow("point in C") << "C"
                                << "0.79" << 0.79;
}

// The runtime divides by the density: anything but a number above 0 is refused
// with a message, and the window stays open on the density.
void tst_display_about_files::densityMustBePositiveNumber()
{
    QFETCH(QString, locale);
    QFETCH(QString, typed);
    QFETCH(double, stored);
    QLocale::setDefault(QLocale(locale));

    TestApp t;
    QVERIFY(loadShippedLanguage(t.app, QStringLiteral("DEUTSCH")));
    SettingsRecord &s = t.app.settings;
    s.anzeigemodus = QStringLiteral("0");
    s.st_dichte = 1.0;
    Anzeige *w = openAnzeige(t.app);
    QVERIFY(w);
    QLineEdit *dichte = control<QLineEdit>(w, "dichte");
    clickIndicator(option(w, 2));
    typeInto(dichte, typed);

    QTest::mouseClick(control<QPushButton>(w, "cmdOK"), Qt::LeftButton);

    if (stored > 0) {
        QVERIFY(t.prompts.shown.isEmpty());
        QVERIFY(!t.app.isLoaded<Anzeige>());
        QCOMPARE(s.st_dichte, stored);
        QCOMPARE(s.anzeigemodus, QStringLiteral("2"));
        return;
    }
    QCOMPARE(t.prompts.messages(), QStringList{t.app.texts.TextBitteZahlGroesser0Eingeben});
    QCOMPARE(t.prompts.shown[0].title, QStringLiteral("Mondrelquist"));
    QVERIFY(t.app.isLoaded<Anzeige>());
    QVERIFY(w->isVisible());
    QCOMPARE(QApplication::focusWidget(), dichte);
    QCOMPARE(s.st_dichte, 1.0);
    QCOMPARE(s.anzeigemodus, QStringLiteral("0"));
}

void tst_display_about_files::displayModeCancel_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cmdCancel(1)") << "click";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close button") << "close";
}

// Cancel stores nothing, whatever the window shows.
void tst_display_about_files::displayModeCancel()
{
    QFETCH(QString, how);
    TestApp t;
    SettingsRecord &s = t.app.settings;
    s.anzeigemodus = QStringLiteral("0");
    s.st_dichte = 1.0;
    Anzeige *w = openAnzeige(t.app);
    QVERIFY(w);
    clickIndicator(option(w, 2));
    QLineEdit *dichte = control<QLineEdit>(w, "dichte");
    typeInto(dichte, QStringLiteral("abc"));

    if (how == QLatin1String("click"))
        QTest::mouseClick(control<QPushButton>(w, "cmdCancel(1)"), Qt::LeftButton);
    else if (how == QLatin1String("escape"))
        QTest::keyClick(dichte, Qt::Key_Escape);
    else
        QVERIFY(w->close());

    QVERIFY(!t.app.isLoaded<Anzeige>());
    QVERIFY(!w->isVisible());
    QVERIFY(t.prompts.shown.isEmpty());
    QCOMPARE(s.anzeigemodus, QStringLiteral("0"));
    QCOMPARE(s.st_dichte, 1.0);
}

// The view menu's mode item stops polling and shows the window modally.
void tst_display_about_files::displayModeFromMenu()
{
    TestApp t;
    SettingsRecord &s = t.app.settings;
    s.anzeigemodus = QStringLiteral("0");
    s.st_dichte = 1.0;
    mainform &mw = t.app.mainWindow();
    mw.Timer1().setInterval(10);
    bool shown = false;
    ModalDriver driver([&](QWidget *modal) {
        if (modal->objectName() != QLatin1String("Anzeige"))
            return false;
        shown = true;
        option(modal, 2)->click();
        control<QPushButton>(modal, "cmdOK")->click();
        return true;
    });

    mw.menuItem(QStringLiteral("m_Modus"))->trigger();

    QVERIFY(shown);
    QVERIFY(!mw.Timer1().isRunning());
    QVERIFY(!t.app.isLoaded<Anzeige>());
    QCOMPARE(s.anzeigemodus, QStringLiteral("2"));
}

// The help menu's info item shows the about box with name and version.
void tst_display_about_files::aboutBoxFromMenu()
{
    TestApp t;
    mainform &mw = t.app.mainWindow();
    QString title;
    QString nameAndVersion;
    ModalDriver driver([&](QWidget *modal) {
        if (modal->objectName() != QLatin1String("info_box"))
            return false;
        title = modal->windowTitle();
        nameAndVersion = control<QLabel>(modal, "Label1")->text();
        QTest::mouseClick(control<QPushButton>(modal, "Command1"), Qt::LeftButton);
        return true;
    });

    mw.menuItem(QStringLiteral("info"))->trigger();

    QCOMPARE(nameAndVersion, QStringLiteral("Mondrelquist\nVersion 4.2.0"));
    QVERIFY(!title.isEmpty());
    QVERIFY(!t.app.isLoaded<info_box>());
}

void tst_display_about_files::windowsFitAndAreNamed_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("volumeName");
    QTest::newRow("German") << "DEUTSCH"
                            << "Volumen";
    QTest::newRow("English") << "ENGLISH"
                             << "Volume";
}

// No text is cut off at the default font; the options without text and the
// density box are named for screen readers; no button clicks itself on Enter.
void tst_display_about_files::windowsFitAndAreNamed()
{
    QFETCH(QString, language);
    QFETCH(QString, volumeName);
    TestApp t;
    QVERIFY(loadShippedLanguage(t.app, language));
    t.app.settings.anzeigemodus = QStringLiteral("0");

    Anzeige *display = openAnzeige(t.app);
    QVERIFY(display);
    info_box &about = t.app.form<info_box>();
    about.show();
    for (QWidget *w : {static_cast<QWidget *>(display), static_cast<QWidget *>(&about)}) {
        QCOMPARE(cutOffTexts(w), QStringList());
        for (QPushButton *button : w->findChildren<QPushButton *>())
            QVERIFY2(!button->autoDefault(), qPrintable(button->objectName()));
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(option(display, 1))->text(QAccessible::Name),
             volumeName);
    for (int i = 0; i < 3; ++i)
        QVERIFY(!QAccessible::queryAccessibleInterface(option(display, i))
                     ->text(QAccessible::Name)
                     .isEmpty());
    QVERIFY(!QAccessible::queryAccessibleInterface(control<QLineEdit>(display, "dichte"))
                 ->text(QAccessible::Name)
                 .isEmpty());
}

// The open dialog gives the chosen file; cancelling it sets abbruch.
void tst_display_about_files::loadSet()
{
    TestApp t;
    QVERIFY(loadShippedLanguage(t.app, QStringLiteral("ENGLISH")));
    const QString file = t.writeFile(QStringLiteral("waage.cfg"), "[Port settings]\r\n");
    t.prompts.fileAnswers = {file, std::nullopt};
    t.app.abbruch = true;

    QCOMPARE(load_set(t.app), file);
    QVERIFY(!t.app.abbruch);
    QCOMPARE(load_set(t.app), QString());
    QVERIFY(t.app.abbruch);
    QCOMPARE(t.prompts.shown.size(), 2);
    QCOMPARE(t.prompts.shown[0].kind, QStringLiteral("open"));
    QCOMPARE(t.prompts.shown[0].title, QStringLiteral("Load settings"));
}

// The real open dialog lists settings files of the program folder.
void tst_display_about_files::loadSetRealDialog()
{
    WidgetPromptsApp w;
    const QString file = w.folder.filePath(QStringLiteral("waage.cfg"));
    QVERIFY(QFile(file).open(QIODevice::WriteOnly));
    QStringList filters;
    QString folder;
    ModalDriver driver([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return false;
        filters = dialog->nameFilters();
        folder = dialog->directory().absolutePath();
        typeFileName(dialog, file);
        return true;
    });

    QCOMPARE(load_set(w.app), file);
    QCOMPARE(filters, QStringList{QStringLiteral("*.cfg")});
    QCOMPARE(folder, QFileInfo(w.folder.path()).absoluteFilePath());
    QVERIFY(!w.app.abbruch);
}

void tst_display_about_files::saveSet_data()
{
    QTest::addColumn<QString>("chosen"); // file name typed, "" to cancel the dialog
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("answer"); // to "Einstellungen überschreiben?"
    QTest::addColumn<bool>("written");

    QTest::newRow("cancelled") << "" << false << int(Answer::Yes) << false;
    QTest::newRow("new file") << "neu.cfg" << false << int(Answer::Yes) << true;
    QTest::newRow("typed without extension") << "neu" << false << int(Answer::Yes) << true;
    QTest::newRow("replace, Yes") << "alt.cfg" << true << int(Answer::Yes) << true;
    QTest::newRow("replace, No") << "alt.cfg" << true << int(Answer::No) << false;
    QTest::newRow("replace, Cancel") << "alt.cfg" << true << int(Answer::Cancel) << false;
}

// CfgPath names the file that holds the settings: it changes only when they
// were written, and abbruch says whether they were.
void tst_display_about_files::saveSet()
{
    QFETCH(QString, chosen);
    QFETCH(bool, exists);
    QFETCH(int, answer);
    QFETCH(bool, written);

    TestApp t;
    readSettingsRecord(t.app, QString());
    t.app.settings.baud = QStringLiteral("4800");
    const QByteArray oldContent = "[Port settings]\r\nbaud=9600\r\n";
    const QString current = t.writeFile(QStringLiteral("standard.cfg"), oldContent);
    t.app.CfgPath = current;
    const QString target = chosen.isEmpty() ? QString() : t.path(chosen);
    const QString saved = target.endsWith(QLatin1String(".cfg")) ? target : target + ".cfg";
    if (exists)
        t.writeFile(chosen, oldContent);
    t.prompts.fileAnswers = {chosen.isEmpty() ? std::nullopt : std::optional<QString>(target)};
    t.prompts.messageAnswers = {Answer(answer)};

    save_set(t.app);

    QCOMPARE(t.prompts.shown.value(0).kind, QStringLiteral("save"));
    QCOMPARE(t.app.abbruch, !written);
    QCOMPARE(t.app.CfgPath, written ? saved : current);
    QCOMPARE(readFileBytes(current), oldContent);
    if (written)
        QVERIFY(readFileBytes(saved).contains("baud=4800\r\n"));
    else if (exists)
        QCOMPARE(readFileBytes(saved), oldContent);
    else
        QVERIFY(!QFile::exists(saved));
    QCOMPARE(t.prompts.messages(),
             exists ? QStringList{QStringLiteral("Einstellungen überschreiben?")} : QStringList());
}

// The real save dialog starts on CfgPath, lists settings files and asks nothing
// itself about an existing file: the one question is the save's own.
void tst_display_about_files::saveSetRealDialog()
{
    WidgetPromptsApp w;
    readSettingsRecord(w.app, QString());
    const QByteArray oldContent = "[Port settings]\r\nbaud=9600\r\n";
    const QString current = w.folder.filePath(QStringLiteral("standard.cfg"));
    const QString other = w.folder.filePath(QStringLiteral("alt.cfg"));
    for (const QString &file : {current, other}) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(oldContent);
    }
    w.app.CfgPath = current;

    QString preset;
    QStringList filters;
    QStringList questions;
    ModalDriver driver([&](QWidget *modal) {
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            if (preset.isEmpty()) {
                preset = dialog->selectedFiles().value(0);
                filters = dialog->nameFilters();
                typeFileName(dialog, other);
            }
            return false;
        }
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            questions << box->text();
            box->button(box->objectName() == QLatin1String("MsgBox") ? QMessageBox::No
                                                                     : QMessageBox::Yes)
                ->click();
            return box->objectName() == QLatin1String("MsgBox");
        }
        return false;
    });

    save_set(w.app);

    QCOMPARE(preset, current);
    QCOMPARE(filters, QStringList{QStringLiteral("*.cfg")});
    QCOMPARE(questions, QStringList{QStringLiteral("Einstellungen überschreiben?")});
    QVERIFY(w.app.abbruch);
    QCOMPARE(w.app.CfgPath, current);
    QCOMPARE(readFileBytes(other), oldContent);
}

QTEST_MAIN(tst_display_about_files)
#include "tst_display_about_files.moc"
