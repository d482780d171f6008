#pragma once

#include <QObject>
#include <QPointer>
#include <utility>

// A modal child window, message box, input box or file dialog runs a nested
// event loop. Modality keeps the mouse from the window that opened it, not the
// accessibility bus: a screen reader's "close" can unload that window
// meanwhile, and the nested loop would then delete it under the handler that
// is still running in it (and under Qt's own code that called the handler).

// Keeps opener from being deleted while the hold lives; a deletion asked
// meanwhile is asked again when the hold ends, so it happens once control is
// back in the event loop that runs opener's handler.
class DeletionHold final : public QObject {
    Q_OBJECT
public:
    explicit DeletionHold(QObject *opener);
    ~DeletionHold() override;
    DeletionHold(const DeletionHold &) = delete;
    DeletionHold &operator=(const DeletionHold &) = delete;

    // The opener was unloaded (its deletion asked) or deleted meanwhile.
    bool openerGone() const { return m_deletionAsked || m_opener.isNull(); }

signals:
    // The opener's deletion was asked and is held; a wait can end on it.
    void deletionAsked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QObject> m_opener;
    bool m_deletionAsked = false;
};

// Runs step, which shows a modal window or box from opener's handler. False
// when opener was closed meanwhile: the handler must then return at once,
// touching nothing of opener.
template <typename Step> [[nodiscard]] bool stillOpenAfter(QObject *opener, Step &&step)
{
    const DeletionHold hold(opener);
    std::forward<Step>(step)();
    return !hold.openerGone();
}
