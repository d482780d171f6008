#include "tests/support/test_app.h"

#include <QPointer>
#include <QtTest>

// The default instances of the dialogs, as the windows rely on them.
namespace {

struct Loaded : QWidget {
    explicit Loaded(App &) { ++loads; }
    static inline int loads = 0;
};

} // namespace

class tst_app : public QObject {
    Q_OBJECT
private slots:
    void formIsLoadedOnceUntilUnloaded();
};

void tst_app::formIsLoadedOnceUntilUnloaded()
{
    TestApp t;
    Loaded::loads = 0;
    QVERIFY(!t.app.isLoaded<Loaded>());
    Loaded &first = t.app.form<Loaded>();
    QCOMPARE(&t.app.form<Loaded>(), &first);
    QCOMPARE(Loaded::loads, 1);

    // Unloading from the window's own handler must not delete it under that handler.
    QPointer<Loaded> unloaded = &first;
    t.app.unload<Loaded>();
    QVERIFY(!t.app.isLoaded<Loaded>());
    QVERIFY(unloaded);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!unloaded);

    t.app.form<Loaded>();
    QCOMPARE(Loaded::loads, 2);
}

QTEST_MAIN(tst_app)
#include "tst_app.moc"
