#pragma once

#include <QString>

class App;

// The value Telegramm_lesen returns when the value field holds no number.
constexpr double kKeinZahlwert = -999999.0;

// How many characters the receive buffer keeps beyond the telegram length: far
// more than any telegram and any chunk a link delivers at once, yet a stream
// without a usable end character holds no more than this.
constexpr qsizetype kEmpfangReserve = 64 * 1024;

// Appends received characters to app.strEmpfang. When the buffer grows beyond
// the telegram length (str_len) plus kEmpfangReserve, the oldest characters are
// dropped: framing looks back at most one telegram length from an end character,
// so a telegram still frames as it would in the whole stream. The buffer's
// memory stays within twice that bound, also after a chunk longer than it.
void appendReceived(App &app, QStringView received);

// Receives one telegram from the instrument (serial port or TCP receive buffer),
// shows value, sign and unit in the main window, fills the DDE items DDEValue,
// DDESign and DDEUnit, and returns the signed value. strTelegramm stays as the
// caller preset it ("") when no telegram came. valueIsNumber (optional) is set
// false when the value field of the telegram holds no number (the result is then
// kKeinZahlwert), true otherwise.
//
// The wait yields to the event loop and sleeps until bytes arrive; one deadline
// of app.m_waittime seconds (monotonic) bounds the whole reading. A time-out
// returns 0 and empties the einheit and Vorzeichen captions; a failure (port
// closed, bad template, bad cut, density 0 in volume mode, main window gone or
// the program ending during the wait) returns 0 and leaves everything written so
// far. Called while another reading waits (from an event handler it runs), it
// returns 0 at once and leaves app.strEmpfang alone.
double Telegramm_lesen(App &app, QString &strTelegramm, QString &strEinheit,
                       bool *valueIsNumber = nullptr);
