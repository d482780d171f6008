#include "platform/office/workbook.h"

#include "platform/files/file_replace.h"
#include "platform/files/posix_file.h"
#include "platform/office/cell_number.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
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

struct ZipSourceFree {
    void operator()(zip_source_t *source) const { zip_source_free(source); }
};
using ZipSource = std::unique_ptr<zip_source_t, ZipSourceFree>;

ControlStatus failure(const QString &file, const QString &reason)
{
    return ControlStatus::failure(Workbook::kError, QStringLiteral("%1: %2").arg(file, reason));
}

// What tells one version of a file from the next: a save renames a new file
// over it, and other programs rewrite it.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    static FileIdentity from(const struct stat &st)
    {
        return FileIdentity{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    }
    static std::optional<FileIdentity> of(const QString &file)
    {
        struct stat st;
        if (::stat(QFile::encodeName(file).constData(), &st) != 0)
            return std::nullopt;
        return from(st);
    }
    bool sameVersion(const FileIdentity &o) const
    {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

struct FileVersion {
    FileIdentity identity;
    QByteArray bytes;
};

// The whole file and the version it was read from; nullopt with errno set when
// it cannot be read.
std::optional<FileVersion> readVersion(const QString &file)
{
    posix::FileDescriptor fd(::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!fd.isOpen() || ::fstat(fd.get(), &st) != 0)
        return std::nullopt;
    FileVersion version{FileIdentity::from(st), {}};
    version.bytes.reserve(qsizetype(st.st_size));
    if (const int error = posix::readAll(fd.get(), version.bytes)) {
        errno = error;
        return std::nullopt;
    }
    return version;
}

// The archive libzip wrote into a buffer source; nullopt when it cannot be read back.
std::optional<QByteArray> bufferContent(zip_source_t *source)
{
    if (zip_source_open(source) != 0)
        return std::nullopt;
    std::optional<QByteArray> bytes;
    if (zip_source_seek(source, 0, SEEK_END) == 0) {
        const zip_int64_t size = zip_source_tell(source);
        QByteArray read(qsizetype(std::max<zip_int64_t>(size, 0)), Qt::Uninitialized);
        if (size >= 0 && zip_source_seek(source, 0, SEEK_SET) == 0 &&
            zip_source_read(source, read.data(), zip_uint64_t(size)) == size)
            bytes = std::move(read);
    }
    zip_source_close(source);
    return bytes;
}

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
    // The archive reads from and saves into memory: the file itself is only ever
    // replaced whole, through a scratch file that a later save sweeps up should
    // this one be killed.
    ZipSource source; // our own reference: it holds the saved archive after zip_close
    ZipArchive zip;
    QString workbookPart;
    pugi::xml_document workbook;
    zip_uint64_t sheetIndex = 0;
    pugi::xml_document sheet;
    QByteArray prefix; // namespace prefix of the sheet's elements, "x:" or ""
    pugi::xml_node sheetData;
    std::map<int, pugi::xml_node> rows;
    QStringList sharedStrings;
    QList<QByteArray> replaced; // entries' new bytes, read by libzip during zip_close

    QString openArchive(const QByteArray &bytes);
    QString load(const QString &sheetName);
    void loadSharedStrings(const Relationships &rels);
    void indexRows();
    pugi::xml_node cellNode(int row, int column) const;
    pugi::xml_node rowForWriting(int row);
    pugi::xml_node cellForWriting(pugi::xml_node rowNode, int row, int column);
    void extendDimension(int row, int column);
    bool changedOnDisk() const;
    QString save();
    bool replaceEntry(zip_uint64_t index, const pugi::xml_document &doc);
    bool requestRecalculation();
    bool dropCalculationChain();
    QByteArray name(const char *local) const { return prefix + local; }
};

// Opens the archive on a copy of bytes; returns why it failed, empty when it did not.
QString Workbook::Impl::openArchive(const QByteArray &bytes)
{
    // libzip owns the copy: libzip 1.7 frees a buffer it was lent when zip_close
    // keeps the unchanged start of the archive in place.
    void *copy = std::malloc(size_t(bytes.size()));
    if (!copy && !bytes.isEmpty())
        return posix::reason(ENOMEM);
    if (copy)
        std::memcpy(copy, bytes.constData(), size_t(bytes.size()));
    zip_error_t error;
    zip_error_init(&error);
    source.reset(zip_source_buffer_create(copy, zip_uint64_t(bytes.size()), 1, &error));
    if (!source) {
        std::free(copy);
    } else {
        zip_source_keep(source.get());
        zip.reset(zip_open_from_source(source.get(), 0, &error));
        if (!zip)
            zip_source_free(source.get()); // the reference zip_open_from_source did not take
    }
    const QString reason = zip ? QString() : QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return reason;
}

// Finds and parses the sheet; returns why it failed, empty when it did not.
QString Workbook::Impl::load(const QString &sheetName)
{
    const Relationships package = Relationships::of(zip.get(), QString());
    const auto document = package.byType.find(QStringLiteral("officeDocument"));
    workbookPart =
        document != package.byType.end() ? document->second : QStringLiteral("xl/workbook.xml");
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

bool Workbook::Impl::changedOnDisk() const
{
    const std::optional<FileIdentity> now = FileIdentity::of(file);
    return !now || !now->sameVersion(opened);
}

bool Workbook::Impl::replaceEntry(zip_uint64_t index, const pugi::xml_document &doc)
{
    // A QByteArray's data stays where it is when the list grows.
    QByteArray &bytes = replaced.emplace_back();
    ByteWriter writer(bytes);
    doc.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    zip_source_t *entry =
        zip_source_buffer(zip.get(), bytes.constData(), zip_uint64_t(bytes.size()), 0);
    if (!entry || zip_file_replace(zip.get(), index, entry, 0) < 0) {
        zip_source_free(entry);
        return false;
    }
    return true;
}

// The cached results of formulas that depend on the new cells are stale: every
// reader is asked to recalculate on load. False when libzip refused the change.
bool Workbook::Impl::requestRecalculation()
{
    pugi::xml_node root = workbook.document_element();
    pugi::xml_node calcPr = firstChild(root, "calcPr");
    if (!calcPr) {
        // Its place in the schema's order: after these, before everything else.
        pugi::xml_node after;
        for (pugi::xml_node child : root.children())
            for (const char *earlier :
                 {"sheets", "functionGroups", "externalReferences", "definedNames"})
                if (child.type() == pugi::node_element && hasLocalName(child, earlier))
                    after = child;
        const QByteArray rootName = root.name();
        const QByteArray element = rootName.left(rootName.indexOf(':') + 1) + "calcPr";
        calcPr = after ? root.insert_child_after(element.constData(), after)
                       : root.append_child(element.constData());
    }
    pugi::xml_attribute full = calcPr.attribute("fullCalcOnLoad");
    if (full.as_bool())
        return true;
    (full ? full : calcPr.append_attribute("fullCalcOnLoad")) = "1";
    const zip_int64_t index = zip_name_locate(zip.get(), workbookPart.toUtf8().constData(), 0);
    return index >= 0 && replaceEntry(zip_uint64_t(index), workbook);
}

// The calculation chain lists formula cells in the order Excel last computed
// them; one that lists a cell holding no formula any more makes Excel offer to
// repair the file. Without a chain Excel builds a new one. False when libzip
// refused the change.
bool Workbook::Impl::dropCalculationChain()
{
    const QString relsPart = relsOf(workbookPart);
    pugi::xml_document rels;
    const std::optional<QByteArray> relsXml = readEntry(zip.get(), relsPart);
    if (!relsXml || !parse(rels, *relsXml))
        return true;
    pugi::xml_node chain;
    forEachChild(rels.document_element(), "Relationship", [&](pugi::xml_node r) {
        if (!chain && QByteArray(r.attribute("Type").value()).endsWith("/calcChain"))
            chain = r;
    });
    if (!chain)
        return true;
    const QString part = entryName(folderOf(workbookPart), chain.attribute("Target").value());
    rels.document_element().remove_child(chain);
    const zip_int64_t relsIndex = zip_name_locate(zip.get(), relsPart.toUtf8().constData(), 0);
    if (relsIndex < 0 || !replaceEntry(zip_uint64_t(relsIndex), rels))
        return false;
    if (const zip_int64_t index = zip_name_locate(zip.get(), part.toUtf8().constData(), 0);
        index >= 0 && zip_delete(zip.get(), zip_uint64_t(index)) < 0)
        return false;

    const QString typesPart = QStringLiteral("[Content_Types].xml");
    pugi::xml_document types;
    const std::optional<QByteArray> typesXml = readEntry(zip.get(), typesPart);
    if (!typesXml || !parse(types, *typesXml))
        return true;
    pugi::xml_node override;
    forEachChild(types.document_element(), "Override", [&](pugi::xml_node o) {
        // Part names compare without regard to case.
        if (!override && QString::fromUtf8(o.attribute("PartName").value())
                                 .compare(QLatin1Char('/') + part, Qt::CaseInsensitive) == 0)
            override = o;
    });
    if (!override)
        return true;
    types.document_element().remove_child(override);
    const zip_int64_t typesIndex = zip_name_locate(zip.get(), typesPart.toUtf8().constData(), 0);
    return typesIndex >= 0 && replaceEntry(zip_uint64_t(typesIndex), types);
}

// Writes the archive into memory and puts it in the file's place; returns why
// that failed, empty when it did not.
QString Workbook::Impl::save()
{
    if (!replaceEntry(sheetIndex, sheet) || !requestRecalculation() || !dropCalculationChain() ||
        zip_close(zip.get()) != 0)
        return QString::fromUtf8(zip_strerror(zip.get()));
    zip.release(); // zip_close freed it
    const std::optional<QByteArray> bytes = bufferContent(source.get());
    if (!bytes)
        return QStringLiteral("the new archive cannot be read back");
    QString reason;
    file_replace::replaceContent(file, *bytes, &reason);
    return reason;
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
    const std::optional<FileVersion> version = readVersion(impl->file);
    if (!version)
        return failure(file, posix::reason(errno));
    impl->opened = version->identity;
    if (const QString reason = impl->openArchive(version->bytes); !reason.isEmpty())
        return failure(file, QStringLiteral("not a workbook (%1)").arg(reason));
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

bool Workbook::hasFormula(int row, int column) const
{
    return d && firstChild(d->cellNode(row, column), "f");
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
    return d && d->changedOnDisk();
}

ControlStatus Workbook::saveAndClose()
{
    if (!d)
        return ControlStatus::failure(kError, QStringLiteral("no workbook is open"));
    const std::unique_ptr<Impl> impl = std::move(d);
    if (impl->changedOnDisk())
        return failure(impl->file, QStringLiteral("changed on disk since it was opened"));
    for (const QString &name : {impl->named, impl->file})
        if (const QString lock = lockFileOf(name); !lock.isEmpty())
            return failure(impl->file,
                           QStringLiteral("is open in another program (lock file %1)").arg(lock));
    // The new file is renamed over the workbook, which rename() allows even for a
    // read-only file: honour its mode as Excel does.
    if (isReadOnly(QFile::encodeName(impl->file)))
        return failure(impl->file, QStringLiteral("cannot be saved: the file is read-only"));
    if (const QString reason = impl->save(); !reason.isEmpty())
        return failure(impl->file, QStringLiteral("cannot be saved: %1").arg(reason));
    return {};
}

void Workbook::close()
{
    d.reset();
}
