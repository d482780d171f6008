#include "dialogs/nested_modal.h"

#include <QEvent>

DeletionHold::DeletionHold(QObject *opener)
    : m_opener(opener)
{
    opener->installEventFilter(this);
}

DeletionHold::~DeletionHold()
{
    if (!m_opener)
        return;
    m_opener->removeEventFilter(this);
    if (m_deletionAsked)
        m_opener->deleteLater();
}

bool DeletionHold::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_opener || event->type() != QEvent::DeferredDelete)
        return false;
    m_deletionAsked = true;
    emit deletionAsked();
    return true;
}
