#include "core/tray/systray.h"

#include <QBitmap>
#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace {

// Icons of the notification area are 32 x 32 pixels.
constexpr int kIconSize = 32;

// A Windows colour value is 0x00BBGGRR.
QColor fromColorRef(qint32 colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

QSystemTrayIcon::MessageIcon balloonIcon(qint32 penIcon)
{
    switch (penIcon) {
    case 1:
        return QSystemTrayIcon::Information;
    case 2:
        return QSystemTrayIcon::Warning;
    case 3:
        return QSystemTrayIcon::Critical;
    default:
        return QSystemTrayIcon::NoIcon;
    }
}

} // namespace

clsSysTray::clsSysTray(QObject *parent)
    : QObject(parent)
{
    // The icon reports every mouse message to its window as a mouse move with
    // the button state 1, whatever the button. Queued: removing the icon deletes
    // its window, which must not happen inside that window's own mouse event.
    const auto report = [this] {
        emit callback(1);
    };
    connect(&m_icon, &QSystemTrayIcon::activated, this, report, Qt::QueuedConnection);
    connect(&m_icon, &QSystemTrayIcon::messageClicked, this, report, Qt::QueuedConnection);
}

clsSysTray::~clsSysTray()
{
    Class_Terminate();
}

bool clsSysTray::isAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void clsSysTray::DrawIcon(const QPixmap &ppic, qint32 plngTransparentColor)
{
    const QIcon icon = plngTransparentColor >= 0
                           ? IconFromBitmapTransparent(ppic, plngTransparentColor)
                           : IconFromBitmap(ppic);
    if (icon.isNull())
        return;
    m_hIcon = icon;
    ModifyIcon();
}

bool clsSysTray::Init(QWidget &pfrm, const QString &)
{
    m_hWnd = &pfrm;
    m_hIcon = pfrm.windowIcon();
    SetIcon(pfrm);
    setTooltipText(QStringLiteral("Mondrelquist 4.2"));
    m_icon.show();
    return false;
}

void clsSysTray::MouseMove(qint16 Button, qint32, QWidget &)
{
    switch (Button) {
    case 1:
        emit LeftClick();
        if (m_hWnd) {
            // Brought back as the user left it before Hide, not minimised out of sight.
            m_hWnd->setWindowState(m_hWnd->windowState() & ~Qt::WindowMinimized);
            m_hWnd->show();
            m_hWnd->activateWindow();
        }
        deleteIcon();
        break;
    case 2:
        emit RightClick();
        break;
    case 515:
        emit DoubleClick();
        break;
    case 1027:
        emit BalloonHide();
        break;
    case 1028:
        emit BalloonTimeOut();
        break;
    case 1029:
        emit BalloonClicked();
        break;
    default:
        break;
    }
}

void clsSysTray::SetIcon(QWidget &pfrm)
{
    m_hIcon = pfrm.windowIcon();
    ModifyIcon();
}

void clsSysTray::ShowBalloonTip(const QString &pstrMessage, qint32 penIcon,
                                const QString &pstrTitle, qint32 plngTimeout)
{
    m_icon.showMessage(pstrTitle, pstrMessage, balloonIcon(penIcon), plngTimeout);
}

void clsSysTray::deleteIcon()
{
    m_icon.hide();
}

void clsSysTray::setTooltipText(const QString &text)
{
    m_strTooltip = text;
    m_icon.setToolTip(text);
}

void clsSysTray::ModifyIcon()
{
    m_icon.setIcon(m_hIcon);
}

QIcon clsSysTray::IconFromBitmap(const QPixmap &bitmap)
{
    if (bitmap.isNull())
        return {};
    // An all-opaque mask: every pixel of the picture shows.
    QPixmap icon = bitmap;
    QBitmap mask(bitmap.size());
    mask.fill(Qt::color1);
    icon.setMask(mask);
    return QIcon(icon);
}

QIcon clsSysTray::IconFromBitmapTransparent(const QPixmap &bitmap, qint32 colour)
{
    if (bitmap.isNull())
        return {};
    QPixmap icon = bitmap.copy(0, 0, kIconSize, kIconSize);
    const QBitmap mask = CreateMaskBitmap(icon, colour);
    if (mask.isNull())
        return {};
    icon.setMask(mask);
    return QIcon(icon);
}

QBitmap clsSysTray::CreateMaskBitmap(const QPixmap &bitmap, qint32 colour)
{
    if (bitmap.isNull())
        return {};
    return bitmap.createMaskFromColor(fromColorRef(colour), Qt::MaskInColor);
}

void clsSysTray::Class_Terminate()
{
    deleteIcon();
}
