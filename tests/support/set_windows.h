#pragma once

#include "platform/x11/window_list.h"

// The desktop's windows as a test sets them.
class SetWindows final : public WindowList {
public:
    QList<TopLevelWindow> windows;
    QList<TopLevelWindow> topLevelWindows(ControlStatus *) override { return windows; }
    ControlStatus activateWindowByTitle(const QString &, int) override { return {}; }
};

// A window the application picker lists: shown, with a border.
inline TopLevelWindow shownWindow(quint64 id, const QString &title)
{
    return {id, title, true, true};
}
