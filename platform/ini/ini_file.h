#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Profile-string access to INI files with the rules the stored files rely on:
// section and key names match without regard to case; a value is the text after
// the first "=", trimmed of blanks and tabs and then of one pair of enclosing
// double or single quotes (a stored " " reads as one blank); a key present with an
// empty value reads as "", not as the default; at most 199 characters come back.
// Only lines "[section]" and "key=value" count; comments (";") and anything else
// are skipped when reading and kept when writing. Where a section or key occurs
// twice, the first one wins; keys above the first section belong to none.
//
// Files are read as UTF-8 when valid (a BOM is allowed and kept), else as
// Windows-1252, and written back in the encoding they were read in, also when a
// file is replaced whole; new files are UTF-8. A character Windows-1252 lacks is
// written as "?". A NUL byte ends its line for reading; the line is kept as it
// is on writing unless its key is written. A file that is not a regular file or
// cannot be read counts as missing for reading (Snapshot::problem says why) and
// is never rewritten. Writing goes through file_replace (platform/file_replace.h):
// atomic, keeping owner, mode and symbolic links.
namespace ini {

// The profile-string functions read through a 200-character buffer: the longest
// value (counted in UTF-16 code units, as QString counts) that comes back whole.
constexpr qsizetype kMaxValueLength = 199;

// The value of key in section of file, or defaultValue; both capped at kMaxValueLength.
QString readValue(const QString &file, const QString &section, const QString &key,
                  const QString &defaultValue);

// A file read once for many lookups, each with the rules of readValue. A file that
// changes afterwards is not seen: take a new snapshot.
class Snapshot {
public:
    explicit Snapshot(const QString &file);
    QString value(const QString &section, const QString &key, const QString &defaultValue) const;
    // Why a file that exists could not be read ("<file>: Permission denied",
    // "<file>: not a regular file"); empty when it was read or does not exist.
    QString problem() const { return m_problem; }

private:
    QByteArray m_body; // without a BOM
    QString m_problem;
    bool m_loaded = false;
    bool m_cp1252 = false;
};

// Replaces the value of an existing key in place (the line becomes the key as the
// file spells it, "=" and the value), appends a new key after the last key line
// of its section and a new section ("[section]" and the key) at the end of the
// file, creating the file when missing. Every other line stays byte-identical;
// new lines take the file's first line end (CRLF for a new file, which Windows
// users open too). The file is replaced atomically, and not at all when nothing
// changes. Returns false, leaving the file as it was, when it cannot be read or
// written, or when section or key is empty, has a line break, a NUL or outer
// blanks, the section holds "]", the key holds "=" or starts with "[" or ";", or
// the value holds a line break or a NUL; errorText (optional) then says why.
bool writeValue(const QString &file, const QString &section, const QString &key,
                const QString &value, QString *errorText = nullptr);

// Writes many keys in one read-modify-write pass with the same result as writeValue
// for each in the order given. All or nothing: when any entry is refused, nothing
// is written (a missing file is not created) and errorText names the first
// refused entry and why. warningText (optional) says when the file could only be
// rewritten in place, not atomically.
struct Entry {
    QString section;
    QString key;
    QString value;
};
bool writeValues(const QString &file, const QList<Entry> &entries, QString *errorText = nullptr,
                 QString *warningText = nullptr);

// As writeValues, but the file afterwards holds only the entries: of an existing
// file only its encoding, BOM and line end are kept.
bool replaceValues(const QString &file, const QList<Entry> &entries, QString *errorText = nullptr,
                   QString *warningText = nullptr);

} // namespace ini
