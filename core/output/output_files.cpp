#include "core/output/output_files.h"

#include "platform/files/posix_file.h"
#include "platform/vb/cp1252.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

using posix::FileDescriptor;
using posix::reason;
using posix::writeAll;

constexpr qsizetype kChunk = 64 * 1024;
constexpr QByteArrayView kBom("\xEF\xBB\xBF");

qint64 changeTimeNs(const struct stat &info)
{
    return qint64(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
}

ssize_t readAt(int fd, char *data, qsizetype size, off_t offset)
{
    ssize_t n;
    do
        n = ::pread(fd, data, size_t(size), offset);
    while (n < 0 && errno == EINTR);
    return n;
}

// The bytes at the end of chunk that begin a UTF-8 sequence the chunk cuts off.
qsizetype cutSequenceLength(QByteArrayView chunk)
{
    for (qsizetype back = 1; back <= 3 && back <= chunk.size(); ++back) {
        const auto byte = uchar(chunk[chunk.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

// Reads the whole file in chunks: true when it is not valid UTF-8 (and has no
// BOM). A file we may not read counts as UTF-8.
bool holdsCp1252(int fd)
{
    QByteArray buffer(kChunk, Qt::Uninitialized);
    qsizetype kept = 0; // a sequence the previous chunk cut off
    off_t offset = 0;
    for (;;) {
        const ssize_t n = readAt(fd, buffer.data() + kept, kChunk - kept, offset);
        if (n <= 0)
            return kept > 0; // a sequence cut off by the end of the file is invalid
        const QByteArrayView bytes(buffer.constData(), kept + n);
        if (offset == 0 && bytes.startsWith(kBom))
            return false;
        offset += n;
        kept = cutSequenceLength(bytes);
        if (!bytes.chopped(kept).isValidUtf8())
            return true;
        std::memmove(buffer.data(), bytes.data() + bytes.size() - kept, size_t(kept));
    }
}

} // namespace

AppendResult OutputFiles::appendLine(const QString &file, const QString &text)
{
    const QString why = writeLine(file, text);
    const QString path = QFileInfo(file).absoluteFilePath();
    if (why.isEmpty()) {
        m_failing.remove(path);
        return {};
    }
    const bool first = !m_failing.contains(path);
    m_failing.insert(path);
    return {file + QStringLiteral(": ") + why, first};
}

// Writes one line; returns why it failed, empty when written.
QString OutputFiles::writeLine(const QString &file, const QString &text)
{
    const QByteArray name = QFile::encodeName(file);
    constexpr int kFlags = O_APPEND | O_CREAT | O_CLOEXEC;
    int fd = ::open(name.constData(), O_RDWR | kFlags, 0666);
    if (fd < 0 && errno == EACCES) // may append but not read: the encoding stays unknown
        fd = ::open(name.constData(), O_WRONLY | kFlags, 0666);
    if (fd < 0)
        return reason(errno);
    FileDescriptor out(fd);
    struct stat before {};
    if (::fstat(fd, &before) != 0)
        return reason(errno);

    const bool cp1252 = isCp1252(fd, before);
    const QString line = text + QStringLiteral("\r\n");
    const QByteArray bytes = cp1252 ? cp1252::encode(line) : line.toUtf8();
    if (const int error = writeAll(fd, bytes)) {
        // A cut-off line would join the next value once there is room again.
        if (::ftruncate(fd, before.st_size) != 0)
            return reason(error) + QStringLiteral("; the cut-off line stays: ") + reason(errno);
        return reason(error);
    }
    remember(fd, cp1252);
    if (!out.close())
        return reason(errno);
    return {};
}

bool OutputFiles::isCp1252(int fd, const struct stat &info)
{
    if (info.st_size == 0)
        return false;
    const auto known = m_verdicts.find({info.st_dev, info.st_ino});
    if (known != m_verdicts.end() && known->second.size == info.st_size &&
        known->second.changedNs == changeTimeNs(info))
        return known->second.cp1252;
    return holdsCp1252(fd);
}

void OutputFiles::remember(int fd, bool cp1252)
{
    struct stat after {};
    if (::fstat(fd, &after) == 0)
        m_verdicts[{after.st_dev, after.st_ino}] = {after.st_size, changeTimeNs(after), cp1252};
}

void ignoreFileSizeLimitSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}
