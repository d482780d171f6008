#pragma once

#include <QMainWindow>

class App;

// The main window.
class mainform : public QMainWindow {
    Q_OBJECT
public:
    explicit mainform(App &app, QWidget *parent = nullptr);

private:
    App &m_app;
};
