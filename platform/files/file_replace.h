#pragma once

#include <QByteArray>
#include <QString>

// Gives a file new content so that it is either wholly old or wholly new, and
// stays the file it was:
// - the bytes go into a scratch file ".<name>.mq-save-XXXXXX" beside the file,
//   which is synced and renamed over it;
// - a symbolic link is followed to its final target, which is replaced; the link
//   stays a link;
// - a replaced file keeps its mode bits exactly and, where the user may set them,
//   its owner and group; a new file gets 0666 less the umask; a file the user
//   may not write is refused, although the folder may let a new one replace it;
// - when the folder refuses new files but the file itself is writable, the file
//   is rewritten in place (truncated, written, synced) and warningText says so;
//   should that write fail, previous (when given) is written back;
// - scratch files of the same file name that a crashed save left behind are
//   removed first; a scratch file that a running save holds locked, and any other
//   file, is never touched.
// Returns false with errorText ("cannot write <file>: <reason>") when the file
// could not be written; it is then as it was (after a failed in-place write, as
// far as previous could be written back; errorText says whether it was).
namespace file_replace {

bool writeContent(const QString &file, const QByteArray &bytes, const QByteArray *previous,
                  QString *errorText, QString *warningText);

// The same, but only ever through the scratch file: when the folder refuses one,
// the file is left as it was. For files that a write cut off half-way would
// destroy. Returns false with reason (the system's text, without the file name)
// when the file could not be replaced; it is then as it was.
bool replaceContent(const QString &file, const QByteArray &bytes, QString *reason);

} // namespace file_replace
