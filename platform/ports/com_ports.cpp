#include "platform/ports/com_ports.h"

#include "platform/ini/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct FixedRange {
    int first;
    const char *prefix;
};

// Eight ports per device family, in the order of the table in the header.
constexpr FixedRange kFixedRanges[] = {
    {1, "/dev/ttyS"}, {9, "/dev/ttyUSB"}, {17, "/dev/ttyACM"}, {25, "/dev/rfcomm"}};
constexpr int kPortsPerRange = 8;

// Major number of the 8250/16550 "serial" driver's ttyS nodes.
constexpr unsigned kUartMajor = 4;

bool isCharDevice(const QByteArray &path)
{
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

// The serial driver creates ttyS nodes for every possible UART; one that was not
// detected opens and answers tcgetattr, but reports no UART type.
bool isUndetectedUart(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || major(st.st_rdev) != kUartMajor)
        return false;
    serial_struct info{};
    return ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
}

} // namespace

QString comDevicePath(int n, const QString &mondrelquistIni)
{
    if (n < 1)
        return {};
    if (!mondrelquistIni.isEmpty()) {
        const QString mapped = ini::readValue(mondrelquistIni, QStringLiteral("ports"),
                                              QStringLiteral("COM") + QString::number(n), {});
        if (!mapped.isEmpty())
            return QDir(QFileInfo(mondrelquistIni).absolutePath()).absoluteFilePath(mapped);
    }
    for (const FixedRange &range : kFixedRanges) {
        if (n >= range.first && n < range.first + kPortsPerRange)
            return QLatin1String(range.prefix) + QString::number(n - range.first);
    }
    return {};
}

bool comPortExists(int n, const QString &mondrelquistIni)
{
    const QString path = comDevicePath(n, mondrelquistIni);
    if (path.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // EBUSY: held exclusively (TIOCEXCL) by a program that has it open.
        const int err = errno;
        return err == EBUSY || ((err == EACCES || err == EPERM) && isCharDevice(native));
    }
    termios settings{};
    const bool serial = ::isatty(fd) && ::tcgetattr(fd, &settings) == 0 && !isUndetectedUart(fd);
    ::close(fd);
    return serial;
}
