#pragma once

#include <QString>
#include <QVariant>
#include <QWidget>

// The Tag of a control: a free text the windows use to keep state (the online
// state lives in the tag of the Online button).
inline QString tagOf(const QWidget *control)
{
    return control->property("Tag").toString();
}

inline void setTag(QWidget *control, const QString &tag)
{
    control->setProperty("Tag", tag);
}
