#include "core/mainform/wait.h"

#include <QEventLoop>
#include <QTimer>

#include <cmath>

void Warten(double seconds)
{
    if (!(seconds > 0))
        return;
    QEventLoop loop;
    QTimer::singleShot(int(std::lround(seconds * 1000.0)), Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    loop.exec();
}
