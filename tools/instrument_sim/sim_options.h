#pragma once

#include "reading.h"

#include <QList>
#include <QString>
#include <QStringList>

class QCoreApplication;

// What the simulated balance is told on its command line.
struct SimOptions {
    enum class Trigger { EachStdinValue, Rate, OnRequest };

    QString ptyLink;  // --pty: path of the symlink to the pty slave
    int tcpPort = -1; // --tcp: port on 127.0.0.1, 0 = chosen by the system
    Trigger trigger = Trigger::Rate;
    double rateHz = 5;
    bool stdinValues = false;
    QList<Reading> values; // cycled when not reading values from stdin
    TelegramStyle style;
    int count = 0; // 0: no limit
    int paceBaud = 0;
    bool verbose = false;
};

// Parses the command line; --help and --version print and exit here. Returns false with
// *error set when the options do not make sense.
bool parseSimOptions(const QCoreApplication &app, SimOptions *options, QString *error);
