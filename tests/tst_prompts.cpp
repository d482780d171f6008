#include "platform/prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

// The real message box, driven the way a user answers it.
class tst_prompts : public QObject {
    Q_OBJECT
private slots:
    void messageBreaksLines_data();
    void messageBreaksLines();
};

void tst_prompts::messageBreaksLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("CR") << "Fehler 282\r       Programm beenden?"
                        << "Fehler 282\n       Programm beenden?";
    QTest::newRow("CR LF") << "a\r\nb"
                           << "a\nb";
    QTest::newRow("LF") << "a\nb"
                        << "a\nb";
}

void tst_prompts::messageBreaksLines()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QString seen;
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            seen = box->text();
            box->button(QMessageBox::No)->click();
        }
    });
    answer.start(20);

    WidgetPrompts prompts;
    QCOMPARE(prompts.message(text, QStringLiteral("Mondrelquist"), Prompts::Buttons::YesNo),
             Prompts::Answer::No);
    QCOMPARE(seen, shown);
}

QTEST_MAIN(tst_prompts)
#include "tst_prompts.moc"
