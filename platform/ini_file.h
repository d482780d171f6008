#pragma once

#include <QString>

// Profile-string access to INI files with the rules the stored files rely on:
// section and key names match without regard to case; a value is trimmed of
// blanks and of one pair of enclosing double or single quotes; a key present
// with an empty value reads as "", not as the default; at most 199 characters
// come back. Files are read as UTF-8 when valid, else as Windows-1252, and
// written back in the encoding they were read in (new files UTF-8). A file that
// is binary (holds NUL bytes) or cannot be read counts as missing.
namespace ini {

// The value of key in section of file, or defaultValue; both capped at 199 characters.
QString readValue(const QString &file, const QString &section, const QString &key,
                  const QString &defaultValue);

// Replaces the value of an existing key in place, appends a new key at the end of
// its section and a new section at the end of the file, creating the file when
// missing. Every other line stays byte-identical, line ends (CRLF or LF) are kept.
// The file is replaced atomically. Returns false when the file could not be
// written, and leaves it as it was; errorText (optional) then says why.
bool writeValue(const QString &file, const QString &section, const QString &key,
                const QString &value, QString *errorText = nullptr);

// Writes many keys in one pass with the rules of writeValue, in the order given.
struct Entry {
    QString section;
    QString key;
    QString value;
};
bool writeValues(const QString &file, const QList<Entry> &entries, QString *errorText = nullptr);

} // namespace ini
