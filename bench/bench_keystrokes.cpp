// Types into a Qt line edit of a separate process (this program started with
// --target) on the current X display, through SendKeysEx and the XTest
// keyboard, and prints characters per second and whether the text arrived
// exactly:
//  - a 200-character ASCII value string, with Caps Lock off and on;
//  - a string with 10 characters the US layout lacks, with Caps Lock off and
//    on, and once per settle time of the spare keys (how long they stay
//    mapped after the last key).
// Run it on a display of its own: tests/support/run_on_private_display bench_keystrokes
// Usage: bench_keystrokes [rounds per figure (default 5)]

#include "core/delivery/send_keys.h"
#include "platform/x11/keyboard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <unistd.h>

// X11 last: its macros (None, Bool, Status) break Qt headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

// The target: a line edit that reports every change of its text on stdout
// and empties itself on a line "clear" on stdin.
int runTarget(QApplication &app)
{
    QLineEdit edit;
    edit.setMinimumWidth(900);
    QObject::connect(&edit, &QLineEdit::textChanged, [](const QString &text) {
        std::printf("text %s\n", text.toUtf8().toHex().constData());
        std::fflush(stdout);
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[64];
        if (!std::fgets(line, sizeof line, stdin))
            app.quit();
        edit.clear();
        std::printf("cleared\n");
        std::fflush(stdout);
    });
    QObject::connect(&app, &QApplication::focusChanged, [&](QWidget *, QWidget *now) {
        if (now == &edit) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    });
    edit.show();
    edit.activateWindow();
    return app.exec();
}

class Target {
public:
    explicit Target(const QString &program)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { readLines(); });
        m_process.start(program, {QStringLiteral("--target")});
    }
    ~Target()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(3000);
    }

    bool waitFor(const std::function<bool()> &done, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < timeoutMs) {
            QEventLoop loop;
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
            QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &loop,
                             &QEventLoop::quit);
            loop.exec();
        }
        return done();
    }
    bool ready(int timeoutMs)
    {
        return waitFor([this] { return m_ready; }, timeoutMs);
    }
    bool clear()
    {
        m_cleared = false;
        m_process.write("clear\n");
        return waitFor([this] { return m_cleared; }, 5000);
    }
    QString text() const { return m_text; }

private:
    void readLines()
    {
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line == "ready") {
                m_ready = true;
            } else if (line == "cleared") {
                m_text.clear();
                m_cleared = true;
            } else if (line.startsWith("text ")) {
                m_text = QString::fromUtf8(QByteArray::fromHex(line.mid(5)));
            }
        }
    }

    QProcess m_process;
    bool m_ready = false;
    bool m_cleared = false;
    QString m_text;
};

struct Figure {
    double charactersPerSecond = 0;
    int exact = 0;
};

// Types text rounds times; the time runs until the target shows the whole text.
Figure measure(Target &target, Keyboard &keyboard, const QString &text, int rounds)
{
    Figure figure;
    qint64 totalMs = 0;
    for (int round = 0; round < rounds; ++round) {
        if (!target.clear())
            break;
        QElapsedTimer timer;
        timer.start();
        const KeyboardStatus status = SendKeysEx(keyboard, text);
        const bool arrived = status && target.waitFor([&] { return target.text() == text; }, 3000);
        totalMs += timer.elapsed();
        if (arrived)
            ++figure.exact;
        else
            std::printf("    round %d: got \"%s\" %s\n", round + 1, qPrintable(target.text()),
                        qPrintable(status.error));
    }
    figure.charactersPerSecond = totalMs > 0 ? 1000.0 * text.size() * rounds / totalMs : 0;
    return figure;
}

void print(const char *what, const Figure &figure, int rounds)
{
    std::printf("%-44s %8.0f chars/s  exact %d/%d\n", what, figure.charactersPerSecond,
                figure.exact, rounds);
}

// Locks or unlocks Caps Lock as its key would; false when the display would not.
bool setCapsLock(bool on)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const unsigned int lock = XkbKeysymToModifiers(display, XK_Caps_Lock);
    XkbLockModifiers(display, XkbUseCoreKbd, lock, on ? lock : 0);
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    XCloseDisplay(display);
    return lock != 0 && ((state.locked_mods & lock) != 0) == on;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--target")))
        return runTarget(app);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    Target target(app.applicationFilePath());
    if (!target.ready(10000)) {
        std::fprintf(stderr, "the target window did not get the focus\n");
        return 1;
    }
    QString ascii;
    while (ascii.size() < 200)
        ascii += QStringLiteral("ID%1 %2 mg/L; ").arg(ascii.size() % 97).arg(ascii.size() * 0.25);
    ascii.truncate(200);
    const QString foreign = QString::fromUtf8("12,5 \xC2\xB5g \xC3\xA4\xC3\xB6\xC3\xBC "
                                              "\xC3\x84\xC3\x9F \xE2\x82\xAC\xCE\xA9 "
                                              "\xC2\xB0"
                                              "C \xC2\xB1"
                                              "0,1");
    std::printf("ASCII string: %lld characters; foreign string: %lld characters, 10 off the "
                "layout\n",
                qlonglong(ascii.size()), qlonglong(foreign.size()));

    X11Keyboard keyboard;
    if (!keyboard.available()) {
        std::fprintf(stderr, "%s\n", qPrintable(keyboard.available().error));
        return 1;
    }
    print("ASCII, 200 characters", measure(target, keyboard, ascii, rounds), rounds);
    print("foreign, default settle time", measure(target, keyboard, foreign, rounds), rounds);
    if (!setCapsLock(true)) {
        std::fprintf(stderr, "Caps Lock cannot be locked\n");
        return 1;
    }
    print("ASCII, 200 characters, Caps Lock on", measure(target, keyboard, ascii, rounds), rounds);
    print("foreign, default settle time, Caps Lock on", measure(target, keyboard, foreign, rounds),
          rounds);
    setCapsLock(false);
    for (const int settleMs : {0, 1, 2, 5, 10, 20, 50}) {
        X11Keyboard tuned({}, std::chrono::milliseconds(settleMs));
        const QByteArray what = "foreign, settle " + QByteArray::number(settleMs) + " ms";
        print(what.constData(), measure(target, tuned, foreign, rounds), rounds);
    }
    return 0;
}
