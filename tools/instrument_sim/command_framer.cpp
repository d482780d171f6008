#include "command_framer.h"

namespace {
// Garbage without a line end must not grow the buffer without bound.
constexpr qsizetype kMaxCommandLength = 256;
constexpr char kEsc = 0x1b;
} // namespace

QList<QByteArray> CommandFramer::feed(const QByteArray &bytes)
{
    QList<QByteArray> commands;
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            QByteArray text = m_pending;
            m_pending.clear();
            if (text.startsWith(kEsc))
                text.remove(0, 1);
            if (!text.isEmpty())
                commands.append(text);
        } else if (m_pending.size() < kMaxCommandLength) {
            m_pending += c;
        }
    }
    return commands;
}
