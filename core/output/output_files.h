#pragma once

#include <QSet>
#include <QString>
#include <map>
#include <sys/stat.h>
#include <utility>

// The outcome of one append.
struct AppendResult {
    QString error;           // "file: reason"; empty when the line was written whole
    bool newFailure = false; // the file failed now after writing well (or never written before)
    bool ok() const { return error.isEmpty(); }
};

// Appends lines to the program's output files (protocol.txt, the text-file
// target) and remembers what it learnt about them.
//
// A line is written whole or not at all: after a short write (disk full, file
// size limit) the file is cut back to its old length, so the next value never
// joins a cut-off one. A new or empty file is written in UTF-8; an existing one
// keeps its encoding, UTF-8 when it starts with a BOM or is valid UTF-8, else
// Windows-1252 (a character that code page lacks becomes "?"), so a file a
// Windows program started is not mixed. The verdict is remembered per file
// (device and inode) with its size and change time after our append, and the
// file is read again only when another program changed it since.
class OutputFiles {
public:
    // Appends text and CR LF to file (created when missing), in the file's encoding.
    AppendResult appendLine(const QString &file, const QString &text);

private:
    struct Verdict {
        off_t size = 0;
        qint64 changedNs = 0;
        bool cp1252 = false;
    };

    QString writeLine(const QString &file, const QString &text);
    bool isCp1252(int fd, const struct stat &info);
    void remember(int fd, bool cp1252);

    std::map<std::pair<dev_t, ino_t>, Verdict> m_verdicts;
    QSet<QString> m_failing; // absolute paths whose last append failed
};

// Makes a write past the file size limit (RLIMIT_FSIZE) fail with EFBIG, reported
// like any failed write, instead of SIGXFSZ ending the program. Call once at start.
void ignoreFileSizeLimitSignal();
