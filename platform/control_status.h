#pragma once

#include <QString>

// Outcome of a property or method of the serial and socket layers, in the terms
// of the controls they stand in for: error 0 is success, any other number is the
// control's run-time error number with its text, which callers show as the
// runtime's error text.
struct ControlStatus {
    int error = 0;
    QString errorText;
    // What the system said (device path, errno text); for logs, not for users.
    QString detail;

    bool ok() const { return error == 0; }
    explicit operator bool() const { return ok(); }

    static ControlStatus failure(int error, const QString &errorText, const QString &detail = {})
    {
        return {error, errorText, detail};
    }
};
