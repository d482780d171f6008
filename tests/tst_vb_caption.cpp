#include "platform/vb/vb_caption.h"

#include <QLabel>
#include <QTest>

class TstVbCaption : public QObject {
    Q_OBJECT

private slots:
    void labelShowsCaptionWithoutMnemonicMarks_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char *caption, const char *shown) {
            QTest::newRow(caption) << QString::fromUtf8(caption) << QString::fromUtf8(shown);
        };
        row("O&nline", "Online");
        row("&Send", "Send");
        row("R&&D", "R&D");
        row("&&&x", "&x");
        row("&a&b", "ab");
        row("&&", "&");
        row("12 &", "12 &");
        row("&", "&");
        row("Über &Übertragung", "Über Übertragung");
        row("Offline", "Offline");
        row("", "");
    }
    void labelShowsCaptionWithoutMnemonicMarks()
    {
        QFETCH(QString, caption);
        QFETCH(QString, shown);
        QCOMPARE(vb::LabelText(caption), shown);
        QLabel label;
        vb::setCaption(&label, caption);
        QCOMPARE(label.text(), shown);
    }
};

QTEST_MAIN(TstVbCaption)
#include "tst_vb_caption.moc"
