#include "core/ipc/dde_source.h"

#include "core/mainform/mainform.h"
#include "platform/dbus/dde_bus.h"
#include "platform/vb/vb_runtime.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>

namespace {

// A refusal quotes the start of the command only: a client may send megabytes.
QString commandEcho(const QString &command)
{
    constexpr qsizetype kEchoLength = 40;
    if (command.size() <= kEchoLength)
        return command;
    // Cutting a surrogate pair apart would leave a character D-Bus cannot carry.
    const qsizetype length =
        command.at(kEchoLength - 1).isHighSurrogate() ? kEchoLength - 1 : kEchoLength;
    return command.left(length) + QStringLiteral("...");
}

} // namespace

DdeSource::DdeSource(mainform &mw)
    : QObject(&mw)
    , m_mainform(mw)
    , m_server(new DdeServer([this](const QString &command) { return execute(command); }, this))
{
    for (QLineEdit *box :
         {mw.DDEValue(), mw.DDESTRING(), mw.DDESign(), mw.DDEUnit(), mw.DDEDirect()}) {
        const QString name = box->objectName();
        m_server->setItem(name, box->text());
        connect(box, &QLineEdit::textChanged, m_server,
                [server = m_server, name](const QString &text) { server->setItem(name, text); });
    }
}

QString DdeSource::serve()
{
    // The DDE application name: the executable's file name without its extension.
    const QString application =
        QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    const QString failure = m_server->serve(application, QString::fromLatin1(kLinkTopic));
    return failure.isEmpty() ? QString()
                             : QStringLiteral("DDE unavailable to other programs: ") + failure;
}

QString DdeSource::execute(const QString &command)
{
    // A button pressed now would run over the exit's question and closed link.
    if (m_mainform.exitBegun())
        return QStringLiteral("the program is ending: no button is pressed any more");
    bool Cancel = false;
    Form_LinkExecute(m_mainform, command, Cancel);
    if (!Cancel)
        return {};
    return QStringLiteral("\"%1\" presses no button: the commands are the numbers 1 to 16")
        .arg(commandEcho(command));
}

std::optional<int> linkExecuteButton(const QString &CmdStr)
{
    const double n = vb::Val(CmdStr);
    if (!(n > 0 && n <= 16))
        return std::nullopt;
    const int button = int(*vb::CInt(n));
    // Below one half the number rounds to 0, which is no button.
    if (button == 0)
        return std::nullopt;
    return button;
}

void Form_LinkExecute(mainform &mw, const QString &CmdStr, bool &Cancel)
{
    const auto button = linkExecuteButton(CmdStr);
    Cancel = !button;
    if (button)
        QTimer::singleShot(0, &mw, [&mw, index = *button] { mw.Command5_Click(index); });
}
