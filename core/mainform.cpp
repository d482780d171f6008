#include "core/mainform.h"

#include "core/app.h"

mainform::mainform(App &app, QWidget *parent)
    : QMainWindow(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("mainform"));
}
