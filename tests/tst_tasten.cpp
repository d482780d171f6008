#include "dialogs/format_def.h"
#include "dialogs/tasten.h"
#include "tests/support/dialog_checks.h"
#include "tests/support/test_app.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// The token buttons Key_(0)..Key_(33): caption and appended token.
const QList<QPair<QString, QString>> kKeys = {
    {"F1", "{F1}"},     {"F2", "{F2}"},       {"F3", "{F3}"},     {"F4", "{F4}"},
    {"F5", "{F5}"},     {"F6", "{F6}"},       {"F7", "{F7}"},     {"F8", "{F8}"},
    {"F9", "{F9}"},     {"F10", "{F10}"},     {"F11", "{F11}"},   {"F12", "{F12}"},
    {"TAB", "{TAB}"},   {"ENTER", "{ENTER}"}, {"BACK", "{BS}"},   {"PGUP", "{PGUP}"},
    {"PGDN", "{PGDN}"}, {"DEL", "{DEL}"},     {"HOME", "{HOME}"}, {"END", "{END}"},
    {"UP", "{UP}"},     {"DOWN", "{DOWN}"},   {"LEFT", "{LEFT}"}, {"RIGHT", "{RIGHT}"},
    {"ID_1", "{ID_1}"}, {"ID_2", "{ID_2}"},   {"ID_3", "{ID_3}"}, {"ID_4", "{ID_4}"},
    {"ID_5", "{ID_5}"}, {"ID_6", "{ID_6}"},   {"ID_7", "{ID_7}"}, {"ID_8", "{ID_8}"},
    {"ID_9", "{ID_9}"}, {"ID_10", "{ID_10}"},
};

template <typename W> W *child(QWidget &root, const QString &name)
{
    W *w = root.findChild<W *>(name);
    if (!w)
        qWarning() << "no child" << name;
    return w;
}

QLineEdit *box(Tasten &editor)
{
    return child<QLineEdit>(editor, QStringLiteral("ausgabe_string"));
}

QPushButton *button(Tasten &editor, const QString &name)
{
    return child<QPushButton>(editor, name);
}

QString transferBox(App &app)
{
    return app.form<format_def>().ausgabe_string()->toPlainText();
}

// A fresh program with a shipped language and a stored template; the editor is
// not loaded yet.
struct Fixture {
    TestApp t;
    explicit Fixture(const QString &language = QStringLiteral("DEUTSCH"),
                     const QString &format = QString())
    {
        if (!loadShippedLanguage(t.app, language))
            qWarning() << "language not loaded" << language;
        t.app.settings.format = format;
    }
    // Loads the editor as its openers do and shows it.
    Tasten &open()
    {
        Tasten &editor = t.app.form<Tasten>();
        editor.show();
        return editor;
    }
};

enum class Close { Ok, Cancel, Escape, CloseButton };

void close(Tasten &editor, Close how)
{
    switch (how) {
    case Close::Ok:
        QTest::mouseClick(button(editor, QStringLiteral("Command1")), Qt::LeftButton);
        break;
    case Close::Cancel:
        QTest::mouseClick(button(editor, QStringLiteral("Command3")), Qt::LeftButton);
        break;
    case Close::Escape:
        QTest::keyClick(box(editor), Qt::Key_Escape);
        break;
    case Close::CloseButton:
        editor.close();
        break;
    }
}

} // namespace

class TstTasten : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void tokenButtonsAppendAtTheEnd_data();
    void tokenButtonsAppendAtTheEnd();
    void parameterTokenTakesTheAnswerUnchanged_data();
    void parameterTokenTakesTheAnswerUnchanged();

    void loadsTheTransferDialogsBox();
    void wizardShowsTheStoredTemplateModally();
    void closingWritesOnlyOnOk_data();
    void closingWritesOnlyOnOk();
    void clearThenOkEmptiesOnlyTheBox();

    void enterFiresNoButtonAndAddsNoLineBreak();
    void pastedLineBreaksAreRefused_data();
    void pastedLineBreaksAreRefused();
    void okRefusesWhatTheSettingsFileCannotHold_data();
    void okRefusesWhatTheSettingsFileCannotHold();

    void captionsComeFromTheLanguage_data();
    void captionsComeFromTheLanguage();
    void textsAreNotCutOff_data();
    void textsAreNotCutOff();
};

void TstTasten::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void TstTasten::tokenButtonsAppendAtTheEnd_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("token");

    for (int i = 0; i < kKeys.size(); ++i) {
        const QString name = QStringLiteral("Key_(%1)").arg(i);
        QTest::addRow("%s", qPrintable(name))
            << "DEUTSCH" << name << kKeys[i].first << kKeys[i].second;
    }
    // The ID tokens are the same under every language.
    QTest::newRow("ID_3 English") << "ENGLISH"
                                  << "Key_(26)"
                                  << "ID_3"
                                  << "{ID_3}";
    QTest::newRow("value German") << "DEUTSCH"
                                  << "Waagenwert"
                                  << "Messwert"
                                  << "{Messwert}";
    QTest::newRow("unit German") << "DEUTSCH"
                                 << "einheit"
                                 << "Einheit"
                                 << "{Einheit}";
    QTest::newRow("date German") << "DEUTSCH"
                                 << "Datum"
                                 << "Datum"
                                 << "{Datum}";
    QTest::newRow("time German") << "DEUTSCH"
                                 << "Uhrzeit"
                                 << "Uhrzeit"
                                 << "{Uhrzeit}";
    QTest::newRow("value English") << "ENGLISH"
                                   << "Waagenwert"
                                   << "Value"
                                   << "{Value}";
    QTest::newRow("unit English") << "ENGLISH"
                                  << "einheit"
                                  << "Unit"
                                  << "{Unit}";
    QTest::newRow("date English") << "ENGLISH"
                                  << "Datum"
                                  << "Date"
                                  << "{Date}";
    QTest::newRow("time English") << "ENGLISH"
                                  << "Uhrzeit"
                                  << "Time"
                                  << "{Time}";
}

void TstTasten::tokenButtonsAppendAtTheEnd()
{
    QFETCH(QString, language);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, token);

    Fixture f(language, QStringLiteral("A{TAB}"));
    Tasten &editor = f.open();
    QPushButton *b = button(editor, name);
    QVERIFY(b);
    QCOMPARE(b->text(), caption);

    // The token goes to the end wherever the caret is, and again on a second press.
    box(editor)->setCursorPosition(1);
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(box(editor)->text(), "A{TAB}" + token);
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(box(editor)->text(), "A{TAB}" + token + token);
    // Nothing reaches the transfer dialog before OK.
    QCOMPARE(transferBox(f.t.app), QStringLiteral("A{TAB}"));
}

void TstTasten::parameterTokenTakesTheAnswerUnchanged_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QString>("appended");

    QTest::newRow("name") << "DEUTSCH" << std::optional<QString>(QStringLiteral("Charge Nr"))
                          << "{?Charge Nr}";
    QTest::newRow("empty answer") << "ENGLISH" << std::optional<QString>(QString()) << "{?}";
    QTest::newRow("input box cancelled") << "DEUTSCH" << std::optional<QString>() << "{?}";
}

void TstTasten::parameterTokenTakesTheAnswerUnchanged()
{
    QFETCH(QString, language);
    QFETCH(std::optional<QString>, answer);
    QFETCH(QString, appended);

    Fixture f(language, QStringLiteral("x"));
    Tasten &editor = f.open();
    f.t.prompts.inputAnswers = {answer};
    QTest::mouseClick(button(editor, QStringLiteral("Command2")), Qt::LeftButton);

    QCOMPARE(box(editor)->text(), "x" + appended);
    QCOMPARE(f.t.prompts.shown.size(), 1);
    QCOMPARE(f.t.prompts.shown[0].kind, QStringLiteral("input"));
    QCOMPARE(f.t.prompts.shown[0].text, f.t.app.texts.TextBitteParameterbezEingeben);
    QCOMPARE(f.t.prompts.shown[0].title, f.t.app.texts.TextParametertextCaption);
}

void TstTasten::loadsTheTransferDialogsBox()
{
    Fixture f(QStringLiteral("DEUTSCH"), QStringLiteral("stored"));
    // Typed into the transfer dialog and not yet confirmed: the editor takes that.
    f.t.app.form<format_def>().ausgabe_string()->setPlainText(QStringLiteral("typed{ENTER}"));
    Tasten &editor = f.open();
    QCOMPARE(box(editor)->text(), QStringLiteral("typed{ENTER}"));
}

void TstTasten::wizardShowsTheStoredTemplateModally()
{
    // The wizard opens the editor before the transfer dialog was ever loaded.
    Fixture f(QStringLiteral("ENGLISH"), QStringLiteral("{Value} {Unit}{TAB}"));
    QVERIFY(!f.t.app.isLoaded<format_def>());

    QString shown;
    bool driven = false;
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
        auto *editor = qobject_cast<Tasten *>(QApplication::activeModalWidget());
        if (!editor || driven)
            return;
        driven = true;
        shown = box(*editor)->text();
        QTest::mouseClick(button(*editor, QStringLiteral("Key_(13)")), Qt::LeftButton);
        QTest::mouseClick(button(*editor, QStringLiteral("Command1")), Qt::LeftButton);
    });
    driver.start(20);
    QTimer::singleShot(5000, this, [] {
        if (QWidget *w = QApplication::activeModalWidget())
            w->close();
    });
    const int result = f.t.app.form<Tasten>().exec();

    QVERIFY(driven);
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(shown, QStringLiteral("{Value} {Unit}{TAB}"));
    QVERIFY(!f.t.app.isLoaded<Tasten>());
    QVERIFY(f.t.app.isLoaded<format_def>());
    QVERIFY(!f.t.app.form<format_def>().isVisible());
    QCOMPARE(transferBox(f.t.app), QStringLiteral("{Value} {Unit}{TAB}{ENTER}"));
    QCOMPARE(f.t.app.settings.format, QStringLiteral("{Value} {Unit}{TAB}"));
}

void TstTasten::closingWritesOnlyOnOk_data()
{
    QTest::addColumn<Close>("how");
    QTest::addColumn<QString>("transferBoxAfter");

    QTest::newRow("OK") << Close::Ok << "old{F5}";
    QTest::newRow("cancel") << Close::Cancel << "old";
    QTest::newRow("Escape") << Close::Escape << "old";
    QTest::newRow("close button") << Close::CloseButton << "old";
}

void TstTasten::closingWritesOnlyOnOk()
{
    QFETCH(Close, how);
    QFETCH(QString, transferBoxAfter);

    Fixture f(QStringLiteral("DEUTSCH"), QStringLiteral("old"));
    QPointer<Tasten> editor = &f.open();
    QTest::mouseClick(button(*editor, QStringLiteral("Key_(4)")), Qt::LeftButton);
    close(*editor, how);

    QVERIFY(!f.t.app.isLoaded<Tasten>());
    QTRY_VERIFY(editor.isNull());
    QCOMPARE(transferBox(f.t.app), transferBoxAfter);
    // The setting itself changes only with the transfer dialog's OK.
    QCOMPARE(f.t.app.settings.format, QStringLiteral("old"));
    QVERIFY(!f.t.app.form<format_def>().isVisible());
}

void TstTasten::clearThenOkEmptiesOnlyTheBox()
{
    Fixture f(QStringLiteral("DEUTSCH"), QStringLiteral("{Messwert}{ENTER}"));
    Tasten &editor = f.open();
    QTest::mouseClick(button(editor, QStringLiteral("del_ausgabe_def")), Qt::LeftButton);
    QCOMPARE(box(editor)->text(), QString());
    close(editor, Close::Ok);

    QCOMPARE(transferBox(f.t.app), QString());
    QCOMPARE(f.t.app.settings.format, QStringLiteral("{Messwert}{ENTER}"));
}

void TstTasten::enterFiresNoButtonAndAddsNoLineBreak()
{
    Fixture f(QStringLiteral("DEUTSCH"), QStringLiteral("ab"));
    Tasten &editor = f.open();
    QApplication::setActiveWindow(&editor);
    box(editor)->setFocus();
    QTest::keyClick(box(editor), Qt::Key_Return);
    QTest::keyClick(box(editor), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClicks(box(editor), QStringLiteral("c"));

    QCOMPARE(box(editor)->text(), QStringLiteral("abc"));
    QVERIFY(editor.isVisible());
    QVERIFY(f.t.app.isLoaded<Tasten>());
    QVERIFY(f.t.prompts.shown.isEmpty());
}

void TstTasten::pastedLineBreaksAreRefused_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("after");

    QTest::newRow("LF") << "x\ny"
                        << "a";
    QTest::newRow("CR LF") << "x\r\ny"
                           << "a";
    QTest::newRow("CR") << "x\ry"
                        << "a";
    QTest::newRow("one line") << "{TAB}"
                              << "a{TAB}";
}

void TstTasten::pastedLineBreaksAreRefused()
{
    QFETCH(QString, clipboard);
    QFETCH(QString, after);

    Fixture f(QStringLiteral("DEUTSCH"), QStringLiteral("a"));
    Tasten &editor = f.open();
    QApplication::clipboard()->setText(clipboard);
    box(editor)->setFocus();
    box(editor)->end(false);
    QTest::keyClick(box(editor), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box(editor)->text(), after);
}

void TstTasten::okRefusesWhatTheSettingsFileCannotHold_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("loadedLength");
    QTest::addColumn<QString>("pressed"); // empty: type one character
    QTest::addColumn<QString>("message"); // empty: none, OK takes the text

    const QString german = QStringLiteral(
        "Ausgabe-Definition:\n\nDer Eintrag ist zu lang: hier sind höchstens 199 Zeichen möglich.");
    const QString english = QStringLiteral(
        "Output definition:\n\nThe entry is too long: at most 199 characters are possible here.");
    QTest::newRow("token to 199") << "DEUTSCH" << 195 << "Key_(0)" << QString();
    QTest::newRow("token past 199") << "DEUTSCH" << 196 << "Key_(0)" << german;
    QTest::newRow("typed 199th") << "ENGLISH" << 198 << "" << QString();
    QTest::newRow("typed 200th") << "ENGLISH" << 199 << "" << english;
    QTest::newRow("already longer") << "DEUTSCH" << 205 << "Key_(0)" << german;
}

// The transfer dialog, which stores the template, then has nothing more to say.
void TstTasten::okRefusesWhatTheSettingsFileCannotHold()
{
    QFETCH(QString, language);
    QFETCH(int, loadedLength);
    QFETCH(QString, pressed);
    QFETCH(QString, message);

    Fixture f(language);
    const QString loaded(loadedLength, QLatin1Char('x'));
    f.t.app.form<format_def>().ausgabe_string()->setPlainText(loaded);
    Tasten &editor = f.open();
    QApplication::setActiveWindow(&editor);

    QString added = QStringLiteral("{F1}");
    if (pressed.isEmpty()) {
        added = QStringLiteral("y");
        box(editor)->setFocus();
        box(editor)->end(false);
        QTest::keyClicks(box(editor), added);
    } else {
        QTest::mouseClick(button(editor, pressed), Qt::LeftButton);
    }
    // Nothing is said while the template is being built.
    QVERIFY(f.t.prompts.shown.isEmpty());
    QString text = loaded + added;
    QCOMPARE(box(editor)->text(), text);

    close(editor, Close::Ok);
    if (!message.isEmpty()) {
        QCOMPARE(f.t.prompts.messages(), QStringList{message});
        QVERIFY(f.t.app.isLoaded<Tasten>());
        QCOMPARE(QApplication::focusWidget(), box(editor));
        QCOMPARE(transferBox(f.t.app), loaded);
        text = text.left(199);
        box(editor)->setText(text);
        close(editor, Close::Ok);
    }
    QVERIFY(!f.t.app.isLoaded<Tasten>());
    QCOMPARE(transferBox(f.t.app), text);

    format_def &transfer = f.t.app.form<format_def>();
    transfer.show();
    QTest::mouseClick(transfer.findChild<QPushButton *>(QStringLiteral("OK")), Qt::LeftButton);
    QCOMPARE(f.t.app.settings.format, text);
    QCOMPARE(f.t.prompts.messages().size(), message.isEmpty() ? 0 : 1);
}

void TstTasten::captionsComeFromTheLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("German") << "DEUTSCH";
    QTest::newRow("English") << "ENGLISH";
}

void TstTasten::captionsComeFromTheLanguage()
{
    QFETCH(QString, language);
    Fixture f(language);
    Tasten &editor = f.open();
    const LanguageTexts &t = f.t.app.texts;

    QCOMPARE(editor.windowTitle(), t.TextFrmTasten_Caption);
    QCOMPARE(child<QGroupBox>(editor, QStringLiteral("Frame1"))->title(),
             t.TextFrmTasten_Frame1Caption);
    const QList<QPair<QString, QString>> captions = {
        {"Waagenwert", t.TextFrmTasten_MesswertCaption},
        {"einheit", t.TextFrmTasten_EinheitCaption},
        {"Datum", t.TextFrmTasten_DatumCaption},
        {"Uhrzeit", t.TextFrmTasten_UhrzeitCaption},
        {"Command2", "?"},
        {"del_ausgabe_def", t.TextFrmTasten_DelAusgabeDefCaption},
        {"Command1", t.TextFrmTasten_OKCaption},
        {"Command3", t.TextFrmTastencmdClose_Caption},
    };
    for (const auto &[name, caption] : captions)
        QCOMPARE(button(editor, name)->text(), caption);

    // The box has no label and "?" names nothing: both carry accessible names.
    QCOMPARE(box(editor)->accessibleName(), t.TextFrmTasten_Caption);
    QCOMPARE(button(editor, QStringLiteral("Command2"))->accessibleName(),
             t.TextParametertextCaption);
    for (QPushButton *b : editor.findChildren<QPushButton *>())
        QVERIFY2(!b->text().isEmpty() || !b->accessibleName().isEmpty(),
                 qPrintable(b->objectName()));
}

void TstTasten::textsAreNotCutOff_data()
{
    captionsComeFromTheLanguage_data();
}

void TstTasten::textsAreNotCutOff()
{
    QFETCH(QString, language);
    Fixture f(language);
    Tasten &editor = f.open();
    QCOMPARE(cutOffTexts(&editor), QStringList());
}

QTEST_MAIN(TstTasten)
#include "tst_tasten.moc"
