#pragma once

#include <QList>
#include <QString>
#include <array>

// The settings record: one field per key of the settings file, named as the key.
// Text fields hold the value as read from the file; readers convert where they use it.
struct SettingsRecord {
    // "Port settings"
    QString baud;
    QString parity;
    QString handshake;
    QString databit;
    QString stopbit;
    QString portnum;
    QString tcpip;
    QString tcpport;

    // "Anwendung"
    QString anwendung;
    QString format;
    QString ExcelFile;
    QString TextFile;
    QString AccessFile;
    QString AccessTable;

    // "Mode", "Intervall", "Entlastung", "Stillstand"
    QString modus;
    QString prot;
    QString int_modus;
    QString anz_mess;
    QString d_start;
    QString d_end;
    QString t_start;
    QString t_end;
    QString activ;
    QString int_std;
    QString int_min;
    QString int_sek;
    QString entlastung;
    QString stillstand;

    // "Filter", "Dezimaltrennzeichen"
    QString OTG;
    QString UTG;
    QString TRZ;

    // "Gauge": the telegram template
    QString str_len;
    QString str_endchar;
    QString str_noend;
    qint16 mw_start = 0;
    qint16 mw_end = 0;
    qint16 mw_sign_anf = 0;
    qint16 mw_sign_end = 0;
    qint16 eh_start = 0;
    qint16 eh_end = 0;
    qint16 mw_still_anf = 0;
    qint16 mw_still_end = 0;
    std::array<qint16, 12> ID_anf{}; // fields 1..10 used
    std::array<qint16, 12> ID_end{};
    QString st_kennung;

    // "DDECONN"
    QString anwend;
    QString topic;
    QString befehl;

    // "anzeige"
    QString anzeigemodus;
    double st_dichte = 0.0;

    // "Hotkeys": rows 0..8, columns 0..4 (rows 0..7 stored; columns 1..3 key names, 4 kept).
    std::array<std::array<QString, 5>, 9> Hotkeys{};
    // "Action": rows 0..8, columns 0..6 (rows 0..7 stored; 1..3 key names, 4 command,
    // 5 button caption, 6 send-result flag).
    std::array<std::array<QString, 7>, 9> Action{};

    // "applicationList": row i column 1 a window-title text, column 2 a program file.
    QList<std::array<QString, 3>> AppList;
};
