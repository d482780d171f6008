#include "platform/files/file_replace.h"

#include "platform/files/posix_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>

namespace file_replace {
namespace {

// The kernel's own limit on links in a path.
constexpr int kMaxLinks = 40;
constexpr QLatin1StringView kScratchTag(".mq-save-");
constexpr int kScratchSuffixLength = 6;
constexpr QLatin1StringView
    kSuffixCharacters("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

QString failure(const QString &file, const QString &why)
{
    return QStringLiteral("cannot write %1: %2").arg(file, why);
}

// The file that holds the content: a chain of symbolic links followed to its end
// (which need not exist yet).
std::optional<QString> finalTarget(const QString &file)
{
    QString path = QFileInfo(file).absoluteFilePath();
    for (int i = 0; i < kMaxLinks; ++i) {
        const QFileInfo info(path);
        if (!info.isSymLink())
            return path;
        path = info.symLinkTarget();
    }
    errno = ELOOP;
    return std::nullopt;
}

QString scratchName(const QString &target)
{
    QString suffix;
    for (int i = 0; i < kScratchSuffixLength; ++i)
        suffix +=
            kSuffixCharacters[QRandomGenerator::global()->bounded(int(kSuffixCharacters.size()))];
    const QFileInfo info(target);
    return info.dir().filePath(QLatin1Char('.') + info.fileName() + kScratchTag + suffix);
}

// A save holds its scratch file locked while it lives, so a scratch file that
// can be locked was left by a save that died.
void removeStaleScratchFiles(const QString &target)
{
    const QFileInfo info(target);
    const QRegularExpression ours(QStringLiteral("^\\.%1%2[A-Za-z0-9]{%3}$")
                                      .arg(QRegularExpression::escape(info.fileName()),
                                           QRegularExpression::escape(kScratchTag))
                                      .arg(kScratchSuffixLength));
    const QDir dir = info.dir();
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!ours.match(name).hasMatch())
            continue;
        const QByteArray path = nativePath(dir.filePath(name));
        posix::FileDescriptor fd(
            ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (fd.isOpen() && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
    }
}

// Creates a scratch file beside target, locked; new files get 0666 less the umask.
// error is the errno when it could not be created.
posix::FileDescriptor createScratch(const QString &target, QString &scratch, int &error)
{
    error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        scratch = scratchName(target);
        posix::FileDescriptor fd(
            ::open(nativePath(scratch).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.isOpen()) {
            ::flock(fd.get(), LOCK_EX | LOCK_NB);
            return fd;
        }
        error = errno;
    }
    return posix::FileDescriptor();
}

// The replaced file's owner, group and mode go to the new one. Changing the
// owner is for root only, the group for its members: a refusal is no failure.
bool keepAttributes(int fd, const struct stat &old)
{
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
        (void)!::fchown(fd, uid_t(-1), old.st_gid);
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

void syncFolder(const QString &target)
{
    posix::FileDescriptor dir(::open(nativePath(QFileInfo(target).absolutePath()).constData(),
                                     O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.isOpen())
        ::fsync(dir.get());
}

// 0 when the scratch file took the place of target, else the errno that stopped it.
int writeScratch(posix::FileDescriptor &fd, const QString &scratch, const QString &target,
                 const QByteArray &bytes, const struct stat *old)
{
    int error = posix::writeAll(fd.get(), bytes);
    if (error == 0 && old && !keepAttributes(fd.get(), *old))
        error = errno;
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    if (error == 0 && !fd.close())
        error = errno;
    if (error == 0 &&
        ::rename(nativePath(scratch).constData(), nativePath(target).constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(nativePath(scratch).constData());
        return error;
    }
    syncFolder(target);
    return 0;
}

// 0 when the whole content is in the file and synced, else the errno that stopped it.
int overwrite(int fd, const QByteArray &bytes)
{
    if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)
        return errno;
    if (const int error = posix::writeAll(fd, bytes))
        return error;
    return ::fsync(fd) == 0 ? 0 : errno;
}

// The outcome of one write: reason is empty when the file holds the new content.
struct Outcome {
    QString reason;
    QString warning;
};

Outcome writeInPlace(const QString &file, const QString &target, const QByteArray &bytes,
                     const QByteArray *previous, int folderError)
{
    posix::FileDescriptor fd(::open(nativePath(target).constData(), O_WRONLY | O_CLOEXEC));
    if (!fd.isOpen())
        return {posix::reason(folderError), {}};
    if (const int error = overwrite(fd.get(), bytes)) {
        const bool restored = previous && overwrite(fd.get(), *previous) == 0;
        return {posix::reason(error) + (restored ? QStringLiteral(" (the old content was put back)")
                                                 : QStringLiteral(" (the file may be damaged)")),
                {}};
    }
    if (!fd.close())
        return {posix::reason(errno), {}};
    return {{},
            QStringLiteral("%1: written in place, not atomically (the folder refuses new "
                           "files: %2)")
                .arg(file, posix::reason(folderError))};
}

enum class InPlace { Allowed, Refused };

Outcome replace(const QString &file, const QByteArray &bytes, const QByteArray *previous,
                InPlace inPlace)
{
    const std::optional<QString> target = finalTarget(file);
    if (!target)
        return {posix::reason(errno), {}};
    struct stat old {};
    const bool exists = ::stat(nativePath(*target).constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        return {posix::reason(errno), {}};
    if (exists && !S_ISREG(old.st_mode))
        return {QStringLiteral("not a regular file"), {}};
    // A file the user may not write stays so, as on Windows, although the folder
    // would let a new one take its place.
    if (exists && ::faccessat(AT_FDCWD, nativePath(*target).constData(), W_OK, AT_EACCESS) != 0)
        return {posix::reason(errno), {}};

    removeStaleScratchFiles(*target);
    QString scratch;
    int folderError = 0;
    posix::FileDescriptor fd = createScratch(*target, scratch, folderError);
    if (!fd.isOpen()) {
        if (inPlace == InPlace::Allowed && exists &&
            (folderError == EACCES || folderError == EPERM))
            return writeInPlace(file, *target, bytes, previous, folderError);
        return {posix::reason(folderError), {}};
    }
    if (const int error = writeScratch(fd, scratch, *target, bytes, exists ? &old : nullptr))
        return {posix::reason(error), {}};
    return {};
}

} // namespace

bool writeContent(const QString &file, const QByteArray &bytes, const QByteArray *previous,
                  QString *errorText, QString *warningText)
{
    const Outcome outcome = replace(file, bytes, previous, InPlace::Allowed);
    if (!outcome.reason.isEmpty()) {
        *errorText = failure(file, outcome.reason);
        return false;
    }
    if (!outcome.warning.isEmpty())
        *warningText = outcome.warning;
    return true;
}

bool replaceContent(const QString &file, const QByteArray &bytes, QString *reason)
{
    *reason = replace(file, bytes, nullptr, InPlace::Refused).reason;
    return reason->isEmpty();
}

} // namespace file_replace
