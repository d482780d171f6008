#pragma once

#include <QLabel>
#include <QList>
#include <QWidget>

// A status bar of numbered text panels (1-based).
class PanelBar : public QWidget {
    Q_OBJECT
public:
    PanelBar(const QString &name, int panelCount, QWidget *parent = nullptr);

    QString panelText(int panel) const;
    void setPanelText(int panel, const QString &text);

private:
    QList<QLabel *> m_panels;
};
