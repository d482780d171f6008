#include "dialogs/select_textfile.h"

#include "core/app.h"

select_TextFile::select_TextFile(App &app, QWidget *parent)
    : FilePage(app,
               {QStringLiteral("select_TextFile"), QStringLiteral("Text-Datei auswählen"),
                QString(), QStringLiteral("txtTextFile"), QStringLiteral("Text-Datei"),
                QStringLiteral("Text-Dateien (*.txt);;Text- und Einstellungsdateien (*.txt "
                               "*.cfg);;Alle Dateien (*)")},
               parent)
{}

void select_TextFile::store()
{
    m_app.settings.TextFile = path();
}

void select_TextFile::unloadSelf()
{
    m_app.unload<select_TextFile>();
}
