#include "dialogs/messwert_def.h"

#include "core/app.h"
#include "core/mainform/control_tag.h"
#include "core/mainform/mainform.h"
#include "core/reception/telegram.h"
#include "core/settings/settings_record.h"
#include "dialogs/dialog_controls.h"
#include "dialogs/nested_modal.h"
#include "dialogs/stored_values.h"
#include "dialogs/tasten.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"
#include "platform/vb/cp1252.h"
#include "platform/vb/vb_caption.h"
#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_strings.h"
#include "platform/vb/vb_timer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kWizardCaller = QStringLiteral("select_target");

// The serial read looks for more bytes every half second.
constexpr int kReadPauseMs = 500;
// The serial Start's timer moves the receive buffer into the box.
constexpr int kTimerMs = 50;

QLineEdit *box(const QString &name, const QString &accessibleName, QWidget *parent)
{
    auto *b = new QLineEdit(parent);
    b->setObjectName(name);
    b->setAccessibleName(accessibleName);
    return b;
}

// A preview box: room for a value field.
QLineEdit *previewBox(const QString &name, const QString &accessibleName, QWidget *parent)
{
    QLineEdit *b = box(name, accessibleName, parent);
    b->setMinimumWidth(b->fontMetrics().horizontalAdvance(QString(12, QLatin1Char('0'))) + 12);
    return b;
}

// A column box: wide enough for five digits.
QLineEdit *columnBox(const QString &name, const QString &accessibleName, QWidget *parent)
{
    QLineEdit *b = box(name, accessibleName, parent);
    b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    return b;
}

// Mid(text, start, end - start + 1), or nullopt when a column is no number or
// the cut is not possible (start below 1, end more than one before start).
std::optional<QString> columns(const QString &text, std::optional<double> start,
                               std::optional<double> end)
{
    if (!start || !end)
        return std::nullopt;
    const auto from = vb::CLng(*start);
    const auto length = vb::CLng(*end - *start + 1);
    if (!from || !length)
        return std::nullopt;
    return vb::Mid(text, *from, *length);
}

void showColumns(QLineEdit *preview, const QString &text, std::optional<double> start,
                 std::optional<double> end)
{
    if (const auto part = columns(text, start, end))
        preview->setText(*part);
}

} // namespace

messwert_def::messwert_def(App &app, QWidget *parent)
    : QDialog(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("messwert_def"));
    setWindowTitle(QStringLiteral("Dateneingang"));
    setModal(true);
    m_commport = new SerialPort(app.programFile(QStringLiteral("mondrelquist.ini")), this);
    m_commport->setObjectName(QStringLiteral("commport"));
    m_Winsock1 = new TcpSocket(this);
    m_Winsock1->setObjectName(QStringLiteral("Winsock1"));
    m_Timer1 = new VbTimer(this);
    m_Timer1->setObjectName(QStringLiteral("Timer1"));
    buildControls();
    buildLayout();
    connectSignals();
    Form_Load();
}

messwert_def::~messwert_def() = default;

void messwert_def::buildControls()
{
    m_Label3 = new QLabel(QStringLiteral("Bitte Datenausgabe am Gerät auslösen:"), this);
    m_Label3->setObjectName(QStringLiteral("Label3"));

    // A QLineEdit keeps CR and NUL and gives every character one column.
    m_txtScaleInput =
        box(QStringLiteral("txtScaleInput"), QStringLiteral("Empfangenes Telegramm"), this);
    QFont courier(QStringLiteral("Courier"));
    courier.setStyleHint(QFont::TypeWriter);
    courier.setFixedPitch(true);
    m_txtScaleInput->setFont(courier);
    m_txtScaleInput->setMaxLength(kMaxTelegram);
    m_txtScaleInput->setMinimumWidth(
        m_txtScaleInput->fontMetrics().horizontalAdvance(QString(40, QLatin1Char('0'))) + 12);

    m_cmdStart = dialogButton(QStringLiteral("cmdStart"), QStringLiteral("&Start"), this);
    m_cmdStop = dialogButton(QStringLiteral("cmdStop"), QStringLiteral("&Stop"), this);

    struct FieldSpec {
        const char *name;
        const char *caption;
        const char *words;
        qint16 SettingsRecord::*first;
        qint16 SettingsRecord::*last;
    };
    const FieldSpec specs[] = {
        {"Messwert", "&Messwert", "Messwert", &SettingsRecord::mw_start, &SettingsRecord::mw_end},
        {"Sign", "&Vorzeichen", "Vorzeichen", &SettingsRecord::mw_sign_anf,
         &SettingsRecord::mw_sign_end},
        {"Unit", "&Einheit", "Einheit", &SettingsRecord::eh_start, &SettingsRecord::eh_end},
        {"Stable", "&Stillstandszeichen", "Stillstandszeichen", &SettingsRecord::mw_still_anf,
         &SettingsRecord::mw_still_end},
    };
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const FieldSpec &s = specs[i];
        const QString name = QString::fromLatin1(s.name);
        const QString words = QString::fromUtf8(s.words);
        m_fields[i] = {
            dialogButton(QStringLiteral("cmd") + name, QString::fromUtf8(s.caption), this),
            previewBox(QStringLiteral("txt") + name, words, this),
            columnBox(QStringLiteral("txt%1Start").arg(name), words + QStringLiteral(" von Spalte"),
                      this),
            columnBox(QStringLiteral("txt%1End").arg(name), words + QStringLiteral(" bis Spalte"),
                      this),
            s.first,
            s.last};
    }

    for (int i = 0; i < int(m_ids.size()); ++i) {
        const QString id = QStringLiteral("ID%1").arg(i + 1);
        m_ids[std::size_t(i)] = {dialogButton(QStringLiteral("cmdID(%1)").arg(i), id, this),
                                 previewBox(QStringLiteral("txtID%1").arg(i + 1), id, this),
                                 columnBox(QStringLiteral("id_start(%1)").arg(i),
                                           id + QStringLiteral(" von Spalte"), this),
                                 columnBox(QStringLiteral("id_end(%1)").arg(i),
                                           id + QStringLiteral(" bis Spalte"), this)};
    }

    m_CmdLength = dialogButton(QStringLiteral("CmdLength"), QStringLiteral("Anzahl Zeichen"), this);
    m_txt_reclen = columnBox(QStringLiteral("txt_reclen"), QStringLiteral("Anzahl Zeichen"), this);
    m_cmdEndChar =
        dialogButton(QStringLiteral("cmdEndChar"), QStringLiteral("Abschlusszeichen"), this);
    m_txt_endchar =
        columnBox(QStringLiteral("txt_endchar"), QStringLiteral("Abschlusszeichen"), this);
    m_cmdOK = dialogButton(QStringLiteral("cmdOK"), QStringLiteral("&Ok"), this);
    m_cmdCancel = dialogButton(QStringLiteral("cmdCancel"), QStringLiteral("&Abbrechen"), this);
}

void messwert_def::buildLayout()
{
    auto *telegram = new QHBoxLayout;
    telegram->addWidget(m_txtScaleInput, 1);
    telegram->addWidget(m_cmdStart);
    telegram->addWidget(m_cmdStop);

    // Button, preview, first and last column in one row per field.
    auto addRow = [](QGridLayout *grid, int row, int column, QPushButton *b, QLineEdit *preview,
                     QLineEdit *start, QLineEdit *end) {
        grid->addWidget(b, row, column);
        grid->addWidget(preview, row, column + 1);
        grid->addWidget(start, row, column + 2);
        grid->addWidget(end, row, column + 3);
    };
    auto *fields = new QGridLayout;
    for (int i = 0; i < int(m_fields.size()); ++i) {
        const Field &f = m_fields[std::size_t(i)];
        addRow(fields, i, 0, f.button, f.preview, f.start, f.end);
    }
    // The ID fields in two columns of five.
    constexpr int kIdRows = 5;
    fields->setColumnMinimumWidth(4, 16);
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(6, 1);
    for (int i = 0; i < int(m_ids.size()); ++i) {
        const IdField &f = m_ids[std::size_t(i)];
        addRow(fields, int(m_fields.size()) + i % kIdRows, (i / kIdRows) * 5, f.button, f.preview,
               f.start, f.end);
    }

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_CmdLength);
    bottom->addWidget(m_txt_reclen);
    bottom->addSpacing(16);
    bottom->addWidget(m_cmdEndChar);
    bottom->addWidget(m_txt_endchar);
    bottom->addStretch();
    bottom->addWidget(m_cmdOK);
    bottom->addWidget(m_cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_Label3);
    layout->addLayout(telegram);
    layout->addSpacing(8);
    layout->addLayout(fields);
    layout->addSpacing(8);
    layout->addLayout(bottom);
}

void messwert_def::connectSignals()
{
    m_txtScaleInput->installEventFilter(this);
    connect(m_cmdStart, &QPushButton::clicked, this, &messwert_def::cmdStart_Click);
    connect(m_cmdStop, &QPushButton::clicked, this, &messwert_def::cmdStop_Click);
    for (const Field &f : m_fields)
        connect(f.button, &QPushButton::clicked, this, [this, &f] { markField(f); });
    for (int i = 0; i < int(m_ids.size()); ++i)
        connect(m_ids[std::size_t(i)].button, &QPushButton::clicked, this,
                [this, i] { cmdID_Click(i); });
    connect(m_CmdLength, &QPushButton::clicked, this, &messwert_def::CmdLength_Click);
    connect(m_cmdEndChar, &QPushButton::clicked, this, &messwert_def::cmdEndChar_Click);
    connect(m_cmdOK, &QPushButton::clicked, this, &messwert_def::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    // OK, Abbrechen, Escape and the close box all end here.
    connect(this, &QDialog::finished, this, &messwert_def::Form_Unload);

    // Queued: the read waits in a nested loop, which must not run inside the
    // serial port's own signal.
    connect(m_commport, &SerialPort::OnComm, this, &messwert_def::commport_OnComm,
            Qt::QueuedConnection);
    connect(m_Winsock1, &TcpSocket::DataArrival, this, &messwert_def::Winsock1_DataArrival);
    connect(m_Timer1, &VbTimer::Timer, this, &messwert_def::Timer1_Timer);
}

// A QLineEdit drops its selection when it loses focus, so pressing a button
// would lose the columns it is to take: the telegram box keeps its selection, as
// the text boxes of the original do, and shows it while a button has the focus.
bool messwert_def::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_txtScaleInput || event->type() != QEvent::FocusOut)
        return QDialog::eventFilter(watched, event);
    const auto reason = static_cast<QFocusEvent *>(event)->reason();
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
        return false;
    // The one reason for which the line edit keeps the selection.
    QFocusEvent keepSelection(QEvent::FocusOut, Qt::PopupFocusReason);
    QCoreApplication::sendEvent(m_txtScaleInput, &keepSelection);
    return true;
}

// Every failing step is skipped.
void messwert_def::Form_Load()
{
    const SettingsRecord &s = m_app.settings;
    m_commport->setRThreshold(0);
    for (const Field &f : m_fields) {
        f.start->setText(QString::number(s.*f.first));
        f.end->setText(QString::number(s.*f.last));
    }
    for (std::size_t i = 0; i < m_ids.size(); ++i) {
        m_ids[i].start->setText(QString::number(s.ID_anf[i + 1]));
        m_ids[i].end->setText(QString::number(s.ID_end[i + 1]));
    }

    mainform &window = m_app.mainWindow();
    const bool portClosed = window.commport().portOpen();
    if (portClosed)
        window.commport().setPortOpen(false);

    openLink();

    m_txtScaleInput->clear();
    m_txt_endchar->setText(s.str_endchar);
    m_txt_reclen->setText(s.str_len);
    takeMainWindowOffline(window, portClosed);
    updateStartStop();
}

// The main window's timer stops and its tag says offline whatever the link. Its
// display says so on a serial link; over TCP its socket stays up until Start and
// its captions stay as they are, unless its serial port was open and closed here.
void messwert_def::takeMainWindowOffline(mainform &window, bool portClosed)
{
    window.Timer1().setInterval(0);
    setTag(window.Command5(7), vb::BoolText(false));
    if (overTcp() && !portClosed)
        return;
    window.Command5(7)->setText(QStringLiteral("O&nline"));
    vb::setCaption(window.MesswertAnzeige(), QStringLiteral("Offline"));
    window.fnUpdateStatus(&LanguageTexts::TextMessgeraetInaktiv);
}

bool messwert_def::overTcp() const
{
    return m_app.settings.portnum == QLatin1String("TCP/IP");
}

void messwert_def::openLink()
{
    const SettingsRecord &s = m_app.settings;
    const auto baud = vb::CDbl(s.baud);
    const auto databit = vb::CDbl(s.databit);
    const auto stopbit = vb::CDbl(s.stopbit);
    if (baud && databit && stopbit)
        m_commport->setSettings(vb::Str(*baud) + QLatin1Char(',') + s.parity.left(1).toUpper() +
                                QLatin1Char(',') + vb::Str(*databit) + QLatin1Char(',') +
                                vb::Str(*stopbit));

    if (!vb::IsNumeric(s.portnum)) {
        if (overTcp())
            connectTcp();
        return;
    }
    const auto n = vb::CInt(s.portnum);
    if (n && m_app.mainWindow().ComPortVorhanden(*n) && m_commport->setCommPort(*n))
        m_commport->setPortOpen(true);
}

void messwert_def::connectTcp()
{
    const SettingsRecord &s = m_app.settings;
    // Closing ends the old connection at once (state 0).
    m_Winsock1->Close();
    m_Winsock1->setRemoteHost(s.tcpip);
    if (const auto port = vb::CLng(vb::Val(s.tcpport)))
        m_Winsock1->setRemotePort(*port);
    m_Winsock1->setLocalPort(0);
    m_Winsock1->Connect();
}

void messwert_def::updateStartStop()
{
    // A second Start while a read waits would run two reads into one box.
    m_cmdStart->setEnabled(!m_receiving && !m_reading);
    m_cmdStop->setEnabled(m_receiving);
}

void messwert_def::cmdStart_Click()
{
    if (m_reading)
        return;
    m_receiving = true;
    // What the main window left in the receive buffer is no part of this telegram.
    m_app.strEmpfang.clear();
    m_txtScaleInput->clear();
    if (overTcp()) {
        m_Timer1->setInterval(0);
        m_app.mainWindow().Winsock1().Close();
        connectTcp();
    } else {
        m_commport->input();
        m_commport->setRThreshold(1);
        m_Timer1->setInterval(kTimerMs);
    }
    updateStartStop();
}

// Stop does not end a serial read that waits: it ends by its own condition.
void messwert_def::cmdStop_Click()
{
    m_commport->setRThreshold(0);
    m_receiving = false;
    updateStartStop();
    m_Winsock1->Close();
}

// One telegram per Start: read until no more bytes came during a pause or the
// box holds the length in txt_reclen.
void messwert_def::commport_OnComm()
{
    if (m_commport->commEvent() != mscomm::kEvReceive || m_reading)
        return;
    m_reading = true;
    updateStartStop();
    const quint64 session = m_session;
    m_commport->setRThreshold(0);
    m_txtScaleInput->clear();
    if (!pauseRead(session))
        return;
    for (;;) {
        if (const auto input = m_commport->input())
            m_txtScaleInput->setText(m_txtScaleInput->text() + *input);
        m_txtScaleInput->repaint();
        if (!pauseRead(session))
            return;
        const int length = int(m_txtScaleInput->text().size());
        if (m_commport->inBufferCount().value_or(0) == 0 ||
            length >= vb::Val(m_txt_reclen->text()) || length >= kMaxTelegram)
            break;
    }
    m_reading = false;
    updateStartStop();
    showPreviews();
}

// Waits one pause of the serial read. False when the window closed meanwhile:
// the read then ends without touching it (reset only while the object lives).
bool messwert_def::pauseRead(quint64 session)
{
    QEventLoop loop;
    QTimer::singleShot(kReadPauseMs, &loop, &QEventLoop::quit);
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    const DeletionHold hold(this);
    connect(&hold, &DeletionHold::deletionAsked, &loop, &QEventLoop::quit);
    loop.exec();
    if (hold.openerGone())
        return false;
    if (m_session == session)
        return true;
    m_reading = false;
    return false;
}

// Over TCP the box shows everything received since the receive buffer was last
// emptied, whenever data arrive; until Start the main window's socket appends to
// the same buffer. An endless stream shows its newest characters.
void messwert_def::Winsock1_DataArrival()
{
    appendReceived(m_app, m_Winsock1->GetData());
    m_txtScaleInput->setText(m_app.strEmpfang.right(kMaxTelegram));
}

void messwert_def::Timer1_Timer()
{
    if (m_app.strEmpfang.isEmpty())
        return;
    m_txtScaleInput->setText(m_app.strEmpfang);
    m_app.strEmpfang.clear();
}

// The four fields from their column boxes, the ID fields from the settings record.
void messwert_def::showPreviews()
{
    const QString text = m_txtScaleInput->text();
    for (const Field &f : m_fields)
        showColumns(f.preview, text, vb::CDbl(f.start->text()), vb::CDbl(f.end->text()));
    const SettingsRecord &s = m_app.settings;
    for (std::size_t i = 0; i < m_ids.size(); ++i)
        showColumns(m_ids[i].preview, text, s.ID_anf[i + 1], s.ID_end[i + 1]);
}

// The current selection is both shown and stored, also one made with the keyboard.
void messwert_def::markField(const Field &field)
{
    if (!m_txtScaleInput->hasSelectedText())
        return;
    const int start = m_txtScaleInput->selectionStart();
    const int length = m_txtScaleInput->selectionLength();
    field.preview->setText(m_txtScaleInput->selectedText());
    SettingsRecord &s = m_app.settings;
    s.*field.first = qint16(start + 1);
    s.*field.last = qint16(start + length);
    field.start->setText(QString::number(s.*field.first));
    field.end->setText(QString::number(s.*field.last));
}

void messwert_def::cmdID_Click(int Index)
{
    const IdField &field = m_ids[std::size_t(Index)];
    qint16 &first = m_app.settings.ID_anf[std::size_t(Index + 1)];
    qint16 &last = m_app.settings.ID_end[std::size_t(Index + 1)];
    if (m_txtScaleInput->hasSelectedText()) {
        const int start = m_txtScaleInput->selectionStart();
        field.preview->setText(m_txtScaleInput->selectedText());
        first = qint16(start + 1);
        last = qint16(start + m_txtScaleInput->selectionLength());
    } else {
        field.preview->clear();
        first = 0;
        last = 0;
    }
    field.start->setText(QString::number(first));
    field.end->setText(QString::number(last));
}

void messwert_def::CmdLength_Click()
{
    if (m_txtScaleInput->hasSelectedText())
        m_txt_reclen->setText(QString::number(m_txtScaleInput->selectionLength()));
}

// The code of the telegram's last character, in the code page it was received in.
void messwert_def::cmdEndChar_Click()
{
    const QString text = m_txtScaleInput->text();
    if (m_txtScaleInput->hasSelectedText() || text.isEmpty())
        return;
    const QByteArray last = cp1252::encode(text.right(1));
    m_txt_endchar->setText(QString::number(quint8(last.front())));
}

void messwert_def::cmdOK_Click()
{
    // Read first: closing unloads the window, tag and all.
    const bool wizard = tagOf(this) == kWizardCaller;
    // The column boxes are stored as numbers; these two as the texts typed.
    if (!storedValuesFit(
            m_app,
            {singleValue(m_txt_reclen, m_txt_reclen->accessibleName(), m_txt_reclen->text()),
             singleValue(m_txt_endchar, m_txt_endchar->accessibleName(), m_txt_endchar->text())}))
        return;
    storeBoxes();
    if (!wizard) {
        accept();
        return;
    }
    // The wizard goes on with the output-template editor; this window, closed and
    // unloaded, is deleted only after this handler has returned. Loading the editor
    // loads the transfer dialog, whose limit check may show a message.
    Tasten *next = nullptr;
    if (!stillOpenAfter(this, [&] { next = &m_app.form<Tasten>(); }))
        return;
    accept();
    next->exec();
}

// A box whose text is no whole number in the 16-bit range keeps that value.
void messwert_def::storeBoxes()
{
    SettingsRecord &s = m_app.settings;
    auto take = [](const QLineEdit *from, qint16 &to) {
        if (const auto value = vb::CInt(from->text()))
            to = *value;
    };
    for (std::size_t i = 0; i < m_ids.size(); ++i) {
        take(m_ids[i].start, s.ID_anf[i + 1]);
        take(m_ids[i].end, s.ID_end[i + 1]);
    }
    for (const Field &f : m_fields) {
        take(f.end, s.*f.last);
        take(f.start, s.*f.first);
    }
    s.str_len = m_txt_reclen->text();
    s.str_endchar = m_txt_endchar->text();
}

void messwert_def::Form_Unload()
{
    ++m_session;
    m_receiving = false;
    m_Timer1->setInterval(0);
    m_commport->setRThreshold(0);
    m_commport->setPortOpen(false);
    m_Winsock1->Close();
    if (m_app.isLoaded<messwert_def>() && &m_app.form<messwert_def>() == this)
        m_app.unload<messwert_def>();
}
