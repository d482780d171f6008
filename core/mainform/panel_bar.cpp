#include "core/mainform/panel_bar.h"

#include <QHBoxLayout>

PanelBar::PanelBar(const QString &name, int panelCount, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(name);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(2);
    for (int i = 1; i <= panelCount; ++i) {
        auto *panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("%1.Panel%2").arg(name).arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        panel->setMinimumWidth(60);
        // The first panel takes the room; long texts must not widen the window.
        panel->setSizePolicy(i == 1 ? QSizePolicy::Ignored : QSizePolicy::Preferred,
                             QSizePolicy::Preferred);
        layout->addWidget(panel, i == 1 ? 3 : 1);
        m_panels.append(panel);
    }
}

QString PanelBar::panelText(int panel) const
{
    return m_panels.value(panel - 1) ? m_panels[panel - 1]->text() : QString();
}

void PanelBar::setPanelText(int panel, const QString &text)
{
    if (QLabel *label = m_panels.value(panel - 1))
        label->setText(text);
}
