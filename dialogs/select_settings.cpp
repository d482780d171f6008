#include "dialogs/select_settings.h"

#include "core/app.h"
#include "core/mainform/control_tag.h"
#include "core/mainform/mainform.h"
#include "core/mainform/program_title.h"
#include "dialogs/dialog_controls.h"
#include "dialogs/named_fields.h"
#include "dialogs/select_target.h"
#include "dialogs/stored_values.h"
#include "platform/prompts.h"
#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_timer.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include <array>
#include <optional>

namespace {

const QString kTcpIp = QStringLiteral("TCP/IP");
const QString kMenuCaller = QStringLiteral("mainform");
constexpr int kHighestComPort = 32;

struct SerialField {
    const char *label;
    const char *box;
    const char *caption;
    QStringList entries;
    QString SettingsRecord::*value;
};

// In the order the page shows them.
const std::array<SerialField, select_settings::kSerialFields> &serialFields()
{
    static const std::array<SerialField, select_settings::kSerialFields> fields{{
        {"lblBaud",
         "cboBaud",
         "Baud",
         {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400"},
         &SettingsRecord::baud},
        {"lblDatabits", "cboDataBits", "Datenbits", {"5", "6", "7", "8"}, &SettingsRecord::databit},
        {"lblParity", "cboParity", "Parität", {"even", "odd", "none"}, &SettingsRecord::parity},
        {"lblStopBits", "cboStopBits", "Stopbits", {"1", "2"}, &SettingsRecord::stopbit},
        {"lblHandshake",
         "cboHandshake",
         "Handshake",
         {"Xon/Xoff", "Hardware", "none"},
         &SettingsRecord::handshake},
    }};
    return fields;
}

// The portnum a port box text stands for: the number after "COM", or "TCP/IP";
// nullopt for any other text.
std::optional<QString> portOf(const QString &text)
{
    const QString number = text.mid(3);
    if (vb::IsNumeric(number))
        return number;
    if (text == kTcpIp)
        return kTcpIp;
    return std::nullopt;
}

QLabel *fieldLabel(const QString &name, const QString &caption, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QComboBox *valueBox(const QString &name, const QString &accessibleName, QWidget *parent)
{
    auto *box = new NamedComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    setFieldName(box, accessibleName);
    box->setInsertPolicy(QComboBox::NoInsert);
    // A typed value is stored as typed: no completion may turn "4" into "4800".
    box->setCompleter(nullptr);
    box->setMinimumContentsLength(10);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return box;
}

QLineEdit *textBox(const QString &name, const QString &accessibleName, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    return box;
}

// An entry of the list becomes the current one; any other text stands in the box.
void showText(QComboBox *box, const QString &text)
{
    const int index = box->findText(text, Qt::MatchExactly);
    box->setCurrentIndex(index);
    if (index < 0)
        box->setEditText(text);
}

} // namespace

select_settings::select_settings(App &app, QWidget *parent)
    : QDialog(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("select_settings"));
    setWindowTitle(QStringLiteral("Schnittstellenparameter"));
    setModal(true);
    buildControls();
    buildLayout();
    connectControls();
    Form_Load();
    m_Timer1->setInterval(kPortListDelayMs);
}

void select_settings::buildControls()
{
    m_lblComport = fieldLabel(QStringLiteral("lblComport"), QStringLiteral("Port"), this);
    m_cboCOM = valueBox(QStringLiteral("cboCOM"), QStringLiteral("Port"), this);
    for (int i = 0; i < kSerialFields; ++i) {
        const SerialField &field = serialFields()[i];
        const QString caption = QString::fromUtf8(field.caption);
        m_serialLabels[i] = fieldLabel(QString::fromLatin1(field.label), caption, this);
        m_serialBoxes[i] = valueBox(QString::fromLatin1(field.box), caption, this);
    }
    m_lblIP = fieldLabel(QStringLiteral("lblIP"), QStringLiteral("IP-Adresse"), this);
    m_txtIP = textBox(QStringLiteral("txtIP"), QStringLiteral("IP-Adresse"), this);
    m_lblPort = fieldLabel(QStringLiteral("lblPort"), QStringLiteral("Port"), this);
    // Its label reads "Port" like the port box's: the name tells the two apart.
    m_txtPort = textBox(QStringLiteral("txtPort"), QStringLiteral("TCP-Port"), this);
    m_cmdGoOn = dialogButton(QStringLiteral("cmdGoOn"), QStringLiteral("Ok"), this);
    m_cmdCancel = dialogButton(QStringLiteral("cmdCancel"), QStringLiteral("Abbrechen"), this);
    m_Timer1 = new VbTimer(this);
    m_Timer1->setObjectName(QStringLiteral("Timer1"));
}

void select_settings::buildLayout()
{
    auto *fields = new QGridLayout;
    fields->setHorizontalSpacing(12);
    const auto addRow = [fields](QLabel *label, QWidget *field) {
        const int row = fields->rowCount();
        label->setBuddy(field);
        fields->addWidget(label, row, 0);
        fields->addWidget(field, row, 1);
    };
    addRow(m_lblComport, m_cboCOM);
    for (int i = 0; i < kSerialFields; ++i)
        addRow(m_serialLabels[i], m_serialBoxes[i]);
    addRow(m_lblIP, m_txtIP);
    addRow(m_lblPort, m_txtPort);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdGoOn);
    buttons->addWidget(m_cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    // The page shrinks and grows as the serial or the TCP/IP rows show, never
    // narrower than its title.
    layout->addStrut(titleBarWidth(this));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void select_settings::connectControls()
{
    connect(m_Timer1, &VbTimer::Timer, this, &select_settings::Timer1_Timer);
    connect(m_cboCOM, &QComboBox::activated, this, &select_settings::cboCOM_Click);
    connect(m_cmdGoOn, &QPushButton::clicked, this, &select_settings::cmdGoOn_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Ok, Abbrechen, Escape and the close box all unload the page, and its tag with it.
    connect(this, &QDialog::finished, this, [this] {
        if (m_app.isLoaded<select_settings>() && &m_app.form<select_settings>() == this)
            m_app.unload<select_settings>();
    });
}

void select_settings::Show(App &app, const QString &caller)
{
    select_settings &page = app.form<select_settings>();
    if (!caller.isEmpty())
        setTag(&page, caller);
    page.exec();
}

void select_settings::Form_Load()
{
    const SettingsRecord &s = m_app.settings;
    const bool serial = s.portnum != kTcpIp;
    showSerialControls(serial);
    if (serial)
        fillSerialLists();
    for (int i = 0; i < kSerialFields; ++i)
        showText(m_serialBoxes[i], s.*serialFields()[i].value);
    m_txtIP->setText(s.tcpip);
    m_txtPort->setText(s.tcpport);
}

void select_settings::Timer1_Timer()
{
    m_cboCOM->clear();
    for (qint16 n = 1; n <= kHighestComPort; ++n)
        if (m_app.mainWindow().ComPortVorhanden(n))
            m_cboCOM->addItem(QStringLiteral("COM") + QString::number(n));
    m_cboCOM->addItem(kTcpIp);
    m_Timer1->setInterval(0);

    const QString &portnum = m_app.settings.portnum;
    showText(m_cboCOM, vb::IsNumeric(portnum)
                           ? QStringLiteral("COM") + QString(portnum).remove(QLatin1Char(' '))
                           : portnum);
}

void select_settings::cboCOM_Click(int index)
{
    const QString entry = m_cboCOM->itemText(index);
    if (entry == kTcpIp) {
        showSerialControls(false);
        m_txtIP->setText(m_app.settings.tcpip);
        m_txtPort->setText(m_app.settings.tcpport);
        return;
    }
    showSerialControls(true);
    // The number, not the entry: the link takes a portnum such as "COM3" for
    // TCP/IP, and a Cancel keeps what is stored here.
    if (const auto port = portOf(entry))
        m_app.settings.portnum = *port;
    Form_Load();
}

void select_settings::cmdGoOn_Click()
{
    const auto port = portOf(m_cboCOM->currentText());
    if (!fieldValuesFit(port.value_or(QString())))
        return;
    storeFieldValues();
    if (!port) {
        m_app.prompts().message(QStringLiteral("Bitte Schnittstelle auswählen"), programTitle());
        return;
    }
    m_app.settings.portnum = *port;
    if (tagOf(this) == kMenuCaller)
        accept();
    else
        goOn();
}

void select_settings::goOn()
{
    select_target &next = m_app.form<select_target>();
    accept();
    next.exec();
}

bool select_settings::fieldValuesFit(const QString &port)
{
    QList<StoredValue> values{singleValue(m_cboCOM, m_cboCOM->accessibleName(), port)};
    for (int i = 0; i < kSerialFields; ++i)
        values.append(
            singleValue(m_serialBoxes[i], m_serialBoxes[i]->accessibleName(), serialValue(i)));
    for (QLineEdit *box : {m_txtIP, m_txtPort})
        values.append(singleValue(box, box->accessibleName(), box->text()));
    return storedValuesFit(m_app, values);
}

QString select_settings::serialValue(int field) const
{
    const QString text = m_serialBoxes[field]->currentText();
    // Choosing from the list gives "e", "o" or "n"; an untouched box keeps the stored letter.
    return serialFields()[field].value == &SettingsRecord::parity ? text.left(1) : text;
}

void select_settings::storeFieldValues()
{
    SettingsRecord &s = m_app.settings;
    for (int i = 0; i < kSerialFields; ++i)
        s.*serialFields()[i].value = serialValue(i);
    s.tcpip = m_txtIP->text();
    s.tcpport = m_txtPort->text();
}

void select_settings::showSerialControls(bool serial)
{
    for (int i = 0; i < kSerialFields; ++i) {
        m_serialLabels[i]->setVisible(serial);
        m_serialBoxes[i]->setVisible(serial);
    }
    for (QWidget *tcp : {static_cast<QWidget *>(m_lblIP), static_cast<QWidget *>(m_txtIP),
                         static_cast<QWidget *>(m_lblPort), static_cast<QWidget *>(m_txtPort)})
        tcp->setVisible(!serial);
}

void select_settings::fillSerialLists()
{
    for (int i = 0; i < kSerialFields; ++i) {
        m_serialBoxes[i]->clear();
        m_serialBoxes[i]->addItems(serialFields()[i].entries);
    }
}
