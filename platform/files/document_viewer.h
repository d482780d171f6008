#pragma once

#include <QObject>
#include <QString>

// Opens documents with the desktop's viewer through xdg-open (xdg-utils), the
// stand-in for HtmlHelp. Nothing waits: open() returns at once, and failed()
// reports, from the event loop, a missing xdg-open or a file for which it found
// no viewer. Never shows a message itself.
class DocumentViewer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    void open(const QString &file);

signals:
    void failed(const QString &reason);
};
