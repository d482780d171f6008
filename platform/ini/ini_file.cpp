#include "platform/ini/ini_file.h"

#include "platform/files/file_replace.h"
#include "platform/vb/cp1252.h"

#include <QFile>
#include <QFileInfo>

#include <optional>
#include <vector>

namespace ini {
namespace {

constexpr QByteArrayView kBom("\xEF\xBB\xBF");
// Files we start are exchanged with Windows users, whose editors expect CRLF.
constexpr QByteArrayView kNewFileLineEnd("\r\n");

enum class Encoding { Utf8, Cp1252 };

bool isValidUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        const uchar lead = *p++;
        if (lead < 0x80)
            continue;
        int follow = 0;
        char32_t code = 0;
        char32_t least = 0;
        if ((lead & 0xE0) == 0xC0) {
            follow = 1, code = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            follow = 2, code = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            follow = 3, code = lead & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (end - p < follow)
            return false;
        for (int i = 0; i < follow; ++i, ++p) {
            if ((*p & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (*p & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
    }
    return true;
}

QString decode(QByteArrayView bytes, Encoding encoding)
{
    return encoding == Encoding::Utf8 ? QString::fromUtf8(bytes) : cp1252::decode(bytes);
}

QByteArray encode(QStringView text, Encoding encoding)
{
    return encoding == Encoding::Utf8 ? text.toUtf8() : cp1252::encode(text);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

QByteArrayView unquoted(QByteArrayView value)
{
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == '"' || value.front() == '\''))
        return value.sliced(1, value.size() - 2);
    return value;
}

QString capped(QString text)
{
    if (text.size() > kMaxValueLength) {
        text.truncate(kMaxValueLength);
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

// What one line is to the profile functions. The bytes that matter ([ ] = ; blank
// tab) are ASCII and never part of a multi-byte character in either encoding,
// so lines are classified before decoding.
struct LineSyntax {
    enum Kind { Other, Section, Key } kind = Other;
    QByteArrayView name;
    QByteArrayView value;
};

// A NUL ends the line's text, as it ends the C string a profile reader sees;
// the rest of the line is not read, and kept when the file is written.
LineSyntax classify(QByteArrayView content)
{
    if (const qsizetype nul = content.indexOf('\0'); nul >= 0)
        content.truncate(nul);
    const QByteArrayView text = trimmed(content);
    if (text.startsWith('[')) {
        const qsizetype close = text.indexOf(']');
        if (close < 0)
            return {};
        return {LineSyntax::Section, trimmed(text.sliced(1, close - 1)), {}};
    }
    if (text.startsWith(';'))
        return {};
    const qsizetype equals = text.indexOf('=');
    if (equals < 0)
        return {};
    const QByteArrayView key = trimmed(text.first(equals));
    if (key.isEmpty())
        return {};
    return {LineSyntax::Key, key, trimmed(text.sliced(equals + 1))};
}

// Splits at "\n"; the content keeps a lone "\r" but not the one of a CRLF.
struct RawLine {
    QByteArrayView content;
    QByteArrayView end;
};

class LineReader {
public:
    explicit LineReader(QByteArrayView bytes)
        : m_bytes(bytes)
    {}
    bool next(RawLine &line)
    {
        if (m_pos >= m_bytes.size())
            return false;
        const qsizetype newline = m_bytes.indexOf('\n', m_pos);
        const qsizetype stop = newline < 0 ? m_bytes.size() : newline + 1;
        QByteArrayView whole = m_bytes.sliced(m_pos, stop - m_pos);
        m_pos = stop;
        qsizetype endLength = 0;
        if (whole.endsWith("\r\n"))
            endLength = 2;
        else if (whole.endsWith('\n'))
            endLength = 1;
        line.content = whole.first(whole.size() - endLength);
        line.end = whole.last(endLength);
        return true;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

struct Source {
    QByteArray bytes;
    Encoding encoding = Encoding::Utf8;
    QByteArrayView body() const
    {
        return QByteArrayView(bytes).startsWith(kBom) ? QByteArrayView(bytes).sliced(kBom.size())
                                                      : QByteArrayView(bytes);
    }
};

enum class LoadStatus { Loaded, Missing, Unusable };

// Only regular files are read: a folder, a device or a pipe (which would block)
// counts as unreadable.
LoadStatus load(const QString &file, Source &source, QString *why)
{
    const QFileInfo info(file);
    if (!info.exists()) {
        *why = QStringLiteral("%1: does not exist").arg(file);
        return LoadStatus::Missing;
    }
    QFile in(file);
    if (!info.isFile() || !in.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("%1: %2").arg(
            file, info.isFile() ? in.errorString() : QStringLiteral("not a regular file"));
        return LoadStatus::Unusable;
    }
    source.bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        *why = QStringLiteral("%1: %2").arg(file, in.errorString());
        return LoadStatus::Unusable;
    }
    source.encoding = isValidUtf8(source.bytes) ? Encoding::Utf8 : Encoding::Cp1252;
    return LoadStatus::Loaded;
}

bool sameName(QByteArrayView stored, Encoding encoding, const QString &wanted)
{
    return decode(stored, encoding).compare(wanted, Qt::CaseInsensitive) == 0;
}

// The file as lines, for a read-modify-write pass; untouched lines are written
// back from their original bytes.
struct Line {
    QByteArray content;
    QByteArray end;
    LineSyntax::Kind kind = LineSyntax::Other;
    QString name;
    QByteArray nameBytes;
};

struct Document {
    QByteArray bom;
    std::vector<Line> lines;
    Encoding encoding = Encoding::Utf8;
    QByteArray lineEnd = kNewFileLineEnd.toByteArray();

    void parse(const Source &source)
    {
        encoding = source.encoding;
        if (source.bytes.startsWith(kBom))
            bom = kBom.toByteArray();
        LineReader reader(source.body());
        bool endSeen = false;
        for (RawLine raw; reader.next(raw);) {
            Line line;
            line.content = raw.content.toByteArray();
            line.end = raw.end.toByteArray();
            const LineSyntax syntax = classify(raw.content);
            line.kind = syntax.kind;
            if (syntax.kind != LineSyntax::Other) {
                line.nameBytes = syntax.name.toByteArray();
                line.name = decode(syntax.name, encoding);
            }
            if (!endSeen && !raw.end.isEmpty()) {
                lineEnd = raw.end.toByteArray();
                endSeen = true;
            }
            lines.push_back(std::move(line));
        }
    }

    QByteArray serialized() const
    {
        qsizetype size = bom.size();
        for (const Line &line : lines)
            size += line.content.size() + line.end.size();
        QByteArray bytes;
        bytes.reserve(size);
        bytes += bom;
        for (const Line &line : lines) {
            bytes += line.content;
            bytes += line.end;
        }
        return bytes;
    }

    void insert(std::size_t at, LineSyntax::Kind kind, const QString &name, QByteArray content)
    {
        // A last line without its line end would run into the new one.
        if (at > 0 && at == lines.size() && lines.back().end.isEmpty())
            lines.back().end = lineEnd;
        lines.insert(lines.begin() + qsizetype(at),
                     Line{std::move(content), lineEnd, kind, name, encode(name, encoding)});
    }

    void apply(const Entry &entry)
    {
        const QByteArray value = encode(entry.value, encoding);
        const std::size_t count = lines.size();
        std::size_t section = 0;
        while (section < count && !(lines[section].kind == LineSyntax::Section &&
                                    isSame(lines[section].name, entry.section)))
            ++section;
        if (section == count) {
            insert(count, LineSyntax::Section, entry.section,
                   '[' + encode(entry.section, encoding) + ']');
            insert(count + 1, LineSyntax::Key, entry.key,
                   encode(entry.key, encoding) + '=' + value);
            return;
        }
        std::size_t lastKey = section;
        for (std::size_t i = section + 1; i < count && lines[i].kind != LineSyntax::Section; ++i) {
            if (lines[i].kind != LineSyntax::Key)
                continue;
            if (isSame(lines[i].name, entry.key)) {
                lines[i].content = lines[i].nameBytes + '=' + value;
                return;
            }
            lastKey = i;
        }
        insert(lastKey + 1, LineSyntax::Key, entry.key, encode(entry.key, encoding) + '=' + value);
    }

    static bool isSame(const QString &stored, const QString &wanted)
    {
        return stored.compare(wanted, Qt::CaseInsensitive) == 0;
    }
};

// A line break would split the line; a NUL would end the value on reading.
bool hasBreakingCharacter(const QString &text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
           text.contains(QChar(u'\0'));
}

bool hasOuterBlank(const QString &text)
{
    const auto blank = [](QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t');
    };
    return !text.isEmpty() && (blank(text.front()) || blank(text.back()));
}

// An entry the file could not give back as written is refused rather than
// written wrongly.
QString invalidEntry(const Entry &entry)
{
    const QString where = QStringLiteral("[%1] %2").arg(entry.section, entry.key);
    if (entry.section.isEmpty() || hasBreakingCharacter(entry.section) ||
        hasOuterBlank(entry.section) || entry.section.contains(QLatin1Char(']')))
        return QStringLiteral("%1: invalid section name").arg(where);
    if (entry.key.isEmpty() || hasBreakingCharacter(entry.key) || hasOuterBlank(entry.key) ||
        entry.key.contains(QLatin1Char('=')) || entry.key.startsWith(QLatin1Char('[')) ||
        entry.key.startsWith(QLatin1Char(';')))
        return QStringLiteral("%1: invalid key name").arg(where);
    if (hasBreakingCharacter(entry.value))
        return QStringLiteral("%1: the value holds a line break or a NUL character").arg(where);
    return {};
}

enum class WriteMode { Update, Replace };

bool write(const QString &file, const QList<Entry> &entries, WriteMode mode, QString *errorText,
           QString *warningText)
{
    QString why;
    QString warning;
    const auto report = [&](bool written) {
        if (errorText)
            *errorText = why;
        if (warningText)
            *warningText = warning;
        return written;
    };
    if (entries.isEmpty())
        return report(true);
    for (const Entry &entry : entries) {
        why = invalidEntry(entry);
        if (!why.isEmpty())
            return report(false);
    }
    Source source;
    const LoadStatus status = load(file, source, &why);
    if (status == LoadStatus::Unusable)
        return report(false);
    why.clear();

    Document document;
    if (status == LoadStatus::Loaded) {
        document.parse(source);
        if (mode == WriteMode::Replace)
            document.lines.clear();
    }
    for (const Entry &entry : entries)
        document.apply(entry);
    const QByteArray bytes = document.serialized();
    const bool loaded = status == LoadStatus::Loaded;
    if (loaded && bytes == source.bytes)
        return report(true);
    return report(
        file_replace::writeContent(file, bytes, loaded ? &source.bytes : nullptr, &why, &warning));
}

} // namespace

QString readValue(const QString &file, const QString &section, const QString &key,
                  const QString &defaultValue)
{
    return Snapshot(file).value(section, key, defaultValue);
}

Snapshot::Snapshot(const QString &file)
{
    Source source;
    QString why;
    const LoadStatus status = load(file, source, &why);
    m_loaded = status == LoadStatus::Loaded;
    if (status == LoadStatus::Unusable)
        m_problem = why;
    if (!m_loaded)
        return;
    m_body = source.body().toByteArray();
    m_cp1252 = source.encoding == Encoding::Cp1252;
}

QString Snapshot::value(const QString &section, const QString &key,
                        const QString &defaultValue) const
{
    if (!m_loaded)
        return capped(defaultValue);
    const Encoding encoding = m_cp1252 ? Encoding::Cp1252 : Encoding::Utf8;
    LineReader reader(m_body);
    bool inSection = false;
    for (RawLine raw; reader.next(raw);) {
        const LineSyntax syntax = classify(raw.content);
        if (syntax.kind == LineSyntax::Section) {
            // Only the first section of that name counts.
            if (inSection)
                break;
            inSection = sameName(syntax.name, encoding, section);
        } else if (inSection && syntax.kind == LineSyntax::Key &&
                   sameName(syntax.name, encoding, key)) {
            return capped(decode(unquoted(syntax.value), encoding));
        }
    }
    return capped(defaultValue);
}

bool writeValue(const QString &file, const QString &section, const QString &key,
                const QString &value, QString *errorText)
{
    return writeValues(file, {Entry{section, key, value}}, errorText);
}

bool writeValues(const QString &file, const QList<Entry> &entries, QString *errorText,
                 QString *warningText)
{
    return write(file, entries, WriteMode::Update, errorText, warningText);
}

bool replaceValues(const QString &file, const QList<Entry> &entries, QString *errorText,
                   QString *warningText)
{
    return write(file, entries, WriteMode::Replace, errorText, warningText);
}

} // namespace ini
