#include "sheet/TableReader.h"

#include "sheet/Readers.h"
#include "sheet/SourceFile.h"

#include <QDir>
#include <QRegularExpression>

#include <expat.h>

#include <zlib.h>

#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace sheet {

namespace {

using detail::Failure;

using detail::failed;
using detail::startsWith;

quint16 u16(const char* p)
{
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}
quint32 u32(const char* p)
{
    return quint32(u16(p)) | quint32(u16(p + 2)) << 16;
}

QString notTableText()
{
    return QStringLiteral("无法读取该文件：它不是表格文件。可以导入的是 Excel 工作簿(.xls、.xlsx)、"
                          "OpenDocument 表格(.ods)和逗号分隔的文本(.csv)");
}
QString emptyText()
{
    return QStringLiteral("无法读取该文件：文件是空的");
}
QString damagedPackageText()
{
    return QStringLiteral("无法读取该文件：压缩包已损坏或不完整，它不是有效的工作簿(.xlsx、.ods)");
}

// The central directory of a ZIP package: names, sizes and where each part's data lies.
class ZipDirectory
{
public:
    struct Entry
    {
        QByteArray name;
        quint16 flags = 0;
        quint16 method = 0;
        quint32 packedSize = 0;
        quint32 size = 0;
        quint32 headerOffset = 0;
        quint32 crc = 0;
    };

    // Reads the directory; false when the bytes hold none that can be trusted.
    bool read(QByteArrayView bytes)
    {
        constexpr qsizetype EndSize = 22;
        if (bytes.size() < EndSize)
            return false;
        // The end record is at most a comment's length (64 KiB) from the end.
        qsizetype end = -1;
        for (qsizetype at = bytes.size() - EndSize; at >= 0 && at >= bytes.size() - EndSize - 0xFFFF; --at) {
            if (startsWith(bytes.sliced(at), "PK\x05\x06", 4)) {
                end = at;
                break;
            }
        }
        if (end < 0)
            return false;
        const char* e = bytes.data() + end;
        const quint16 count = u16(e + 10);
        const quint32 size = u32(e + 12);
        const quint32 offset = u32(e + 16);
        if (offset == 0xFFFFFFFFu || qsizetype(offset) + qsizetype(size) > end)
            return false; // ZIP64 packages are far beyond what is read here
        qsizetype at = offset;
        for (int i = 0; i < count; ++i) {
            if (at + 46 > end || !startsWith(bytes.sliced(at), "PK\x01\x02", 4))
                return false;
            const char* p = bytes.data() + at;
            Entry entry;
            entry.flags = u16(p + 8);
            entry.crc = u32(p + 16);
            entry.method = u16(p + 10);
            entry.packedSize = u32(p + 20);
            entry.size = u32(p + 24);
            const quint16 nameLength = u16(p + 28);
            const qsizetype next = at + 46 + nameLength + u16(p + 30) + u16(p + 32);
            entry.headerOffset = u32(p + 42);
            if (next > end || !localHeaderAgrees(bytes, entry))
                return false;
            entry.name = QByteArray(p + 46, nameLength);
            m_entries.push_back(std::move(entry));
            at = next;
        }
        return true;
    }

    // The part's own header, which other readers trust, must say what the directory says: a part whose
    // sizes differ there (a damaged or forged package) would make them reserve gigabytes.
    static bool localHeaderAgrees(QByteArrayView bytes, const Entry& entry)
    {
        const qsizetype header = entry.headerOffset;
        if (header + 30 > bytes.size() || !startsWith(bytes.sliced(header), "PK\x03\x04", 4))
            return false;
        const char* p = bytes.data() + header;
        const quint32 packed = u32(p + 18);
        const quint32 size = u32(p + 22);
        const bool sizesAfterData = (u16(p + 6) & 0x08) != 0; // the sizes follow the data instead
        if (!(sizesAfterData && packed == 0 && size == 0) &&
            (packed != entry.packedSize || size != entry.size))
            return false;
        const qsizetype data = header + 30 + u16(p + 26) + u16(p + 28);
        return data + qsizetype(entry.packedSize) <= bytes.size();
    }

    const Entry* find(QByteArrayView name) const
    {
        for (const Entry& entry : m_entries)
            if (entry.name == name)
                return &entry;
        return nullptr;
    }
    const std::vector<Entry>& entries() const { return m_entries; }

    // The unpacked bytes of a small entry (stored or deflated); empty when they cannot be had.
    static QByteArray contents(QByteArrayView bytes, const Entry& entry, quint32 limit)
    {
        const qsizetype header = entry.headerOffset;
        if (entry.size > limit || (entry.flags & 1) || header + 30 > bytes.size() ||
            !startsWith(bytes.sliced(header), "PK\x03\x04", 4))
            return {};
        const char* p = bytes.data() + header;
        const qsizetype data = header + 30 + u16(p + 26) + u16(p + 28);
        if (data + qsizetype(entry.packedSize) > bytes.size())
            return {};
        const QByteArrayView packed = bytes.sliced(data, entry.packedSize);
        if (entry.method == 0)
            return packed.first(std::min<qsizetype>(packed.size(), entry.size)).toByteArray();
        if (entry.method != 8)
            return {};
        QByteArray out(qsizetype(entry.size), Qt::Uninitialized);
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return {};
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
        z.avail_in = uInt(packed.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        const int status = inflate(&z, Z_FINISH);
        const qsizetype produced = out.size() - qsizetype(z.avail_out);
        inflateEnd(&z);
        if (status != Z_STREAM_END && status != Z_BUF_ERROR && status != Z_OK)
            return {};
        out.truncate(produced);
        return out;
    }

    // Where the part's packed data starts; -1 when its header lies outside the bytes.
    static qsizetype dataOffset(QByteArrayView bytes, const Entry& entry)
    {
        const qsizetype header = entry.headerOffset;
        if (header + 30 > bytes.size() || !startsWith(bytes.sliced(header), "PK\x03\x04", 4))
            return -1;
        const char* p = bytes.data() + header;
        const qsizetype data = header + 30 + u16(p + 26) + u16(p + 28);
        return data + qsizetype(entry.packedSize) <= bytes.size() ? data : -1;
    }

    // Unpacks a part a piece at a time into sink (a piece, whether it is the last), which returns false to
    // stop. False when the part is damaged (its data does not unpack, or its size or checksum is not what
    // the directory says) or sink stopped.
    template <typename Sink> static bool unpackInPieces(QByteArrayView bytes, const Entry& entry, Sink&& sink)
    {
        const qsizetype data = dataOffset(bytes, entry);
        if (data < 0 || (entry.flags & 1) || (entry.method != 0 && entry.method != 8))
            return false;
        const QByteArrayView packed = bytes.sliced(data, entry.packedSize);
        constexpr qsizetype Piece = 256 * 1024;
        quint32 crc = quint32(crc32(0, nullptr, 0));
        qint64 produced = 0;
        const auto give = [&](QByteArrayView piece, bool last) {
            produced += piece.size();
            if (produced > qint64(entry.size))
                return false;
            crc = quint32(crc32(crc, reinterpret_cast<const Bytef*>(piece.data()), uInt(piece.size())));
            if (last && (produced != qint64(entry.size) || crc != entry.crc))
                return false;
            return sink(piece, last);
        };
        if (entry.method == 0) {
            if (entry.packedSize != entry.size)
                return false;
            qsizetype at = 0;
            do {
                const qsizetype length = std::min(Piece, packed.size() - at);
                if (!give(packed.sliced(at, length), at + length == packed.size()))
                    return false;
                at += length;
            } while (at < packed.size());
            return true;
        }
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            throw std::bad_alloc();
        const std::unique_ptr<z_stream, decltype(&inflateEnd)> end(&z, &inflateEnd);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
        z.avail_in = uInt(packed.size());
        QByteArray out(Piece, Qt::Uninitialized);
        for (;;) {
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = uInt(out.size());
            const int status = inflate(&z, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END)
                return false; // damaged data, or packed data that ends too soon
            const bool last = status == Z_STREAM_END;
            if (!give(QByteArrayView(out).first(out.size() - qsizetype(z.avail_out)), last))
                return false;
            if (last)
                return true;
        }
    }

private:
    std::vector<Entry> m_entries;
};

// A new package of the given parts of bytes, their packed data copied as it is: all another reader of it
// can ever reach.
QByteArray repack(QByteArrayView bytes, const std::vector<const ZipDirectory::Entry*>& parts)
{
    const auto put16 = [](QByteArray& out, quint16 v) {
        out.append(char(v & 0xFF));
        out.append(char(v >> 8));
    };
    const auto put32 = [&](QByteArray& out, quint32 v) {
        put16(out, quint16(v & 0xFFFF));
        put16(out, quint16(v >> 16));
    };
    // The fields both headers share, from "version needed" to the name's length.
    const auto common = [&](QByteArray& out, const ZipDirectory::Entry& entry) {
        put16(out, 20);
        put16(out, entry.flags & 0x0800); // only whether the name is UTF-8; sizes stand in the header
        put16(out, entry.method);
        put32(out, 0x00210000); // 1980-01-01 00:00
        put32(out, entry.crc);
        put32(out, entry.packedSize);
        put32(out, entry.size);
        put16(out, quint16(entry.name.size()));
        put16(out, 0);
    };
    QByteArray out;
    QByteArray directory;
    for (const ZipDirectory::Entry* entry : parts) {
        const qsizetype data = ZipDirectory::dataOffset(bytes, *entry);
        const quint32 offset = quint32(out.size());
        out.append("PK\x03\x04", 4);
        common(out, *entry);
        out.append(entry->name);
        out.append(bytes.sliced(data, entry->packedSize));
        directory.append("PK\x01\x02", 4);
        put16(directory, 20);
        common(directory, *entry);
        put16(directory, 0); // comment
        put16(directory, 0); // disk
        put16(directory, 0); // internal attributes
        put32(directory, 0); // external attributes
        put32(directory, offset);
        directory.append(entry->name);
    }
    const quint32 directoryOffset = quint32(out.size());
    out.append(directory);
    out.append("PK\x05\x06", 4);
    put32(out, 0);
    put16(out, quint16(parts.size()));
    put16(out, quint16(parts.size()));
    put32(out, quint32(directory.size()));
    put32(out, directoryOffset);
    put16(out, 0);
    return out;
}

const QByteArray kOdsMime = QByteArrayLiteral("application/vnd.oasis.opendocument.spreadsheet");

TableFormat packageFormat(QByteArrayView bytes, const ZipDirectory& zip)
{
    if (zip.find("xl/workbook.xml"))
        return TableFormat::Xlsx;
    if (const ZipDirectory::Entry* mime = zip.find("mimetype")) {
        if (ZipDirectory::contents(bytes, *mime, 256).trimmed() == kOdsMime)
            return TableFormat::Ods;
    }
    return TableFormat::Unknown;
}

bool looksLikeText(QByteArrayView bytes)
{
    if (startsWith(bytes, "\xFF\xFE", 2) || startsWith(bytes, "\xFE\xFF", 2))
        return true; // UTF-16 with its mark: zero bytes belong to it
    // Markup (XML, HTML, a spreadsheet program's own XML file) and rich text are text, but no table.
    QByteArrayView start = bytes.first(std::min<qsizetype>(bytes.size(), 1024));
    if (startsWith(start, "\xEF\xBB\xBF", 3))
        start = start.sliced(3);
    start = start.trimmed();
    if (startsWith(start, "<", 1) || startsWith(start, "{\\rtf", 5))
        return false;
    const QByteArrayView head = bytes.first(std::min<qsizetype>(bytes.size(), 64 * 1024));
    for (const char c : head) {
        const auto u = quint8(c);
        // Zero bytes and most control characters never stand in a text file.
        if (u == 0 || (u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f' && u != 0x1A))
            return false;
    }
    return true;
}

// An ODF package is encrypted when its manifest says how.
bool isEncryptedOds(QByteArrayView bytes, const ZipDirectory& zip)
{
    const ZipDirectory::Entry* manifest = zip.find("META-INF/manifest.xml");
    if (manifest && ZipDirectory::contents(bytes, *manifest, 4 * 1024 * 1024).contains("encryption-data"))
        return true;
    for (const ZipDirectory::Entry& entry : zip.entries())
        if (entry.flags & 1)
            return true; // a part protected by the old ZIP password
    return false;
}

// The name of the first worksheet's part of an .xlsx package, as workbook.xml and its relations name it;
// named tells whether they did (else the usual name is taken).
QByteArray firstSheetPartName(QByteArrayView bytes, const ZipDirectory& zip, bool& named)
{
    const auto unpacked = [&](const char* name) {
        const ZipDirectory::Entry* entry = zip.find(name);
        return entry ? ZipDirectory::contents(bytes, *entry, 64 * 1024 * 1024) : QByteArray();
    };
    named = false;
    QString target = QStringLiteral("worksheets/sheet1.xml");
    const QByteArray workbook = unpacked("xl/workbook.xml");
    const QRegularExpressionMatch sheet =
        QRegularExpression(QStringLiteral("<(?:\\w+:)?sheet\\b[^>]*\\br:id=\"([^\"]+)\""))
            .match(QString::fromUtf8(workbook));
    if (sheet.hasMatch()) {
        const QString relations = QString::fromUtf8(unpacked("xl/_rels/workbook.xml.rels"));
        const QRegularExpression relation(QStringLiteral("<Relationship\\b[^>]*>"));
        for (auto it = relation.globalMatch(relations); it.hasNext();) {
            const QString element = it.next().captured();
            if (!element.contains(QStringLiteral("Id=\"%1\"").arg(sheet.captured(1))))
                continue;
            const QRegularExpressionMatch t =
                QRegularExpression(QStringLiteral("Target=\"([^\"]+)\"")).match(element);
            if (t.hasMatch()) {
                target = t.captured(1);
                named = true;
            }
        }
    }
    const QString path = target.startsWith(QLatin1Char('/')) ? target.mid(1) : QStringLiteral("xl/") + target;
    return path.toUtf8();
}

// The package library trusts its parts: a damaged one can end the whole program inside it, and it follows
// a relation to any part, whatever its name. Every part is therefore unpacked and checked here first,
// a piece at a time (checksum; well-formed XML in UTF-8; the shared texts and the text they hold within
// the limits; the first worksheet's texts held in place read on the way), and the library is handed a
// package of the parts that passed, and nothing else: a part that is no XML (a picture, a binary part)
// is left out, a damaged XML part refuses the workbook.
QByteArray checkedParts(QByteArrayView bytes, const ZipDirectory& zip, const ReadOptions& options,
                        detail::SheetScan& scan)
{
    bool named = false;
    const QByteArray sheetName = firstSheetPartName(bytes, zip, named);
    std::vector<const ZipDirectory::Entry*> kept;
    for (const ZipDirectory::Entry& entry : zip.entries()) {
        const bool isSheet = entry.name == sheetName;
        std::optional<detail::PartScanner> scanner;
        bool isXml = true;
        QByteArray head; // the first bytes, until they show whether the part is XML
        const bool whole = ZipDirectory::unpackInPieces(bytes, entry, [&](QByteArrayView piece, bool last) {
            if (options.progress && !options.progress(0, 1))
                throw detail::Cancelled{};
            if (!scanner) {
                head.append(piece);
                QByteArrayView start(head);
                if (startsWith(start, "\xEF\xBB\xBF", 3))
                    start = start.sliced(3);
                start = start.trimmed();
                if (start.isEmpty() && !last && head.size() < 64 * 1024)
                    return true; // blanks so far (a part of nothing but blanks is no XML)
                isXml = startsWith(start, "<", 1);
                if (!isXml)
                    return false; // no XML: never handed on, no need to unpack the rest
                scanner.emplace(options, scan, isSheet);
                piece = head;
            }
            return scanner->feed(piece, last) && !scan.stopped();
        });
        if (scan.tooManyCells)
            throw detail::Failure{detail::tooManyCellsText()};
        if (scan.tooManyStrings)
            throw detail::Failure{detail::tooManyStringsText()};
        if (scan.tooMuchText)
            throw detail::Failure{detail::tooMuchTextMessage()};
        if (!isXml && isSheet && named)
            throw detail::Failure{damagedPackageText()}; // the sheet to read holds no XML
        if (!isXml)
            continue;
        if (!whole)
            throw detail::Failure{damagedPackageText()};
        if (isSheet)
            scan.scanned = named;
        kept.push_back(&entry);
    }
    return repack(bytes, kept);
}

Expected<Sheet> readPackage(const QByteArray& bytes, TableFormat format, const ReadOptions& options)
{
    ZipDirectory zip;
    if (!zip.read(bytes))
        return failed(damagedPackageText());
    qint64 unpacked = 0;
    for (const ZipDirectory::Entry& entry : zip.entries())
        unpacked += entry.size;
    if (unpacked > kMaxUnpackedSize)
        return failed(QStringLiteral("无法读取该文件：工作簿解压后有 %1 MB，超过了可以读取的上限 %2 MB")
                          .arg(unpacked / (1024 * 1024))
                          .arg(kMaxUnpackedSize / (1024 * 1024)));
    if (isEncryptedOds(bytes, zip))
        return failed(detail::encryptedText());
    if (format == TableFormat::Xlsx) {
        detail::SheetScan scan;
        QByteArray checked;
        const Expected<Sheet> check = detail::guarded(
            [&] {
                checked = checkedParts(bytes, zip, options, scan);
                return Sheet();
            },
            damagedPackageText());
        if (!check.ok())
            return check;
        return detail::readXlsx(checked, scan, options);
    }
    if (format == TableFormat::Ods) {
        const QString damaged =
            QStringLiteral("无法读取该文件：表格已损坏或不完整，它不是有效的 OpenDocument 表格(.ods)");
        const ZipDirectory::Entry* content = zip.find("content.xml");
        const QByteArray xml =
            content ? ZipDirectory::contents(bytes, *content, quint32(kMaxUnpackedSize)) : QByteArray();
        if (xml.isEmpty())
            return failed(damaged);
        return detail::guarded([&] { return detail::readOdsContent(xml, options, damaged); }, damaged);
    }
    return failed(notTableText());
}

Expected<Sheet> readBytes(const QByteArray& bytes, const ReadOptions& options)
{
    const qint64 limit = std::min(options.maxFileSize, kMaxPackedFileSize);
    if (bytes.size() > limit)
        return failed(tooLargeText(bytes.size(), limit));
    switch (detectFormat(bytes)) {
    case TableFormat::Empty:
        return failed(emptyText());
    case TableFormat::Xls:
        return readFirstSheetFromMemory(bytes, options);
    case TableFormat::Xlsx:
        return readPackage(bytes, TableFormat::Xlsx, options);
    case TableFormat::Ods:
        return readPackage(bytes, TableFormat::Ods, options);
    case TableFormat::Csv:
        return detail::readCsv(bytes, options);
    case TableFormat::Unknown:
        break;
    }
    if (startsWith(bytes, "PK\x03\x04", 4)) {
        ZipDirectory zip;
        if (!zip.read(bytes))
            return failed(damagedPackageText());
    }
    return failed(notTableText());
}

} // namespace

TableFormat detectFormat(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return TableFormat::Empty;
    if (detail::isXlsHead(bytes))
        return TableFormat::Xls;
    if (startsWith(bytes, "PK\x03\x04", 4)) {
        ZipDirectory zip;
        return zip.read(bytes) ? packageFormat(bytes, zip) : TableFormat::Unknown;
    }
    return looksLikeText(bytes) ? TableFormat::Csv : TableFormat::Unknown;
}

Expected<Sheet> readTableFromMemory(const QByteArray& bytes, const ReadOptions& options)
{
    try {
        return readBytes(bytes, options);
    } catch (...) {
        return failed(detail::outOfMemoryText());
    }
}

Expected<Sheet> readTable(const QString& path, const ReadOptions& options)
{
    try {
        QFile file;
        if (const Result opened = openSourceFile(path, options.maxFileSize, file); !opened.ok())
            return failed(opened.error());
        // An .xls workbook is read from the disk as it goes; the other formats are read whole.
        const QByteArray head = file.read(8);
        if (detail::isXlsHead(head)) {
            file.close();
            return readFirstSheet(path, options);
        }
        const qint64 limit = std::min(options.maxFileSize, kMaxPackedFileSize);
        if (file.size() > limit)
            return failed(tooLargeText(file.size(), limit));
        const QByteArray bytes = head + file.readAll();
        if (file.error() != QFileDevice::NoError)
            return failed(readErrorText(path, file.errorString()));
        return readBytes(bytes, options);
    } catch (...) {
        return failed(detail::outOfMemoryText());
    }
}

} // namespace sheet
