#include "core/ipc/dde_source.h"

#include "core/mainform/mainform.h"
#include "platform/dbus/dde_bus.h"
#include "platform/vb/vb_runtime.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>

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
    bool Cancel = false;
    Form_LinkExecute(m_mainform, command, Cancel);
    if (!Cancel)
        return {};
    return QStringLiteral("\"%1\" presses no button: the commands are the numbers 1 to 16")
        .arg(command);
}

std::optional<int> linkExecuteButton(const QString &CmdStr)
{
    const double n = vb::Val(CmdStr);
    if (!(n > 0 && n <= 16))
        return std::nullopt;
    return int(*vb::CInt(n));
}

void Form_LinkExecute(mainform &mw, const QString &CmdStr, bool &Cancel)
{
    const auto button = linkExecuteButton(CmdStr);
    Cancel = !button;
    if (button)
        QTimer::singleShot(0, &mw, [&mw, index = *button] { mw.Command5_Click(index); });
}
