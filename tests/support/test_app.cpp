#include "tests/support/test_app.h"

#include <QFile>

QString TestApp::writeFile(const QString &name, const QByteArray &content) const
{
    const QString file = path(name);
    QFile f(file);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
    return file;
}
