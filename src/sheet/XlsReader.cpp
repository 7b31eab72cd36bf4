#include "sheet/XlsReader.h"

#include "sheet/Biff.h"
#include "sheet/GsfSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cmath>
#include <vector>

namespace sheet {

using namespace biff;

namespace {

QString notXlsText()
{
    return QStringLiteral("无法读取该文件：它不是有效的 Excel 97-2003 工作簿(.xls)");
}
QString damagedText()
{
    return QStringLiteral("无法读取该文件：工作簿已损坏或不完整，它不是有效的 Excel 97-2003 工作簿(.xls)");
}
QString encryptedText()
{
    return QStringLiteral("无法读取该文件：工作簿设有打开密码。请先在电子表格程序中取消密码，再导入");
}
QString xlsxText()
{
    return QStringLiteral("无法读取该文件：它是 Excel 2007 或更高版本的工作簿(.xlsx)，不是 Excel 97-2003 "
                          "工作簿(.xls)。请先在电子表格程序中另存为“Excel 97-2003 工作簿(.xls)”，再导入");
}
QString oldFormatText()
{
    return QStringLiteral("无法读取该文件：它是 Excel 5.0 以前的旧格式工作簿。请先在电子表格程序中另存为"
                          "“Excel 97-2003 工作簿(.xls)”，再导入");
}

struct Failure
{
    QString text;
};
struct Cancelled
{
};

// ---------------------------------------------------------------------------------------------------
// 8-bit strings of Excel 5.0/95 workbooks, decoded by the workbook's code page.

class CodePageDecoder
{
public:
    CodePageDecoder() = default;
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;
    ~CodePageDecoder() { close(); }

    void setCodePage(int codePage)
    {
        close();
        const QByteArray name = charsetName(codePage);
        if (name.isEmpty())
            return; // Latin-1
        m_iconv = g_iconv_open("UTF-8", name.constData());
        if (m_iconv == GIConv(-1))
            m_iconv = nullptr;
    }

    QString decode(const uchar* bytes, qsizetype size) const
    {
        const char* p = reinterpret_cast<const char*>(bytes);
        if (!m_iconv || std::all_of(p, p + size, [](char c) { return uchar(c) < 0x80; }))
            return QString::fromLatin1(p, size);
        g_iconv(m_iconv, nullptr, nullptr, nullptr, nullptr); // reset the shift state
        gsize written = 0;
        gchar* utf8 = g_convert_with_iconv(p, gssize(size), m_iconv, nullptr, &written, nullptr);
        if (!utf8)
            return QString::fromLatin1(p, size); // bytes the code page does not know
        QString text = QString::fromUtf8(utf8, qsizetype(written));
        g_free(utf8);
        return text;
    }

private:
    static QByteArray charsetName(int codePage)
    {
        switch (codePage) {
        case 367:
        case 1200:
        case 0:
            return {};
        case 10000:
        case 32768:
            return "MACINTOSH";
        case 32769:
            return "CP1252";
        case 1361:
            return "JOHAB";
        default:
            if (codePage > 0 && codePage < 65536)
                return "CP" + QByteArray::number(codePage);
            return "CP1252";
        }
    }
    void close()
    {
        if (m_iconv)
            g_iconv_close(m_iconv);
        m_iconv = nullptr;
    }

    GIConv m_iconv = nullptr;
};

// ---------------------------------------------------------------------------------------------------
// Record payloads with the CONTINUE records right after them, as a view over the stream (nothing is copied):
// the 4-byte headers of the CONTINUE records stay in between. A string's characters that cross such a
// header go on after a new option-flags byte.

constexpr qsizetype ContinueHeader = 4;

struct Payload
{
    const uchar* base = nullptr;
    qsizetype size = 0;             // up to the end of the last CONTINUE payload
    std::vector<qsizetype> headers; // where each CONTINUE header starts, relative to base

    const uchar* data() const { return base; }
    // The first CONTINUE header at or after pos, or the end.
    qsizetype segmentEnd(qsizetype pos) const
    {
        const auto it = std::lower_bound(headers.begin(), headers.end(), pos);
        return it == headers.end() ? size : *it;
    }
    bool isHeader(qsizetype pos) const { return pos < size && segmentEnd(pos) == pos; }
    // Moves pos on by n payload bytes, hopping over headers; false when the payload ends first.
    bool advance(qsizetype& pos, qsizetype n) const
    {
        while (n > 0) {
            const qsizetype end = segmentEnd(pos);
            if (pos == end) {
                if (pos >= size)
                    return false;
                pos += ContinueHeader;
                continue;
            }
            const qsizetype step = std::min(n, end - pos);
            pos += step;
            n -= step;
        }
        return pos <= size;
    }
};

// Reads one BIFF8 unicode string (XLUnicodeString or XLUnicodeRichExtendedString) at pos and moves pos past
// it, rich-text runs and phonetic data included; with out == nullptr only moves past it. Returns false
// when the payload ends inside the string.
bool readUnicodeString(const Payload& payload, qsizetype& pos, bool lengthIs16, QString* out)
{
    const uchar* data = payload.data();
    const qsizetype size = payload.size;
    if (payload.isHeader(pos))
        pos += ContinueHeader; // a string that starts a CONTINUE record has no flags byte of its own there
    const int lengthBytes = lengthIs16 ? 2 : 1;
    if (size - pos < lengthBytes + 1)
        return false;
    qsizetype remaining = lengthIs16 ? u16(data + pos) : data[pos];
    pos += lengthBytes;
    const uchar flags = data[pos++];
    bool wide = flags & 0x01;
    quint32 runs = 0;
    quint32 extra = 0;
    if (flags & 0x08) {
        if (size - pos < 2)
            return false;
        runs = u16(data + pos);
        pos += 2;
    }
    if (flags & 0x04) {
        if (size - pos < 4)
            return false;
        extra = u32(data + pos);
        pos += 4;
    }
    if (out) {
        out->clear();
        out->reserve(remaining);
    }
    while (remaining > 0) {
        qsizetype end = payload.segmentEnd(pos);
        if (pos == end) {
            if (size - pos <= ContinueHeader)
                return false;
            pos += ContinueHeader;
            wide = data[pos++] & 0x01; // a new record: new flags for the characters that follow
            end = payload.segmentEnd(pos);
        }
        const qsizetype fit = std::min<qsizetype>(remaining, (end - pos) / (wide ? 2 : 1));
        if (fit == 0) {
            pos = end; // a stray half character before a record start
            continue;
        }
        const uchar* p = data + pos;
        if (out && wide) {
            const qsizetype at = out->size();
            out->resize(at + fit);
            QChar* dst = out->data() + at;
            for (qsizetype i = 0; i < fit; ++i)
                dst[i] = QChar(u16(p + 2 * i));
        } else if (out) {
            out->append(QLatin1StringView(reinterpret_cast<const char*>(p), fit));
        }
        pos += fit * (wide ? 2 : 1);
        remaining -= fit;
    }
    return payload.advance(pos, qsizetype(runs) * 4 + qsizetype(extra));
}

// ---------------------------------------------------------------------------------------------------

struct RecordView
{
    quint16 id = 0;
    const uchar* data = nullptr;
    qsizetype size = 0;
    qsizetype offset = 0; // stream position of the record header
};

class Workbook
{
public:
    // The progress reports go on from progressBase (the bytes worked through before) to progressTotal.
    Workbook(const QByteArray& stream, int versionHint, const ReadOptions& options, qint64 progressBase,
             qint64 progressTotal)
        : m_data(reinterpret_cast<const uchar*>(stream.constData())), m_size(stream.size()),
          m_biff8(versionHint != 5), m_options(options), m_progressBase(progressBase),
          m_progressTotal(progressTotal),
          m_keepColumns(options.columns > 0 ? std::min(options.columns, MaxColumns) : MaxColumns)
    {
    }

    Sheet readFirstSheet()
    {
        m_pos = 0;
        RecordView bof;
        if (!next(bof) || bof.id != Bof || bof.size < 4)
            throw Failure{notXlsText()};
        const quint16 version = u16(bof.data);
        if (version == Biff8Version)
            m_biff8 = true;
        else if (version == Biff5Version)
            m_biff8 = false;
        const quint16 kind = u16(bof.data + 2);
        if (kind == 0x0010) { // a lone worksheet without workbook globals
            Sheet sheet;
            readCells(sheet);
            return sheet;
        }
        if (kind != 0x0005)
            throw Failure{notXlsText()};
        const qint64 sheetPos = readGlobals();
        if (sheetPos < 0)
            throw Failure{QStringLiteral("无法读取该文件：工作簿中没有工作表")};
        if (sheetPos >= m_size)
            throw Failure{damagedText()};
        m_pos = qsizetype(sheetPos);
        if (!next(bof) || bof.id != Bof)
            throw Failure{damagedText()};
        Sheet sheet;
        readCells(sheet);
        return sheet;
    }

private:
    // The next record; false at the end of the stream. A record cut off by the stream's end is damage.
    bool next(RecordView& r)
    {
        if (m_size - m_pos < 4) {
            if (m_pos < m_size && std::any_of(m_data + m_pos, m_data + m_size, [](uchar b) { return b; }))
                throw Failure{damagedText()};
            return false;
        }
        r.offset = m_pos;
        r.id = u16(m_data + m_pos);
        r.size = u16(m_data + m_pos + 2);
        if (r.size > m_size - m_pos - 4)
            throw Failure{damagedText()};
        r.data = m_data + m_pos + 4;
        m_pos += 4 + r.size;
        if (m_options.progress && m_pos - m_reportedAt >= ReportEvery) {
            m_reportedAt = m_pos;
            if (!m_options.progress(m_progressBase + m_pos, m_progressTotal))
                throw Cancelled{};
        }
        return true;
    }

    // The record's payload with the payloads of the CONTINUE records right after it.
    Payload withContinues(const RecordView& first)
    {
        Payload payload;
        payload.base = first.data;
        const qsizetype start = first.offset + 4;
        while (m_size - m_pos >= 4 && u16(m_data + m_pos) == Continue) {
            payload.headers.push_back(m_pos - start);
            RecordView more;
            next(more);
        }
        payload.size = m_pos - start;
        return payload;
    }

    // An 8-bit string of an Excel 5.0/95 workbook at data[pos] with a length of lengthBytes bytes.
    bool readByteString(const uchar* data, qsizetype size, qsizetype pos, int lengthBytes, QString& out) const
    {
        if (size - pos < lengthBytes)
            return false;
        const qsizetype length = lengthBytes == 2 ? u16(data + pos) : data[pos];
        pos += lengthBytes;
        if (length > size - pos)
            return false;
        out = m_decoder.decode(data + pos, length);
        return true;
    }

    // A cell string: unicode in BIFF8, 8-bit by code page before.
    bool readCellString(const RecordView& r, qsizetype pos, QString& out)
    {
        if (!m_biff8)
            return readByteString(r.data, r.size, pos, 2, out);
        Payload payload;
        payload.base = r.data;
        payload.size = r.size;
        return readUnicodeString(payload, pos, true, &out);
    }

    // Reads the workbook globals; returns the stream position of the first worksheet, or -1.
    qint64 readGlobals()
    {
        qint64 firstWorksheet = -1;
        QHash<int, bool> formatIsDate;
        std::vector<quint16> xfFormats;
        RecordView r;
        while (next(r)) {
            switch (r.id) {
            case FilePass:
                throw Failure{encryptedText()};
            case CodePage:
                if (r.size >= 2)
                    m_decoder.setCodePage(u16(r.data));
                break;
            case DateMode:
                if (r.size >= 2)
                    m_1904 = u16(r.data) == 1;
                break;
            case Format:
                if (r.size >= 2) {
                    QString code;
                    const bool ok =
                        m_biff8 ? readCellString(r, 2, code) : readByteString(r.data, r.size, 2, 1, code);
                    if (ok)
                        formatIsDate.insert(u16(r.data), isDateFormat(code));
                }
                break;
            case Xf:
                if (r.size >= 4)
                    xfFormats.push_back(u16(r.data + 2));
                break;
            case BoundSheet:
                // The sheet type: 0 worksheet, 1 macro sheet, 2 chart, 6 module.
                if (r.size >= 6 && firstWorksheet < 0 && r.data[5] == 0)
                    firstWorksheet = u32(r.data);
                break;
            case Sst:
                if (m_biff8)
                    readSst(withContinues(r));
                break;
            case Eof:
                m_xfIsDate.resize(xfFormats.size());
                for (std::size_t i = 0; i < xfFormats.size(); ++i) {
                    const auto it = formatIsDate.constFind(xfFormats[i]);
                    m_xfIsDate[i] = it != formatIsDate.cend() ? *it : isBuiltInDateFormat(xfFormats[i]);
                }
                return firstWorksheet;
            default:
                break;
            }
        }
        throw Failure{damagedText()}; // no end of the globals
    }

    // Only where each shared string starts is noted; a string is decoded when a kept cell first needs it.
    void readSst(const Payload& payload)
    {
        if (payload.size < 8)
            return;
        m_sst = payload;
        // The count may lie: never reserve more than the bytes can hold (3 bytes for the smallest string),
        // and note the strings that are there.
        const quint32 count = u32(payload.data() + 4);
        m_stringStarts.reserve(std::min<qsizetype>(count, (payload.size - 8) / 3));
        qsizetype pos = 8;
        while (pos < payload.size) {
            const qsizetype start = pos;
            if (!readUnicodeString(payload, pos, true, nullptr))
                break; // the rest of the table is missing; its cells read as empty
            m_stringStarts.push_back(quint32(start));
        }
    }

    // The shared string at index, decoded once; false for an index the table does not have.
    bool sharedString(quint32 index, QString& out)
    {
        if (index >= m_stringStarts.size())
            return false;
        const auto it = m_decoded.constFind(index);
        if (it != m_decoded.cend()) {
            out = *it;
            return true;
        }
        qsizetype pos = m_stringStarts[index];
        if (!readUnicodeString(m_sst, pos, true, &out))
            return false;
        m_decoded.insert(index, out);
        return true;
    }

    static bool isBuiltInDateFormat(int id)
    {
        return (id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) ||
               (id >= 50 && id <= 58);
    }

public:
    // A number format shows a date or time when it has a y, m, d, h or s outside quotes, brackets and
    // escapes.
    static bool isDateFormat(const QString& code)
    {
        if (code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0 ||
            code.compare(QLatin1String("Standard"), Qt::CaseInsensitive) == 0)
            return false;
        for (qsizetype i = 0; i < code.size(); ++i) {
            const char16_t c = code.at(i).toLower().unicode();
            switch (c) {
            case u'"': {
                const qsizetype close = code.indexOf(u'"', i + 1);
                if (close < 0)
                    return false;
                i = close;
                break;
            }
            case u'[': {
                const qsizetype close = code.indexOf(u']', i + 1);
                if (close < 0)
                    return false;
                i = close;
                break;
            }
            case u'\\':
            case u'_':
            case u'*':
                ++i; // an escaped character, a space the width of a character, a fill character
                break;
            case u'y':
            case u'm':
            case u'd':
            case u'h':
            case u's':
                return true;
            default:
                break;
            }
        }
        return false;
    }

private:
    bool isDateXf(quint16 xf) const { return xf < m_xfIsDate.size() && m_xfIsDate[xf]; }

    // A number cell, a date when its format shows one.
    Cell numberCell(double value, quint16 xf) const
    {
        Cell cell;
        cell.type = Cell::Type::Number;
        cell.number = value;
        if (!isDateXf(xf) || !std::isfinite(value) || value < 0 || value >= 2958466)
            return cell;
        const qint64 ms = std::llround(value * 86400000.0);
        const qint64 days = ms / 86400000;
        QDate base;
        if (m_1904)
            base = QDate(1904, 1, 1);
        else
            base = days < 60 ? QDate(1899, 12, 31) : QDate(1899, 12, 30); // the 1900 system counts 1900-02-29
        cell.type = Cell::Type::Date;
        cell.dateTime = QDateTime(base.addDays(days), QTime::fromMSecsSinceStartOfDay(int(ms % 86400000)));
        return cell;
    }

    static double rkValue(quint32 rk)
    {
        double value;
        if (rk & 0x02) {
            value = double(qint32(rk) >> 2);
        } else {
            const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
            std::memcpy(&value, &bits, sizeof value);
        }
        return (rk & 0x01) ? value / 100 : value;
    }

    static Cell textCell(const QString& text)
    {
        Cell cell;
        cell.type = Cell::Type::Text;
        cell.text = text;
        return cell;
    }

    bool kept(int column) const { return column < m_keepColumns; }
    void put(Sheet& sheet, int row, int column, Cell cell) const
    {
        if (kept(column))
            sheet.setCell(row, column, std::move(cell));
    }

    // The number of cells that the worksheet's records at the current position hold, to reserve room.
    qsizetype countCells() const
    {
        qsizetype cells = 0;
        for (qsizetype pos = m_pos; m_size - pos >= 4;) {
            const quint16 id = u16(m_data + pos);
            const quint16 size = u16(m_data + pos + 2);
            if (id == Eof || size > m_size - pos - 4)
                break;
            if (size >= 6) {
                const int column = u16(m_data + pos + 6);
                if (id == MulRk)
                    cells += std::clamp<qsizetype>(m_keepColumns - column, 0, size / 6);
                else if ((id == Number || id == Rk || id == LabelSst || id == Label || id == RString ||
                          id == BoolErr || id == Formula) &&
                         kept(column))
                    ++cells;
            }
            pos += 4 + size;
        }
        return cells;
    }

    void readCells(Sheet& sheet)
    {
        sheet.reserve(countCells());
        int depth = 1; // charts and other substreams may nest inside the worksheet
        int pendingRow = -1;
        int pendingColumn = -1;
        RecordView r;
        while (next(r)) {
            if (r.id == Bof) {
                ++depth;
                continue;
            }
            if (r.id == Eof) {
                if (--depth == 0)
                    return;
                continue;
            }
            if (depth != 1)
                continue;
            if (r.id == String) {
                if (pendingRow >= 0) {
                    QString text;
                    bool ok;
                    if (m_biff8) {
                        const Payload payload = withContinues(r);
                        qsizetype pos = 0;
                        ok = readUnicodeString(payload, pos, true, &text);
                    } else {
                        ok = readByteString(r.data, r.size, 0, 2, text);
                    }
                    if (ok)
                        put(sheet, pendingRow, pendingColumn, textCell(text));
                    pendingRow = -1;
                }
                continue;
            }
            if (r.size < 6)
                continue;
            const int row = u16(r.data);
            const int column = u16(r.data + 2);
            const quint16 xf = u16(r.data + 4);
            switch (r.id) {
            case Number:
                pendingRow = -1;
                if (r.size >= 14)
                    put(sheet, row, column, numberCell(f64(r.data + 6), xf));
                break;
            case Rk:
                pendingRow = -1;
                if (r.size >= 10)
                    put(sheet, row, column, numberCell(rkValue(u32(r.data + 6)), xf));
                break;
            case MulRk: {
                pendingRow = -1;
                const qsizetype count = (r.size - 6) / 6;
                for (qsizetype i = 0; i < count && kept(int(column + i)); ++i) {
                    const uchar* p = r.data + 4 + 6 * i;
                    put(sheet, row, int(column + i), numberCell(rkValue(u32(p + 2)), u16(p)));
                }
                break;
            }
            case Label:
            case RString: {
                pendingRow = -1;
                QString text;
                if (kept(column) && readCellString(r, 6, text))
                    put(sheet, row, column, textCell(text));
                break;
            }
            case LabelSst:
                pendingRow = -1;
                if (r.size >= 10 && kept(column)) {
                    QString text;
                    if (sharedString(u32(r.data + 6), text))
                        put(sheet, row, column, textCell(text));
                }
                break;
            case BoolErr:
                pendingRow = -1;
                if (r.size >= 8) {
                    Cell cell;
                    cell.type = r.data[7] ? Cell::Type::Error : Cell::Type::Boolean;
                    cell.number = r.data[6];
                    put(sheet, row, column, std::move(cell));
                }
                break;
            case Formula:
                pendingRow = -1;
                if (r.size >= 14)
                    readFormulaResult(sheet, r, row, column, xf, pendingRow, pendingColumn);
                break;
            case Blank:
            case MulBlank:
                pendingRow = -1;
                break;
            default:
                break; // formats, shared formulas and the like do not end a pending formula string
            }
        }
    }

    void readFormulaResult(Sheet& sheet, const RecordView& r, int row, int column, quint16 xf,
                           int& pendingRow, int& pendingColumn)
    {
        const uchar* v = r.data + 6;
        if (u16(v + 6) != 0xFFFF) {
            put(sheet, row, column, numberCell(f64(v), xf));
            return;
        }
        Cell cell;
        switch (v[0]) {
        case 0: // a text that the STRING record after it holds
            pendingRow = row;
            pendingColumn = column;
            return;
        case 1:
            cell.type = Cell::Type::Boolean;
            cell.number = v[2] ? 1 : 0;
            break;
        case 2:
            cell.type = Cell::Type::Error;
            cell.number = v[2];
            break;
        case 3:
            cell = textCell(QString()); // an empty text
            break;
        default:
            return;
        }
        put(sheet, row, column, std::move(cell));
    }

    const uchar* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
    bool m_biff8;
    bool m_1904 = false;
    CodePageDecoder m_decoder;
    Payload m_sst;                       // the shared-string table, a view over the stream
    std::vector<quint32> m_stringStarts; // where each shared string starts in m_sst
    QHash<quint32, QString> m_decoded;   // shared strings that kept cells use
    std::vector<bool> m_xfIsDate;
    const ReadOptions& m_options;
    qint64 m_progressBase;
    qint64 m_progressTotal;
    int m_keepColumns;
    qsizetype m_reportedAt = 0;
    static constexpr qsizetype ReportEvery = 1 << 20;
};

// ---------------------------------------------------------------------------------------------------

bool startsWith(const QByteArray& bytes, const char* magic, qsizetype size)
{
    return bytes.size() >= size && std::memcmp(bytes.constData(), magic, size_t(size)) == 0;
}

// Where the workbook's bytes come from: the first bytes to tell the format by, and the compound-file
// library's input over the whole file or memory.
struct Source
{
    QByteArray head;                              // the first bytes of the file (all of them in memory)
    std::function<GsfInput*(GError**)> openInput; // the whole file for the compound-file library
    std::function<QByteArray()> readAll;          // the whole file, read within the size limit
    qint64 size = 0;
};

// Reads up to the limit in chunks, reporting progress; a file that turns out larger is refused.
void readChunks(const std::function<gssize(guint8*, gsize)>& readSome, QByteArray& into, qint64 size,
                const ReadOptions& options, qint64 total)
{
    constexpr qint64 Chunk = 4 * 1024 * 1024;
    into.resize(qsizetype(size));
    qint64 done = 0;
    while (done < size) {
        const gssize got =
            readSome(reinterpret_cast<guint8*>(into.data()) + done, gsize(std::min(Chunk, size - done)));
        if (got <= 0)
            throw Failure{damagedText()};
        done += got;
        if (options.progress && !options.progress(done, total))
            throw Cancelled{};
    }
}

// The workbook stream out of the compound file; versionHint becomes 5 for an Excel 5.0/95 "Book" stream.
QByteArray workbookStream(const Source& source, const ReadOptions& options, int& versionHint)
{
    gsf::ensureInitialised();
    GError* error = nullptr;
    gsf::Ptr<GsfInput> input(source.openInput(&error));
    if (error)
        g_error_free(error);
    if (!input)
        throw Failure{notXlsText()};
    error = nullptr;
    gsf::Ptr<GsfInfile> ole(gsf_infile_msole_new(input.get(), &error));
    if (error)
        g_error_free(error);
    if (!ole)
        throw Failure{damagedText()};

    int workbook = -1;
    int book = -1;
    bool encryptedPackage = false;
    const int children = gsf_infile_num_children(ole.get());
    for (int i = 0; i < children; ++i) {
        const char* raw = gsf_infile_name_by_index(ole.get(), i);
        const QString name = raw ? QString::fromUtf8(raw) : QString();
        if (name.compare(QLatin1String("Workbook"), Qt::CaseInsensitive) == 0)
            workbook = i;
        else if (name.compare(QLatin1String("Book"), Qt::CaseInsensitive) == 0)
            book = i;
        else if (name == QLatin1String("EncryptedPackage"))
            encryptedPackage = true;
    }
    if (workbook < 0 && book < 0)
        throw Failure{encryptedPackage ? encryptedText() : notXlsText()};
    versionHint = workbook >= 0 ? 8 : 5;
    gsf::Ptr<GsfInput> stream(gsf_infile_child_by_index(ole.get(), workbook >= 0 ? workbook : book));
    if (!stream)
        throw Failure{damagedText()};
    // A stream can never be larger than the file that holds it; a directory entry that says so is damage.
    const gsf_off_t size = gsf_input_size(stream.get());
    if (size <= 0 || size > source.size || size > options.maxFileSize)
        throw Failure{damagedText()};
    QByteArray data;
    GsfInput* from = stream.get();
    readChunks(
        [from](guint8* into, gsize count) -> gssize {
            return gsf_input_read(from, count, into) ? gssize(count) : -1;
        },
        data, size, options, 2 * qint64(size));
    return data;
}

ReadResult parse(const Source& source, const ReadOptions& options)
{
    ReadResult result;
    try {
        const QByteArray& head = source.head;
        if (head.isEmpty())
            throw Failure{
                QStringLiteral("无法读取该文件：文件是空的，它不是有效的 Excel 97-2003 工作簿(.xls)")};
        int versionHint = 8;
        QByteArray stream;
        if (startsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
            stream = workbookStream(source, options, versionHint);
        } else if (startsWith(head, "PK\x03\x04", 4)) {
            throw Failure{xlsxText()};
        } else if (startsWith(head, "\x09\x08", 2)) {
            stream = source.readAll(); // a bare workbook stream without the compound file around it
        } else if (head.size() >= 4 && head[0] == 0x09 &&
                   (head[1] == 0x00 || head[1] == 0x02 || head[1] == 0x04)) {
            throw Failure{oldFormatText()}; // BOF of the Excel 2.x to 4.0 formats
        } else {
            throw Failure{notXlsText()};
        }
        const qint64 total = 2 * qint64(stream.size());
        result.sheet = Workbook(stream, versionHint, options, stream.size(), total).readFirstSheet();
        result.sheet.rowCount(); // puts the cells in order now, so that reading them changes nothing
        if (options.progress && !options.progress(total, total))
            throw Cancelled{};
        result.ok = true;
    } catch (const Failure& failure) {
        result.sheet = Sheet();
        result.error = failure.text;
    } catch (const Cancelled&) {
        result.sheet = Sheet();
        result.cancelled = true;
        result.error = QStringLiteral("已取消读取");
    } catch (const std::bad_alloc&) {
        result.sheet = Sheet();
        result.error = QStringLiteral("无法读取该文件：内存不足");
    } catch (...) {
        result.sheet = Sheet();
        result.error = damagedText();
    }
    return result;
}

QString tooLargeText(qint64 size, qint64 limit)
{
    const auto mb = [](qint64 bytes) { return QString::number(double(bytes) / (1024 * 1024), 'f', 1); };
    return QStringLiteral("无法读取该文件：文件有 %1 MB，超过了可以读取的上限 %2 MB")
        .arg(mb(size), mb(limit));
}

ReadResult readFile(const QString& path, const ReadOptions& options)
{
    ReadResult result;
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path); // follows links: a link to a device is a device
    if (path.isEmpty() || !info.exists()) {
        result.error = QStringLiteral("文件不存在：") + shown;
        return result;
    }
    if (info.isDir()) {
        result.error = QStringLiteral("无法读取：%1 是一个文件夹，不是 Excel 工作簿").arg(shown);
        return result;
    }
    // Devices, pipes and sockets never end or never start: refused before they are opened.
    if (!info.isFile()) {
        result.error =
            QStringLiteral("无法读取：%1 不是普通文件（可能是设备、管道或套接字），不是 Excel 工作簿")
                .arg(shown);
        return result;
    }
    if (info.size() > options.maxFileSize) {
        result.error = tooLargeText(info.size(), options.maxFileSize);
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        result.error = QStringLiteral("无法打开文件：%1（%2）").arg(shown, file.errorString());
        return result;
    }
    // Checked again on what was opened: the name may have been pointed elsewhere since.
    if (file.isSequential() || file.size() > options.maxFileSize) {
        result.error = file.isSequential()
                           ? QStringLiteral("无法读取：%1 不是普通文件，不是 Excel 工作簿").arg(shown)
                           : tooLargeText(file.size(), options.maxFileSize);
        return result;
    }
    Source source;
    source.size = file.size();
    source.head = file.read(8);
    if (file.error() != QFileDevice::NoError) {
        result.error = QStringLiteral("无法读取文件：%1（%2）").arg(shown, file.errorString());
        return result;
    }
    const QByteArray name = QFile::encodeName(path);
    source.openInput = [name](GError** error) -> GsfInput* {
        return gsf_input_stdio_new(name.constData(), error);
    };
    source.readAll = [&file, &source, &options]() {
        if (!file.seek(0))
            throw Failure{damagedText()};
        QByteArray bytes;
        readChunks(
            [&file](guint8* into, gsize count) -> gssize {
                return gssize(file.read(reinterpret_cast<char*>(into), qint64(count)));
            },
            bytes, source.size, options, 2 * source.size);
        return bytes;
    };
    return parse(source, options);
}

} // namespace

ReadResult readFirstSheetFromMemory(const QByteArray& bytes, const ReadOptions& options)
try {
    Source source;
    source.head = bytes.left(8);
    source.size = bytes.size();
    source.openInput = [&bytes](GError**) -> GsfInput* {
        return gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.constData()), bytes.size(), FALSE);
    };
    source.readAll = [&bytes]() { return bytes; };
    if (bytes.size() > options.maxFileSize) {
        ReadResult result;
        result.error = tooLargeText(bytes.size(), options.maxFileSize);
        return result;
    }
    return parse(source, options);
} catch (...) {
    ReadResult result;
    result.error = QStringLiteral("无法读取该文件：内存不足");
    return result;
}

ReadResult readFirstSheet(const QString& path, const ReadOptions& options)
{
    // The promise not to throw holds on every path, the checks before the read included.
    try {
        return readFile(path, options);
    } catch (...) {
        ReadResult result;
        result.error = QStringLiteral("无法读取该文件：内存不足");
        return result;
    }
}

} // namespace sheet
