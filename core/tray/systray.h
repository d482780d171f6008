#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

class QBitmap;
class QImage;
class QPixmap;
class QWidget;

// The notification-area icon of a window: one icon, its tooltip, a balloon
// message, and the icon's mouse callbacks. Every activation of the icon (click,
// double click, context click; the tray protocol has no hover) reaches the
// registered window's Form_MouseMove as a mouse move with button state 1.
class clsSysTray : public QObject {
    Q_OBJECT
public:
    explicit clsSysTray(QObject *parent = nullptr);
    // Class_Terminate: the icon goes with the object.
    ~clsSysTray() override;

    // True when a notification area (a tray host) is there to show the icon.
    static bool isAvailable();

    // Makes the icon from a picture; a transparent colour (0x00BBGGRR, missing
    // counts as 0) of 0 or more becomes see-through, a negative one keeps every pixel.
    void DrawIcon(const QPixmap &ppic, qint32 plngTransparentColor = 0);
    // Shows the icon for pfrm, with pfrm's icon and the tooltip "Mondrelquist 4.2"
    // (pstrTooltip is not used). Always false.
    bool Init(QWidget &pfrm, const QString &pstrTooltip);
    // A callback of the icon: button state 1 shows the main window again (also
    // un-minimised) and removes the icon; X and pfrm are not used.
    void MouseMove(qint16 Button, qint32 X, QWidget &pfrm);
    void SetIcon(QWidget &pfrm);
    // penIcon: 0 none, 1 information, 2 warning, 3 error; timeout in ms.
    void ShowBalloonTip(const QString &pstrMessage, qint32 penIcon = 0,
                        const QString &pstrTitle = {}, qint32 plngTimeout = 0);
    void deleteIcon();
    QString TooltipText() const { return m_strTooltip; }
    void setTooltipText(const QString &text);

    bool isShown() const { return m_icon.isVisible(); }
    QIcon icon() const { return m_hIcon; }

signals:
    // An activation of the icon, for the window it was registered for.
    void callback(qint16 Button);
    void LeftClick();
    void RightClick();
    void DoubleClick();
    void BalloonHide();
    void BalloonTimeOut();
    void BalloonClicked();

private:
    void ModifyIcon();
    static QIcon IconFromBitmap(const QPixmap &bitmap);
    static QIcon IconFromBitmapTransparent(const QPixmap &bitmap, qint32 colour);
    static QBitmap CreateMaskBitmap(const QPixmap &bitmap, qint32 colour);
    void Class_Terminate();

    QSystemTrayIcon m_icon;
    QString m_strTooltip;
    QIcon m_hIcon;
    QPointer<QWidget> m_hWnd; // the window that receives the callbacks
};
