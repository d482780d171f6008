#include "core/mainform/mainform.h"

#include "core/app.h"
#include "core/mainform/control_tag.h"
#include "core/mainform/panel_bar.h"
#include "core/mainform/program_title.h"
#include "platform/files/document_viewer.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"
#include "platform/vb/vb_caption.h"
#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_timer.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Design-time captions of the button bar; 9..16 come from the Action table.
const std::array<const char *, 9> kButtonCaptions{"", "&Send", "T-St&art", "T-St&op", "",
                                                  "", "Hide",  "O&nline",  "E&xit"};

// A small balance pictogram for the picture beside the display.
QPixmap balancePicture()
{
    QPixmap pixmap(72, 72);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 70, 120), 3));
    p.drawLine(36, 14, 36, 60);
    p.drawLine(12, 20, 60, 20);
    p.drawLine(20, 62, 52, 62);
    p.setBrush(QColor(120, 160, 210));
    p.drawChord(QRect(4, 26, 24, 16), 180 * 16, 180 * 16);
    p.drawChord(QRect(44, 26, 24, 16), 180 * 16, 180 * 16);
    p.drawLine(16, 20, 8, 34);
    p.drawLine(16, 20, 24, 34);
    p.drawLine(56, 20, 48, 34);
    p.drawLine(56, 20, 64, 34);
    return pixmap;
}

QLabel *displayLabel(const QString &name, const QString &text, int pointSize, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    vb::setCaption(label, text);
    label->setFont(QFont(QStringLiteral("Arial"), pointSize, QFont::Bold));
    return label;
}

} // namespace

mainform::mainform(App &app, QWidget *parent)
    : QMainWindow(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("mainform"));
    // Only Form_Unload ends the program: closing a message box while this window
    // sits in the notification area must not.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    setWindowTitle(mainCaption());
    m_Timer1 = new VbTimer(this);
    m_Timer1->setObjectName(QStringLiteral("Timer1"));
    m_commport = new SerialPort(app.programFile(QStringLiteral("mondrelquist.ini")), this);
    m_commport->setObjectName(QStringLiteral("commport"));
    m_Winsock1 = new TcpSocket(this);
    m_Winsock1->setObjectName(QStringLiteral("Winsock1"));
    m_helpViewer = new DocumentViewer(this);
    buildControls();
    buildMenus();
    // The tray icon shows the window's icon.
    setWindowIcon(QIcon(balancePicture()));
    connectMenus();

    for (int i = 1; i <= 16; ++i)
        connect(m_Command5[i], &QPushButton::clicked, this, [this, i] { Command5_Click(i); });
    connect(m_Timer1, &VbTimer::Timer, this, &mainform::Timer1_Timer);
    connect(m_Winsock1, &TcpSocket::DataArrival, this, &mainform::Winsock1_DataArrival);
    connect(m_Winsock1, &TcpSocket::Error, this, &mainform::Winsock1_Error);
    connect(m_Winsock1, &TcpSocket::PeerClosed, this, &mainform::Winsock1_Close);
    connect(m_commport, &SerialPort::errorOccurred, this, &mainform::showLinkError);
    connect(m_helpViewer, &DocumentViewer::failed, this, &mainform::fnUpdateStatus);
}

mainform::~mainform() = default;

void mainform::buildControls()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);

    auto *display = new QHBoxLayout;
    m_Image1 = new QLabel(central);
    m_Image1->setObjectName(QStringLiteral("Image1"));
    m_Image1->setPixmap(balancePicture());
    m_Vorzeichen = displayLabel(QStringLiteral("Vorzeichen"), QStringLiteral("+"), 28, central);
    m_MesswertAnzeige =
        displayLabel(QStringLiteral("MesswertAnzeige"), QStringLiteral("00000000.00"), 28, central);
    m_MesswertAnzeige->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_einheit = displayLabel(QStringLiteral("einheit"), QStringLiteral("g"), 20, central);
    m_einheit->setMinimumWidth(60);
    display->addWidget(m_Image1);
    display->addStretch();
    display->addWidget(m_Vorzeichen);
    display->addWidget(m_MesswertAnzeige);
    display->addWidget(m_einheit);
    layout->addLayout(display);

    // Row one: the fixed functions; row two: the instrument command keys.
    auto *buttons = new QGridLayout;
    for (int i = 1; i <= 16; ++i) {
        auto *button =
            new QPushButton(i <= 8 ? QString::fromLatin1(kButtonCaptions[i]) : QString(), central);
        button->setObjectName(QStringLiteral("Command5(%1)").arg(i));
        button->setAutoDefault(false);
        buttons->addWidget(button, (i - 1) / 8, (i - 1) % 8);
        m_Command5[i] = button;
    }
    setTag(m_Command5[7], QStringLiteral("-1"));
    layout->addLayout(buttons);

    for (auto [box, name] :
         {std::pair{&m_DDEValue, "DDEValue"}, std::pair{&m_DDESTRING, "DDESTRING"},
          std::pair{&m_DDESign, "DDESign"}, std::pair{&m_DDEUnit, "DDEUnit"},
          std::pair{&m_DDEDirect, "DDEDirect"}}) {
        *box = new QLineEdit(central);
        (*box)->setObjectName(QString::fromLatin1(name));
        (*box)->hide();
    }

    m_Status1 = new PanelBar(QStringLiteral("Status1"), 3, central);
    m_Status = new PanelBar(QStringLiteral("Status"), 1, central);
    layout->addWidget(m_Status1);
    layout->addWidget(m_Status);
    setCentralWidget(central);
}

void mainform::buildMenus()
{
    struct Item {
        const char *name;
        const char *caption;
    };
    struct Menu {
        Item menu;
        std::vector<Item> items;
    };
    // nullptr names a separator.
    const std::vector<Menu> menus{
        {{"datei", "&Datei"},
         {{"load_conf", "Einstellung &laden"},
          {"save_conf", "Einstellung &sichern"},
          {"inst_assi", "&Installationsassistent"},
          {nullptr, nullptr},
          {"quit", "&Beenden"}}},
        {{"m_Ansicht", "&Ansicht"}, {{"m_Modus", "&Modus"}}},
        {{"options", "&Dateneingang"},
         {{"port", "Konfiguration &Schnittstelle"}, {"m_KonfigDatenIn", "Konfiguration &Daten"}}},
        {{"m_DataOutput", "&Datenausgang"},
         {{"m_KonfigDatenOut", "Konfiguration &Daten"}, {"dde_conn", "DDE-Verbindung"}}},
        {{"m_Extras", "&Extras"}, {{"language", "S&prache"}}},
        {{"help", "&Hilfe"}, {{"showhelp", "&Hilfe"}, {"info", "&Info"}}},
    };
    for (const Menu &m : menus) {
        QMenu *menu = menuBar()->addMenu(QString::fromUtf8(m.menu.caption));
        menu->menuAction()->setObjectName(QString::fromLatin1(m.menu.name));
        for (const Item &item : m.items) {
            QAction *action =
                item.name ? menu->addAction(QString::fromUtf8(item.caption)) : menu->addSeparator();
            action->setObjectName(item.name ? QString::fromLatin1(item.name)
                                            : QStringLiteral("m_Line1"));
        }
    }
}

void mainform::connectMenus()
{
    const std::pair<const char *, void (mainform::*)()> handlers[] = {
        {"load_conf", &mainform::load_conf_Click},
        {"save_conf", &mainform::save_conf_Click},
        {"inst_assi", &mainform::inst_assi_Click},
        {"quit", &mainform::quit_Click},
        {"m_Modus", &mainform::m_Modus_Click},
        {"port", &mainform::port_Click},
        {"m_KonfigDatenIn", &mainform::m_KonfigDatenIn_Click},
        {"m_KonfigDatenOut", &mainform::m_KonfigDatenOut_Click},
        {"dde_conn", &mainform::dde_conn_Click},
        {"language", &mainform::language_Click},
        {"showhelp", &mainform::showhelp_Click},
        {"info", &mainform::info_Click},
    };
    for (const auto &[name, handler] : handlers)
        connect(menuItem(QString::fromLatin1(name)), &QAction::triggered, this, handler);
}

QPushButton *mainform::Command5(int index) const
{
    return index >= 1 && index <= 16 ? m_Command5[index] : nullptr;
}

QAction *mainform::menuItem(const QString &name) const
{
    return menuBar()->findChild<QAction *>(name, Qt::FindChildrenRecursively);
}

bool mainform::isOnline() const
{
    return vb::CBool(tagOf(m_Command5[7])).value_or(false);
}
