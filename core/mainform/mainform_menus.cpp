#include "core/mainform/mainform.h"

#include "core/app.h"
#include "core/language/language.h"
#include "core/mainform/key_polling.h"
#include "core/mainform/panel_bar.h"
#include "core/mainform/program_title.h"
#include "core/mainform/wait.h"
#include "core/settings/settings.h"
#include "core/tray/systray.h"
#include "dialogs/anzeige.h"
#include "dialogs/format_def.h"
#include "dialogs/info_box.h"
#include "dialogs/load_set.h"
#include "dialogs/messwert_def.h"
#include "dialogs/save_set.h"
#include "dialogs/select_ddeparameter.h"
#include "dialogs/select_settings.h"
#include "platform/files/document_viewer.h"
#include "platform/ports/tcp_socket.h"
#include "platform/prompts.h"
#include "platform/vb/vb_caption.h"
#include "platform/vb/vb_timer.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// Closing the socket ends it at once here; the bound keeps an exit from hanging
// on a link that never reports closed.
constexpr int kSocketCloseMs = 2000;

const QString kHelpFile = QStringLiteral("Mondrelquist 4.2.html");

// The application's own loop is level 1 (a test's top level, 0); any deeper
// level is a wait or a modal dialog that still uses the main window.
bool stackUnwound(const App &app)
{
    return QThread::currentThread()->loopLevel() <= 1 && !app.telegramReading;
}

// Runs call the next time the event loop falls idle with no wait on the stack.
// Idle, not polled: the check costs nothing while a wait sleeps.
void runWhenUnwound(App &app, std::function<void()> call)
{
    auto watch = std::make_shared<QMetaObject::Connection>();
    *watch = QObject::connect(QAbstractEventDispatcher::instance(),
                              &QAbstractEventDispatcher::aboutToBlock, &app, [&app, watch, call] {
                                  if (!stackUnwound(app))
                                      return;
                                  QObject::disconnect(*watch);
                                  // A tick due in the same pass may have begun a wait meanwhile.
                                  QTimer::singleShot(0, &app, [&app, call] {
                                      if (stackUnwound(app))
                                          call();
                                      else
                                          runWhenUnwound(app, call);
                                  });
                              });
}

bool copyOver(const QString &from, const QString &to)
{
    QFile::remove(to);
    return !from.isEmpty() && QFile::copy(from, to);
}

} // namespace

void mainform::showOfflineDisplay()
{
    m_Command5[7]->setText(QStringLiteral("O&nline"));
    vb::setCaption(m_MesswertAnzeige, QStringLiteral("Offline"));
    fnUpdateStatus(QString());
    m_einheit->clear();
    m_Vorzeichen->clear();
}

void mainform::info_Click()
{
    m_Timer1->setInterval(0);
    showOfflineDisplay();
    m_app.form<info_box>().exec();
}

// The language dialog, then the new texts. Only the texts are applied again: a
// second start-up would reload the command line's settings file and drop unsaved
// settings and a file loaded from the menu.
void mainform::language_Click()
{
    const int interval = m_Timer1->interval();
    m_Timer1->setInterval(0);
    if (changeLanguage(m_app)) {
        setMenuCaptions();
        m_Status1->setPanelText(1, m_app.texts.TextStatus);
        refreshStatus();
    }
    // The link stayed open: polling goes on as before the dialog.
    m_Timer1->setInterval(interval);
}

void mainform::load_conf_Click()
{
    m_Timer1->setInterval(0);
    showOfflineDisplay();
    m_app.CfgPath = load_set(m_app);
    if (m_app.abbruch)
        m_app.CfgPath.clear();
    else
        Einstellungen_laden(m_app, m_app.CfgPath);
}

void mainform::save_conf_Click()
{
    showOfflineDisplay();
    save_set(m_app);
}

void mainform::inst_assi_Click()
{
    m_app.bAssistentAktiv = true;
    select_settings::Show(m_app);
}

void mainform::quit_Click()
{
    Unload();
}

void mainform::m_Modus_Click()
{
    m_Timer1->setInterval(0);
    m_app.form<Anzeige>().exec();
}

void mainform::port_Click()
{
    m_Timer1->setInterval(0);
    showOfflineDisplay();
    select_settings::Show(m_app, QStringLiteral("mainform"));
}

// The telegram dialog stops the polling and closes the port itself.
void mainform::m_KonfigDatenIn_Click()
{
    m_app.form<messwert_def>().exec();
}

void mainform::m_KonfigDatenOut_Click()
{
    m_Timer1->setInterval(0);
    showOfflineDisplay();
    m_app.form<format_def>().exec();
}

void mainform::dde_conn_Click()
{
    m_Timer1->setEnabled(false);
    m_app.form<select_DDEParameter>().exec();
    // Keys pressed while the dialog was open must not press buttons afterwards.
    fnCheckHotkeys(m_app);
    fnCheckActionKeys(m_app);
    m_Timer1->setEnabled(true);
}

void mainform::showhelp_Click()
{
    showOfflineDisplay();
    const QString file = m_app.programFile(kHelpFile);
    if (!QFileInfo::exists(file)) {
        fnUpdateStatus(QStringLiteral("Help file not found: ") + file);
        return;
    }
    m_helpViewer->open(file);
}

void mainform::hideToTray()
{
    setWindowState(windowState() | Qt::WindowMinimized);
    // Without a notification area no icon could bring a hidden window back.
    if (!clsSysTray::isAvailable())
        return;
    hide();
    if (!m_app.SysTray)
        createSysTray();
    m_app.SysTray->Init(*this, QStringLiteral("Mondrelquist 4.2"));
}

void mainform::createSysTray()
{
    m_app.SysTray = std::make_unique<clsSysTray>();
    connect(m_app.SysTray.get(), &clsSysTray::callback, this,
            [this](qint16 button) { Form_MouseMove(button, 0, 0, 0); });
}

void mainform::Form_MouseMove(qint16 Button, qint16, float X, float)
{
    if (m_app.SysTray)
        m_app.SysTray->MouseMove(Button, qint32(qRound(X)), *this);
}

void mainform::Form_Activate()
{
    m_app.bAssistentAktiv = false;
}

void mainform::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void mainform::closeEvent(QCloseEvent *event)
{
    // Form_Unload decides, and it ends the program itself.
    event->ignore();
    Unload();
}

void mainform::Unload()
{
    if (m_unloadRequested)
        return;
    m_unloadRequested = true;
    // No more readings, sends or key presses: the exit's question may stay up a
    // long time, and the link is closed under it.
    m_Timer1->setInterval(0);
    if (m_keyPoll)
        m_keyPoll->stop();
    App &app = m_app;
    runWhenUnwound(app, [&app] {
        if (!app.hasMainWindow())
            return;
        app.mainWindow().Form_Unload();
        app.unloadMainWindow();
    });
}

void mainform::Form_Unload()
{
    // The scratch copy starts as the settings file and takes the record; keys the
    // record does not write keep the file's values. Without a settings file it
    // holds the record alone, which then always counts as changed.
    const QString scratch = m_app.programFile(QStringLiteral("tmp.cfg"));
    const bool copied = copyOver(m_app.CfgPath, scratch);
    const bool written = Einstellungen_speichern(m_app, scratch) == SaveResult::Saved;
    closeSocketForExit();
    const bool unchanged = copied && written && fnDateienGleich(scratch, m_app.CfgPath);
    if (!unchanged && m_app.prompts().message(m_app.texts.TextAenderungenSpeichern, programTitle(),
                                              Prompts::Buttons::YesNo) == Prompts::Answer::Yes)
        save_set(m_app);
    hide();
    m_app.SysTray.reset();
    m_app.endProgram(0);
}

void mainform::closeSocketForExit()
{
    m_Winsock1->Close();
    QCoreApplication::processEvents();
    const QDeadlineTimer deadline(kSocketCloseMs);
    while (m_Winsock1->State() > winsock::kClosed && m_Winsock1->State() != winsock::kClosing &&
           !deadline.hasExpired())
        Warten(0.02);
}
