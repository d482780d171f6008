#pragma once

#include <QObject>
#include <QString>
#include <optional>

class DdeServer;
class mainform;

// The link topic of the main window, fixed in its design.
inline constexpr char kLinkTopic[] = "Mondrelquist";

// The main window as a DDE source: its item text boxes served under their names
// on the topic "Mondrelquist", and execute commands that press its buttons.
// A child of the window, so the items exist as long as it does.
class DdeSource : public QObject {
    Q_OBJECT
public:
    explicit DdeSource(mainform &mw);

    // Serves the topic under the executable's name; "" when serving, else the
    // status text that says why other programs cannot reach it.
    QString serve();

private:
    // "" when the command pressed a button; else why not. Once the exit has
    // begun every command is refused.
    QString execute(const QString &command);

    mainform &m_mainform;
    DdeServer *m_server;
};

// The button an execute command presses: the number at the start of the text
// ("." as decimal point), when it is above 0 and at most 16, rounded to the
// nearest whole number, a half to the even one; nullopt else, also when it
// rounds to 0 ("0.3", "0.5").
std::optional<int> linkExecuteButton(const QString &CmdStr);

// The window's execute event. Cancel is set when the command presses no button.
// The button is pressed after the caller has returned: the client's answer goes
// out first, and Exit cannot unload the window under the caller.
void Form_LinkExecute(mainform &mw, const QString &CmdStr, bool &Cancel);
