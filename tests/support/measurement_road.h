#pragma once

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/settings/settings.h"
#include "tests/support/tcp_instrument.h"

#include <QDir>
#include <QFile>

// Default settings (the telegram layout of defaultTelegram) with the German token
// texts ("{Messwert}{TAB}{Einheit}" to werte.txt), every other language text its
// own name, online over a local TCP port. T is TestApp or TimedTestApp.
template <typename T>
bool prepareTextFileRoad(T &t, TcpInstrument &instrument, const QString &modus)
{
    readSettingsRecord(t.app, QString());
    SettingsRecord &s = t.app.settings;
    s.modus = modus;
    s.stillstand = QStringLiteral("False");
    s.entlastung = QStringLiteral("False");
    s.anwendung = QStringLiteral("Text-Datei");
    s.TextFile = t.path(QStringLiteral("werte.txt"));
    s.format = QStringLiteral("{Messwert}{TAB}{Einheit}");
    LanguageTexts &x = t.app.texts;
    for (const QString &key : LanguageTexts::keys())
        *x.text(key) = key;
    x.TextMesswert = QStringLiteral("Messwert");
    x.TextEinheit = QStringLiteral("Einheit");
    x.TextID_1 = QStringLiteral("ID_1");
    t.app.m_waittime = 0.5;
    QDir::setCurrent(t.folder.path());
    return instrument.connect(t.app);
}

// One tick while the instrument sends bytes.
inline void tickWith(mainform &mw, TcpInstrument &instrument, const QByteArray &bytes)
{
    instrument.sendLater(bytes);
    mw.Timer1_Timer();
}
