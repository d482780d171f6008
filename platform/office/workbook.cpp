#include "platform/office/workbook.h"

#include "platform/files/posix_file.h"
#include "platform/office/cell_number.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace {

struct ZipDiscard {
    void operator()(zip_t *zip) const { zip_discard(zip); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipDiscard>;

struct ZipFileClose {
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};

ControlStatus failure(const QString &file, const QString &reason)
{
    return ControlStatus::failure(Workbook::kError, QStringLiteral("%1: %2").arg(file, reason));
}

QString zipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

// What tells one version of a file from the next: libzip saves by renaming a
// new file over it, and other programs rewrite it.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    uid_t owner = 0;
    gid_t group = 0;

    static std::optional<FileIdentity> of(const QString &file)
    {
        struct stat st;
        if (::stat(QFile::encodeName(file).constData(), &st) != 0)
            return std::nullopt;
        return FileIdentity{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_uid, st.st_gid};
    }
    bool sameVersion(const FileIdentity &o) const
    {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

std::optional<QByteArray> readEntry(zip_t *zip, const QString &name)
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(zip, name.toUtf8().constData(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
        return std::nullopt;
    std::unique_ptr<zip_file_t, ZipFileClose> entry(zip_fopen_index(zip, st.index, 0));
    if (!entry)
        return std::nullopt;
    QByteArray bytes(qsizetype(st.size), Qt::Uninitialized);
    if (zip_fread(entry.get(), bytes.data(), st.size) != zip_int64_t(st.size))
        return std::nullopt;
    return bytes;
}

// The mode bits, not access(): root may write anything, and rename() ignores them.
bool isReadOnly(const QByteArray &path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// The lock file LibreOffice or Excel keeps beside a workbook it has open, "" when
// there is none: saving now would be lost when that program saves its copy.
QString lockFileOf(const QString &workbook)
{
    const QFileInfo info(workbook);
    for (const QString &lock : {QStringLiteral(".~lock.%1#"), QStringLiteral("~$%1")}) {
        const QString name = lock.arg(info.fileName());
        if (QFileInfo::exists(info.dir().filePath(name)))
            return name;
    }
    return {};
}

bool parse(pugi::xml_document &doc, const QByteArray &bytes)
{
    // Comments, processing instructions and whitespace are kept, so a rewritten
    // sheet differs from the stored one only where cells changed.
    return bool(doc.load_buffer(bytes.constData(), size_t(bytes.size()),
                                pugi::parse_full | pugi::parse_ws_pcdata));
}

// Element names compare without their namespace prefix ("x:c" is "c").
bool hasLocalName(const pugi::xml_node &node, const char *local)
{
    const char *name = node.name();
    const char *colon = std::strchr(name, ':');
    return std::strcmp(colon ? colon + 1 : name, local) == 0;
}

template <typename Visit>
void forEachChild(const pugi::xml_node &parent, const char *name, Visit visit)
{
    for (pugi::xml_node child : parent.children())
        if (child.type() == pugi::node_element && hasLocalName(child, name))
            visit(child);
}

pugi::xml_node firstChild(const pugi::xml_node &parent, const char *name)
{
    pugi::xml_node found;
    forEachChild(parent, name, [&](pugi::xml_node child) {
        if (!found)
            found = child;
    });
    return found;
}

QString text(const pugi::xml_node &node)
{
    return QString::fromUtf8(node.text().get());
}

// A relationship's target as an entry name: absolute from the package root, or
// relative to the folder of the part that holds the relationship.
QString entryName(const QString &partFolder, const QString &target)
{
    if (target.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(target.mid(1));
    return QDir::cleanPath(partFolder.isEmpty() ? target : partFolder + QLatin1Char('/') + target);
}

QString folderOf(const QString &part)
{
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : part.left(slash);
}

QString relsOf(const QString &part)
{
    const QString folder = folderOf(part);
    const QString name = part.mid(part.lastIndexOf(QLatin1Char('/')) + 1);
    return (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + QStringLiteral("_rels/") +
           name + QStringLiteral(".rels");
}

// The targets of a part's relationships, by id and by type.
struct Relationships {
    std::map<QString, QString> byId;
    std::map<QString, QString> byType; // type's last path segment, first one wins

    static Relationships of(zip_t *zip, const QString &part)
    {
        Relationships rels;
        pugi::xml_document doc;
        const std::optional<QByteArray> bytes = readEntry(zip, relsOf(part));
        if (!bytes || !parse(doc, *bytes))
            return rels;
        forEachChild(doc.document_element(), "Relationship", [&](pugi::xml_node r) {
            const QString target = entryName(folderOf(part), r.attribute("Target").value());
            const QString type = QString::fromUtf8(r.attribute("Type").value());
            rels.byId.emplace(QString::fromUtf8(r.attribute("Id").value()), target);
            rels.byType.emplace(type.mid(type.lastIndexOf(QLatin1Char('/')) + 1), target);
        });
        return rels;
    }
};

// Excel keeps characters XML cannot hold as _xHHHH_, and a literal "_xHHHH_" as
// "_x005F_xHHHH_".
bool isEscapeAt(const QString &s, qsizetype i)
{
    if (i + 7 > s.size() || s[i] != QLatin1Char('_') || s[i + 1] != QLatin1Char('x') ||
        s[i + 6] != QLatin1Char('_'))
        return false;
    for (qsizetype k = i + 2; k < i + 6; ++k)
        if (!isxdigit(s[k].toLatin1()))
            return false;
    return true;
}

QString unescaped(const QString &s)
{
    if (!s.contains(QLatin1String("_x")))
        return s;
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (isEscapeAt(s, i)) {
            out += QChar(s.mid(i + 2, 4).toUShort(nullptr, 16));
            i += 6;
        } else {
            out += s[i];
        }
    }
    return out;
}

QString escaped(const QString &s)
{
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        const bool forbidden = (c < 0x20 && c != u'\t' && c != u'\n') || c == 0xFFFE || c == 0xFFFF;
        if (forbidden || isEscapeAt(s, i))
            out += QStringLiteral("_x") + QString::number(c, 16).toUpper().rightJustified(4, u'0') +
                   QLatin1Char('_');
        else
            out += s[i];
    }
    return out;
}

// A string item (<is> or <si>): one <t>, or runs of rich text.
QString stringItem(const pugi::xml_node &item)
{
    if (const pugi::xml_node t = firstChild(item, "t"))
        return unescaped(text(t));
    QString joined;
    forEachChild(item, "r", [&](pugi::xml_node run) { joined += text(firstChild(run, "t")); });
    return unescaped(joined);
}

// Column number of a reference such as "AB12"; 0 when it has no letters.
int columnOf(const char *ref)
{
    int column = 0;
    for (; *ref >= 'A' && *ref <= 'Z'; ++ref)
        column = column * 26 + (*ref - 'A' + 1);
    return column;
}

int rowOf(const char *ref)
{
    while (*ref >= 'A' && *ref <= 'Z')
        ++ref;
    return std::atoi(ref);
}

QString columnName(int column)
{
    QString name;
    for (; column > 0; column = (column - 1) / 26)
        name.prepend(QChar(u'A' + (column - 1) % 26));
    return name;
}

QByteArray reference(int row, int column)
{
    return (columnName(column) + QString::number(row)).toLatin1();
}

struct ByteWriter final : pugi::xml_writer {
    QByteArray &out;
    explicit ByteWriter(QByteArray &o)
        : out(o)
    {}
    void write(const void *data, size_t size) override
    {
        out.append(static_cast<const char *>(data), qsizetype(size));
    }
};

} // namespace

struct Workbook::Impl {
    QString named; // as given, maybe a link: other programs lock it by that name
    QString file;
    FileIdentity opened;
    ZipArchive zip;
    zip_uint64_t sheetIndex = 0;
    pugi::xml_document sheet;
    QByteArray prefix; // namespace prefix of the sheet's elements, "x:" or ""
    pugi::xml_node sheetData;
    std::map<int, pugi::xml_node> rows;
    QStringList sharedStrings;
    QByteArray written; // libzip reads it during zip_close

    QString load(const QString &sheetName);
    void loadSharedStrings(const Relationships &rels);
    void indexRows();
    pugi::xml_node cellNode(int row, int column) const;
    pugi::xml_node rowForWriting(int row);
    pugi::xml_node cellForWriting(pugi::xml_node rowNode, int row, int column);
    void extendDimension(int row, int column);
    QByteArray name(const char *local) const { return prefix + local; }
};

// Finds and parses the sheet; returns why it failed, empty when it did not.
QString Workbook::Impl::load(const QString &sheetName)
{
    const Relationships package = Relationships::of(zip.get(), QString());
    const auto document = package.byType.find(QStringLiteral("officeDocument"));
    const QString workbookPart =
        document != package.byType.end() ? document->second : QStringLiteral("xl/workbook.xml");
    pugi::xml_document workbook;
    const std::optional<QByteArray> workbookXml = readEntry(zip.get(), workbookPart);
    if (!workbookXml || !parse(workbook, *workbookXml))
        return QStringLiteral("not a workbook (no readable %1)").arg(workbookPart);

    const Relationships rels = Relationships::of(zip.get(), workbookPart);
    QString sheetPart;
    forEachChild(firstChild(workbook.document_element(), "sheets"), "sheet", [&](pugi::xml_node s) {
        const QString name = QString::fromUtf8(s.attribute("name").value());
        if (!sheetPart.isEmpty() || name.compare(sheetName, Qt::CaseInsensitive) != 0)
            return;
        for (pugi::xml_attribute a : s.attributes())
            if (QByteArray(a.name()).endsWith(":id")) {
                const auto target = rels.byId.find(QString::fromUtf8(a.value()));
                if (target != rels.byId.end())
                    sheetPart = target->second;
            }
    });
    if (sheetPart.isEmpty())
        return QStringLiteral("no sheet named \"%1\"").arg(sheetName);

    const zip_int64_t index = zip_name_locate(zip.get(), sheetPart.toUtf8().constData(), 0);
    const std::optional<QByteArray> sheetXml = readEntry(zip.get(), sheetPart);
    if (index < 0 || !sheetXml || !parse(sheet, *sheetXml))
        return QStringLiteral("sheet \"%1\" is unreadable").arg(sheetName);
    sheetIndex = zip_uint64_t(index);

    const QByteArray rootName = sheet.document_element().name();
    prefix = rootName.left(rootName.indexOf(':') + 1);
    sheetData = firstChild(sheet.document_element(), "sheetData");
    if (!sheetData)
        return QStringLiteral("sheet \"%1\" has no cell table").arg(sheetName);
    loadSharedStrings(rels);
    indexRows();
    return {};
}

void Workbook::Impl::loadSharedStrings(const Relationships &rels)
{
    const auto part = rels.byType.find(QStringLiteral("sharedStrings"));
    pugi::xml_document doc;
    std::optional<QByteArray> bytes;
    if (part == rels.byType.end() || !(bytes = readEntry(zip.get(), part->second)) ||
        !parse(doc, *bytes))
        return;
    forEachChild(doc.document_element(), "si",
                 [&](pugi::xml_node si) { sharedStrings.append(stringItem(si)); });
}

void Workbook::Impl::indexRows()
{
    int row = 0;
    forEachChild(sheetData, "row", [&](pugi::xml_node r) {
        const int given = r.attribute("r").as_int();
        row = given > 0 ? given : row + 1;
        rows.emplace(row, r);
    });
}

pugi::xml_node Workbook::Impl::cellNode(int row, int column) const
{
    const auto r = rows.find(row);
    if (r == rows.end())
        return {};
    pugi::xml_node found;
    int at = 0;
    forEachChild(r->second, "c", [&](pugi::xml_node c) {
        const int given = columnOf(c.attribute("r").value());
        at = given > 0 ? given : at + 1;
        if (at == column && !found)
            found = c;
    });
    return found;
}

pugi::xml_node Workbook::Impl::rowForWriting(int row)
{
    const auto next = rows.lower_bound(row);
    if (next != rows.end() && next->first == row) {
        // spans is only a hint, and would be wrong once a cell lies outside it
        next->second.remove_attribute("spans");
        return next->second;
    }
    pugi::xml_node r = next == rows.end()
                           ? sheetData.append_child(name("row").constData())
                           : sheetData.insert_child_before(name("row").constData(), next->second);
    r.append_attribute("r") = row;
    rows.emplace_hint(next, row, r);
    return r;
}

pugi::xml_node Workbook::Impl::cellForWriting(pugi::xml_node rowNode, int row, int column)
{
    // Cells without a reference count on from their neighbour; give every cell
    // its reference first so that inserting one does not move the others.
    pugi::xml_node before;
    int at = 0;
    forEachChild(rowNode, "c", [&](pugi::xml_node c) {
        const int given = columnOf(c.attribute("r").value());
        at = given > 0 ? given : at + 1;
        if (given <= 0)
            (c.attribute("r") ? c.attribute("r") : c.append_attribute("r")) =
                reference(row, at).constData();
        if (at >= column && !before)
            before = c;
    });
    if (before && columnOf(before.attribute("r").value()) == column)
        return before;
    pugi::xml_node c = before ? rowNode.insert_child_before(name("c").constData(), before)
                              : rowNode.append_child(name("c").constData());
    c.append_attribute("r") = reference(row, column).constData();
    return c;
}

void Workbook::Impl::extendDimension(int row, int column)
{
    pugi::xml_attribute ref = firstChild(sheet.document_element(), "dimension").attribute("ref");
    if (!ref)
        return;
    const QList<QByteArray> corners = QByteArray(ref.value()).split(':');
    const QByteArray &first = corners.first();
    const QByteArray &last = corners.last();
    if (columnOf(first) <= 0 || rowOf(first) <= 0 || columnOf(last) <= 0 || rowOf(last) <= 0)
        return;
    const QByteArray wider =
        reference(std::min(rowOf(first), row), std::min(columnOf(first), column)) + ':' +
        reference(std::max(rowOf(last), row), std::max(columnOf(last), column));
    ref = wider.constData();
}

Workbook::Workbook() = default;
Workbook::~Workbook() = default;

ControlStatus Workbook::open(const QString &file, const QString &sheet)
{
    close();
    if (file.isEmpty())
        return failure(QStringLiteral("\"\""), QStringLiteral("no workbook file named"));
    const QFileInfo info(file);
    if (!info.exists())
        return failure(file, QStringLiteral("no such file"));
    if (!info.isFile())
        return failure(file, QStringLiteral("not a file"));

    auto impl = std::make_unique<Impl>();
    impl->named = info.absoluteFilePath();
    // Saving renames a new file over this path: a link's target is what gets replaced.
    impl->file = info.canonicalFilePath();
    const std::optional<FileIdentity> identity = FileIdentity::of(impl->file);
    if (!identity)
        return failure(file, posix::reason(errno));
    impl->opened = *identity;
    int code = 0;
    impl->zip.reset(zip_open(QFile::encodeName(impl->file).constData(), 0, &code));
    if (!impl->zip)
        return failure(file, QStringLiteral("not a workbook (%1)").arg(zipErrorText(code)));
    if (const QString reason = impl->load(sheet); !reason.isEmpty())
        return failure(file, reason);
    d = std::move(impl);
    return {};
}

bool Workbook::isOpen() const
{
    return d != nullptr;
}

QString Workbook::cell(int row, int column) const
{
    if (!d)
        return {};
    const pugi::xml_node c = d->cellNode(row, column);
    if (!c)
        return {};
    const QByteArray type = c.attribute("t").value();
    if (type == "inlineStr")
        return stringItem(firstChild(c, "is"));
    const QString value = text(firstChild(c, "v"));
    if (type == "s")
        return d->sharedStrings.value(value.toInt());
    if (type == "b")
        return value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    if (type == "str")
        return unescaped(value);
    return value;
}

ControlStatus Workbook::setCell(int row, int column, const QString &value)
{
    if (!d)
        return ControlStatus::failure(kError, QStringLiteral("no workbook is open"));
    if (row < 1 || row > kMaxRow || column < 1 || column > kMaxColumn)
        return failure(d->file,
                       QStringLiteral("cell (%1, %2) lies outside the sheet").arg(row).arg(column));

    pugi::xml_node c = d->cellForWriting(d->rowForWriting(row), row, column);
    // The new value replaces value, formula and type; the style ("s") stays.
    while (c.first_child())
        c.remove_child(c.first_child());
    for (const char *attribute : {"t", "vm", "cm"})
        c.remove_attribute(attribute);

    if (const std::optional<double> number = plainNumber(value)) {
        c.append_child(d->name("v").constData())
            .text()
            .set(QByteArray::number(*number, 'g', QLocale::FloatingPointShortest).constData());
    } else {
        c.append_attribute("t") = "inlineStr";
        pugi::xml_node t =
            c.append_child(d->name("is").constData()).append_child(d->name("t").constData());
        const QString kept = escaped(value);
        if (kept != kept.trimmed())
            t.append_attribute("xml:space") = "preserve";
        t.text().set(kept.toUtf8().constData());
    }
    d->extendDimension(row, column);
    return {};
}

bool Workbook::fileChangedSinceOpen() const
{
    if (!d)
        return false;
    const std::optional<FileIdentity> now = FileIdentity::of(d->file);
    return !now || !now->sameVersion(d->opened);
}

ControlStatus Workbook::saveAndClose()
{
    if (!d)
        return ControlStatus::failure(kError, QStringLiteral("no workbook is open"));
    const QByteArray path = QFile::encodeName(d->file);
    if (fileChangedSinceOpen())
        return failure(d->file, QStringLiteral("changed on disk since it was opened"));
    for (const QString &name : {d->named, d->file})
        if (const QString lock = lockFileOf(name); !lock.isEmpty())
            return failure(d->file,
                           QStringLiteral("is open in another program (lock file %1)").arg(lock));
    // The temporary file is renamed over the workbook, which rename() allows even
    // for a read-only file: honour its mode as Excel does.
    if (isReadOnly(path))
        return failure(d->file, QStringLiteral("cannot be saved: the file is read-only"));
    if (::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
        return failure(d->file, QStringLiteral("cannot be saved: %1").arg(posix::reason(errno)));

    d->written.clear();
    ByteWriter writer(d->written);
    d->sheet.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    zip_source_t *source =
        zip_source_buffer(d->zip.get(), d->written.constData(), zip_uint64_t(d->written.size()), 0);
    if (!source || zip_file_replace(d->zip.get(), d->sheetIndex, source, 0) < 0) {
        zip_source_free(source);
        return failure(d->file, QStringLiteral("cannot be saved: %1")
                                    .arg(QString::fromUtf8(zip_strerror(d->zip.get()))));
    }
    if (zip_close(d->zip.get()) != 0) {
        const QString reason = QString::fromUtf8(zip_strerror(d->zip.get()));
        zip_unchange(d->zip.get(), d->sheetIndex);
        return failure(d->file, QStringLiteral("cannot be saved: %1").arg(reason));
    }
    d->zip.release(); // zip_close freed it
    // libzip gives the new file the old one's mode but not its owner; only root
    // may give it back, anyone else keeps the file as their own.
    (void)!::chown(path.constData(), d->opened.owner, d->opened.group);
    d.reset();
    return {};
}

void Workbook::close()
{
    d.reset();
}
