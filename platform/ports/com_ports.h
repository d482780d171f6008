#pragma once

#include <QString>

// COM port numbers as the settings store them, mapped to Linux serial devices.
//
// Section "ports" of mondrelquist.ini comes first: key "COM<n>" names any device
// path (a USB adapter, a socat pty link, ...); a relative path is taken from the
// folder of mondrelquist.ini. Without such a key the fixed table applies:
// COM1..8 = /dev/ttyS0..7, COM9..16 = /dev/ttyUSB0..7, COM17..24 = /dev/ttyACM0..7,
// COM25..32 = /dev/rfcomm0..7.

// The device path of COM n, or "" when n has no mapping (no such port).
QString comDevicePath(int n, const QString &mondrelquistIni);

// True when the device of COM n exists and is a serial device: it opens as a
// terminal and its line settings can be read; it is closed again at once. A
// device that is in use (busy) or that this user may not open counts as existing,
// so an open port is still found and opening it reports why it fails. A
// /dev/ttyS node whose UART the kernel did not detect counts as missing. The
// probe opens the device, which on a real port may toggle the modem lines.
bool comPortExists(int n, const QString &mondrelquistIni);
