#include "sheet/XlsReader.h"

#include "sheet/Biff.h"
#include "sheet/GsfSupport.h"
#include "sheet/NumberFormat.h"
#include "sheet/Readers.h"
#include "sheet/SourceFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cmath>
#include <vector>

namespace sheet {

using namespace biff;

QString detail::encryptedText()
{
    return QStringLiteral("无法读取该文件：工作簿设有打开密码。请先在电子表格程序中取消密码，再导入");
}

namespace {

QString notXlsText()
{
    return QStringLiteral("无法读取该文件：它不是有效的 Excel 97-2003 工作簿(.xls)");
}
QString damagedText()
{
    return QStringLiteral("无法读取该文件：工作簿已损坏或不完整，它不是有效的 Excel 97-2003 工作簿(.xls)");
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

using detail::Cancelled;
using detail::encryptedText;
using detail::Failure;

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
// The workbook stream, read through a buffer of bounded size: never more than a few records of it are held.

class RecordStream
{
public:
    RecordStream(GsfInput* input, qint64 size) : m_input(input), m_size(size), m_buffer(BufferSize) {}

    qint64 size() const { return m_size; }
    qint64 pos() const { return m_bufferStart + m_at; }
    qint64 left() const { return m_size - pos(); }
    const uchar* data() const { return m_buffer.data() + m_at; }
    void skip(qsizetype n) { m_at += n; }

    void seek(qint64 offset)
    {
        if (offset < 0 || offset > m_size || gsf_input_seek(m_input, gsf_off_t(offset), G_SEEK_SET))
            throw Failure{damagedText()};
        m_bufferStart = offset;
        m_at = 0;
        m_filled = 0;
    }

    // Makes n bytes from the current position readable at data(); false when the stream has fewer left.
    bool ensure(qsizetype n)
    {
        if (m_filled - m_at >= n)
            return true;
        if (left() < n)
            return false;
        std::memmove(m_buffer.data(), m_buffer.data() + m_at, std::size_t(m_filled - m_at));
        m_bufferStart += m_at;
        m_filled -= m_at;
        m_at = 0;
        const qsizetype count =
            qsizetype(std::min<qint64>(BufferSize - m_filled, m_size - m_bufferStart - m_filled));
        if (count > 0 && !gsf_input_read(m_input, gsize(count), m_buffer.data() + m_filled))
            throw Failure{damagedText()};
        m_filled += count;
        return m_filled >= n;
    }

private:
    // Holds the largest record a 16-bit length allows, with room to spare for reading ahead.
    static constexpr qsizetype BufferSize = 256 * 1024;

    GsfInput* m_input;
    qint64 m_size;
    std::vector<uchar> m_buffer;
    qint64 m_bufferStart = 0; // stream position of m_buffer[0]
    qsizetype m_at = 0;       // the current position in m_buffer
    qsizetype m_filled = 0;   // bytes of m_buffer that hold stream data
};

struct RecordView
{
    quint16 id = 0;
    const uchar* data = nullptr; // valid until the next record is read
    qsizetype size = 0;
    qint64 offset = 0; // stream position of the record header
};

// A record's payload, read front to back; with follow set the payloads of the CONTINUE records right after
// it go on where it ends. A string's characters that go on in such a record start with a new option-flags
// byte there.
struct Segment
{
    const uchar* data = nullptr;
    qsizetype size = 0;
    qsizetype pos = 0;
    bool follow = false;

    qsizetype left() const { return size - pos; }
};

// ---------------------------------------------------------------------------------------------------

class Workbook
{
public:
    Workbook(GsfInput* input, qint64 size, int versionHint, const ReadOptions& options)
        : m_stream(input, size), m_biff8(versionHint != 5), m_options(options), m_progressTotal(size),
          m_keepColumns(options.columns > 0 ? std::min(options.columns, MaxColumns) : MaxColumns)
    {
    }

    qint64 progressTotal() const { return m_progressTotal; }

    Sheet readFirstSheet()
    {
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
            throw Failure{detail::noWorksheetText()};
        if (sheetPos >= m_stream.size())
            throw Failure{damagedText()};
        m_stream.seek(sheetPos);
        if (!next(bof) || bof.id != Bof)
            throw Failure{damagedText()};
        Sheet sheet;
        readCells(sheet);
        resolveSharedStrings(sheet);
        return sheet;
    }

private:
    // The next record; false at the end of the stream. A record cut off by the stream's end is damage.
    bool next(RecordView& r)
    {
        const qint64 left = m_stream.left();
        if (left < 4) {
            if (left > 0 && m_stream.ensure(qsizetype(left)) &&
                std::any_of(m_stream.data(), m_stream.data() + left, [](uchar b) { return b; }))
                throw Failure{damagedText()};
            return false;
        }
        m_stream.ensure(4);
        r.offset = m_stream.pos();
        r.id = u16(m_stream.data());
        r.size = u16(m_stream.data() + 2);
        if (r.size > left - 4 || !m_stream.ensure(4 + r.size))
            throw Failure{damagedText()};
        r.data = m_stream.data() + 4;
        m_stream.skip(4 + r.size);
        m_done += 4 + r.size;
        if (m_options.progress && m_done - m_reportedAt >= ReportEvery) {
            m_reportedAt = m_done;
            // While the shared-string table is counted, its size so far is counted twice, for the second
            // pass: the share done only grows as the whole work becomes known.
            const qint64 total = m_progressTotal + (m_countingFrom >= 0 ? m_done - m_countingFrom : 0);
            // A damaged workbook can point back to records already read: the work done stays within the
            // whole.
            if (!m_options.progress(std::min(m_done, total), total))
                throw Cancelled{};
        }
        return true;
    }

    // True when the next record is a CONTINUE record.
    bool continueFollows()
    {
        return m_stream.left() >= 4 && m_stream.ensure(4) && u16(m_stream.data()) == Continue;
    }

    // Moves on to the payload of the CONTINUE record after the segment; false when there is none.
    bool nextSegment(Segment& s)
    {
        if (!s.follow || !continueFollows())
            return false;
        RecordView more;
        next(more);
        s.data = more.data;
        s.size = more.size;
        s.pos = 0;
        return true;
    }

    // Passes over the CONTINUE records that belong to the record just read.
    void skipContinues()
    {
        RecordView more;
        while (continueFollows())
            next(more);
    }

    // n payload bytes into out (or passed over with out == nullptr), across CONTINUE records; false when the
    // payload ends first.
    bool take(Segment& s, uchar* out, qint64 n)
    {
        while (n > 0) {
            if (s.left() == 0) {
                if (!nextSegment(s))
                    return false;
                continue;
            }
            const qsizetype step = qsizetype(std::min<qint64>(n, s.left()));
            if (out) {
                std::memcpy(out, s.data + s.pos, std::size_t(step));
                out += step;
            }
            s.pos += step;
            n -= step;
        }
        return true;
    }

    // True when nothing of the payload is left, its CONTINUE records included.
    bool atEnd(Segment& s) { return s.left() == 0 && !(s.follow && continueFollows()); }

    // Reads one BIFF8 unicode string (XLUnicodeString or XLUnicodeRichExtendedString) and moves past it,
    // rich-text runs and phonetic data included; with out == nullptr only moves past it. Returns false when
    // the payload ends inside the string.
    bool readUnicodeString(Segment& s, bool lengthIs16, QString* out)
    {
        // A string that starts a CONTINUE record has no flags byte of its own there.
        if (s.left() == 0 && !nextSegment(s))
            return false;
        uchar head[2] = {0, 0};
        const int lengthBytes = lengthIs16 ? 2 : 1;
        if (!take(s, head, lengthBytes))
            return false;
        qsizetype remaining = lengthIs16 ? u16(head) : head[0];
        uchar flags = 0;
        if (!take(s, &flags, 1))
            return false;
        bool wide = flags & 0x01;
        quint32 runs = 0;
        quint32 extra = 0;
        uchar word[4];
        if (flags & 0x08) {
            if (!take(s, word, 2))
                return false;
            runs = u16(word);
        }
        if (flags & 0x04) {
            if (!take(s, word, 4))
                return false;
            extra = u32(word);
        }
        if (out) {
            out->clear();
            out->reserve(remaining);
        }
        while (remaining > 0) {
            if (s.left() == 0) {
                if (!nextSegment(s) || !take(s, &flags, 1))
                    return false;
                wide = flags & 0x01; // a new record: new flags for the characters that follow
                continue;
            }
            const qsizetype fit = std::min<qsizetype>(remaining, s.left() / (wide ? 2 : 1));
            if (fit == 0) {
                s.pos = s.size; // a stray half character before a record start
                continue;
            }
            const uchar* p = s.data + s.pos;
            if (out && wide) {
                const qsizetype at = out->size();
                out->resize(at + fit);
                QChar* dst = out->data() + at;
                for (qsizetype i = 0; i < fit; ++i)
                    dst[i] = QChar(u16(p + 2 * i));
            } else if (out) {
                out->append(QLatin1StringView(reinterpret_cast<const char*>(p), fit));
            }
            s.pos += fit * (wide ? 2 : 1);
            remaining -= fit;
        }
        return take(s, nullptr, qint64(runs) * 4 + qint64(extra));
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
        Segment s{r.data, r.size, pos, false};
        return readUnicodeString(s, true, &out);
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
                    countSharedStrings(r);
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

    // The shared-string table is only counted here: the texts that kept cells use are decoded after the
    // worksheet, in a second pass over the table, so that the table never has to be held.
    void countSharedStrings(const RecordView& r)
    {
        m_sstOffset = r.offset;
        m_sstCount = 0;
        m_countingFrom = m_done - 4 - r.size;
        Segment s{r.data, r.size, 0, true};
        if (take(s, nullptr, 8)) {
            while (!atEnd(s) && readUnicodeString(s, true, nullptr))
                ++m_sstCount; // a table cut short: the cells of the missing strings read as empty
        }
        skipContinues();
        m_progressTotal += m_done - m_countingFrom;
        m_countingFrom = -1;
    }

    // A kept cell with a shared string: a text cell that holds the string's index + 1 until the strings
    // are decoded.
    void putSharedString(Sheet& sheet, int row, int column, quint32 index)
    {
        if (index >= m_sstCount || !kept(column))
            return;
        Cell cell;
        cell.type = Cell::Type::Text;
        cell.number = double(index) + 1;
        sheet.setCell(row, column, std::move(cell));
        m_pending.push_back(Pending{row, column, index});
    }

    // Decodes the shared strings that kept cells use, in one pass over the table, and puts them in the cells.
    void resolveSharedStrings(Sheet& sheet)
    {
        if (m_pending.empty())
            return;
        std::vector<quint32> needed;
        needed.reserve(m_pending.size());
        for (const Pending& p : m_pending)
            needed.push_back(p.index);
        std::sort(needed.begin(), needed.end());
        needed.erase(std::unique(needed.begin(), needed.end()), needed.end());
        std::vector<QString> texts(needed.size());

        m_stream.seek(m_sstOffset);
        RecordView r;
        if (!next(r) || r.id != Sst)
            throw Failure{damagedText()};
        Segment s{r.data, r.size, 0, true};
        if (!take(s, nullptr, 8))
            throw Failure{damagedText()};
        std::size_t wanted = 0;
        for (quint32 index = 0; wanted < needed.size(); ++index) {
            const bool keep = needed[wanted] == index;
            if (!readUnicodeString(s, true, keep ? &texts[wanted] : nullptr))
                throw Failure{damagedText()}; // the same bytes read well the first time
            if (keep)
                ++wanted;
        }

        for (const Pending& p : m_pending) {
            Cell* cell = sheet.find(p.row, p.column);
            // A later value at the same place has replaced the shared string.
            if (!cell || cell->type != Cell::Type::Text || !cell->text.isNull() ||
                cell->number != double(p.index) + 1)
                continue;
            const auto at = std::lower_bound(needed.cbegin(), needed.cend(), p.index);
            cell->text = texts[std::size_t(at - needed.cbegin())];
            cell->number = 0;
        }
        std::vector<Pending>().swap(m_pending);
    }

private:
    bool isDateXf(quint16 xf) const { return xf < m_xfIsDate.size() && m_xfIsDate[xf]; }

    // A number cell, a date when its format shows one.
    Cell numberCell(double value, quint16 xf) const { return sheet::numberCell(value, isDateXf(xf), m_1904); }

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

    bool kept(int column) const { return column < m_keepColumns; }
    void put(Sheet& sheet, int row, int column, Cell cell) const
    {
        if (kept(column))
            sheet.setCell(row, column, std::move(cell));
    }

    // Room for the kept cells of the worksheet's DIMENSIONS record, as far as the bytes left can hold
    // them (the record may lie; the smallest cell record takes 6 bytes).
    void reserveFor(Sheet& sheet, const RecordView& r) const
    {
        qint64 rows = 0;
        int firstColumn = 0;
        int endColumn = 0;
        if (m_biff8 && r.size >= 12) {
            rows = qint64(u32(r.data + 4)) - qint64(u32(r.data));
            firstColumn = u16(r.data + 8);
            endColumn = u16(r.data + 10);
        } else if (!m_biff8 && r.size >= 8) {
            rows = qint64(u16(r.data + 2)) - qint64(u16(r.data));
            firstColumn = u16(r.data + 4);
            endColumn = u16(r.data + 6);
        }
        const qint64 columns = std::min(endColumn, m_keepColumns) - firstColumn;
        if (rows > 0 && columns > 0)
            sheet.reserve(qsizetype(std::min(rows * columns, m_stream.left() / 6)));
    }

    void readCells(Sheet& sheet)
    {
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
            if (r.id == Dimensions) {
                reserveFor(sheet, r);
                continue;
            }
            if (r.id == String) {
                if (pendingRow >= 0) {
                    QString text;
                    bool ok;
                    if (m_biff8) {
                        Segment s{r.data, r.size, 0, true};
                        ok = readUnicodeString(s, true, &text);
                        skipContinues();
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
                if (r.size >= 10)
                    putSharedString(sheet, row, column, u32(r.data + 6));
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

    struct Pending
    {
        int row;
        int column;
        quint32 index; // into the shared-string table
    };

    RecordStream m_stream;
    bool m_biff8;
    bool m_1904 = false;
    CodePageDecoder m_decoder;
    qint64 m_sstOffset = -1;        // stream position of the shared-string table
    quint32 m_sstCount = 0;         // strings that the table holds
    std::vector<Pending> m_pending; // kept cells whose shared strings are still to be decoded
    std::vector<bool> m_xfIsDate;
    const ReadOptions& m_options;
    qint64 m_progressTotal; // the stream, and the shared-string table once more
    int m_keepColumns;
    qint64 m_done = 0;          // bytes of records read so far
    qint64 m_countingFrom = -1; // m_done where the shared-string table began while it is counted
    qint64 m_reportedAt = 0;
    static constexpr qint64 ReportEvery = 1 << 20;
};

// ---------------------------------------------------------------------------------------------------

// Where the workbook's bytes come from: the first bytes to tell the format by, and the compound-file
// library's input over the whole file or memory.
struct Source
{
    QByteArray head;                              // the first bytes of the file (all of them in memory)
    std::function<GsfInput*(GError**)> openInput; // the whole file for the compound-file library
    qint64 size = 0;
};

gsf::Ptr<GsfInput> openInput(const Source& source)
{
    gsf::ensureInitialised();
    GError* error = nullptr;
    gsf::Ptr<GsfInput> input(source.openInput(&error));
    if (error)
        g_error_free(error);
    if (!input)
        throw Failure{notXlsText()};
    return input;
}

// The workbook stream inside the compound file; versionHint becomes 5 for an Excel 5.0/95 "Book" stream.
// The compound file is kept in ole while the stream is read.
gsf::Ptr<GsfInput> workbookStream(GsfInput* input, gsf::Ptr<GsfInfile>& ole, int& versionHint)
{
    GError* error = nullptr;
    ole.reset(gsf_infile_msole_new(input, &error));
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
    return stream;
}

Expected<Sheet> parse(const Source& source, const ReadOptions& options)
{
    return detail::guarded(
        [&] {
            const QByteArray& head = source.head;
            if (head.isEmpty())
                throw Failure{
                    QStringLiteral("无法读取该文件：文件是空的，它不是有效的 Excel 97-2003 工作簿(.xls)")};
            int versionHint = 8;
            gsf::Ptr<GsfInput> input;
            gsf::Ptr<GsfInfile> ole;
            gsf::Ptr<GsfInput> stream;
            if (detail::startsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
                input = openInput(source);
                stream = workbookStream(input.get(), ole, versionHint);
            } else if (detail::startsWith(head, "PK\x03\x04", 4)) {
                throw Failure{xlsxText()};
            } else if (detail::startsWith(head, "\x09\x08", 2)) {
                stream = openInput(source); // a bare workbook stream without the compound file around it
            } else if (detail::isOldXlsHead(head)) {
                throw Failure{oldFormatText()};
            } else {
                throw Failure{notXlsText()};
            }
            // A stream can never be larger than the file that holds it; a directory entry that says so is
            // damage.
            const gsf_off_t size = gsf_input_size(stream.get());
            if (size <= 0 || size > source.size || size > options.maxFileSize)
                throw Failure{damagedText()};
            Workbook workbook(stream.get(), qint64(size), versionHint, options);
            Sheet sheet = workbook.readFirstSheet();
            const qint64 total = workbook.progressTotal();
            if (options.progress && !options.progress(total, total))
                throw Cancelled{};
            return sheet;
        },
        damagedText());
}

Expected<Sheet> readFile(const QString& path, const ReadOptions& options)
{
    QFile file;
    if (const Result opened = openSourceFile(path, options.maxFileSize, file); !opened.ok())
        return detail::failed(opened.error());
    Source source;
    source.size = file.size();
    source.head = file.read(8);
    if (file.error() != QFileDevice::NoError)
        return detail::failed(readErrorText(path, file.errorString()));
    const QByteArray name = QFile::encodeName(path);
    source.openInput = [name](GError** error) -> GsfInput* {
        return gsf_input_stdio_new(name.constData(), error);
    };
    return parse(source, options);
}

} // namespace

Expected<Sheet> readFirstSheetFromMemory(const QByteArray& bytes, const ReadOptions& options)
try {
    Source source;
    source.head = bytes.left(8);
    source.size = bytes.size();
    source.openInput = [&bytes](GError**) -> GsfInput* {
        return gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.constData()), bytes.size(), FALSE);
    };
    if (bytes.size() > options.maxFileSize)
        return detail::failed(tooLargeText(bytes.size(), options.maxFileSize));
    return parse(source, options);
} catch (...) {
    return detail::failed(detail::outOfMemoryText());
}

Expected<Sheet> readFirstSheet(const QString& path, const ReadOptions& options)
{
    // The promise not to throw holds on every path, the checks before the read included.
    try {
        return readFile(path, options);
    } catch (...) {
        return detail::failed(detail::outOfMemoryText());
    }
}

} // namespace sheet
