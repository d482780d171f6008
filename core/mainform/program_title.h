#pragma once

#include <QString>

// The title of the program's message boxes.
inline QString programTitle()
{
    return QStringLiteral("Mondrelquist");
}

// The main window's caption.
inline QString mainCaption()
{
    return QStringLiteral("Mondrelquist Version 4.2");
}
