#include "sheet/XlsWriter.h"

#include "sheet/Biff.h"
#include "sheet/GsfSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <initializer_list>

namespace sheet {

using namespace biff;

namespace {

constexpr quint16 CellXf = 15;        // the default cell format
constexpr int RowsPerBlock = 32;      // rows whose cells are indexed by one DBCELL
constexpr quint16 RowHeight = 0x00FF; // twips

void record(QByteArray& out, quint16 id, const QByteArray& data)
{
    put16(out, id);
    put16(out, quint16(data.size()));
    out.append(data);
}

// A record whose data is a row of 16-bit values.
void record16(QByteArray& out, quint16 id, std::initializer_list<quint16> values)
{
    put16(out, id);
    put16(out, quint16(2 * values.size()));
    for (const quint16 v : values)
        put16(out, v);
}

bool needsWideChars(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
}

void appendChars(QByteArray& out, QStringView text, bool wide)
{
    const qsizetype at = out.size();
    out.resize(at + text.size() * (wide ? 2 : 1));
    char* p = out.data() + at;
    if (wide) {
        for (const QChar c : text) {
            *p++ = char(c.unicode() & 0xFF);
            *p++ = char(c.unicode() >> 8);
        }
    } else {
        for (const QChar c : text)
            *p++ = char(c.unicode());
    }
}

// A string with its character count in lengthBytes bytes (1 or 2) and its option flags.
void appendUnicodeString(QByteArray& out, QStringView text, int lengthBytes)
{
    const bool wide = needsWideChars(text);
    if (lengthBytes == 1)
        out.append(char(text.size()));
    else
        put16(out, quint16(text.size()));
    out.append(char(wide ? 0x01 : 0x00));
    appendChars(out, text, wide);
}

QByteArray bof(quint16 kind)
{
    QByteArray d;
    put16(d, Biff8Version);
    put16(d, kind);
    put16(d, 0x0DBB); // build
    put16(d, 0x07CC); // year
    put32(d, 0);      // file history
    put32(d, 0x0006); // lowest version that can read the file
    return d;
}

QByteArray font(const QString& name, quint16 height)
{
    QByteArray d;
    put16(d, height);
    put16(d, 0);       // no italic, strike-out, outline, shadow
    put16(d, 0x7FFF);  // automatic colour
    put16(d, 400);     // normal weight
    put16(d, 0);       // no super- or subscript
    d.append(char(0)); // no underline
    d.append(char(0)); // family
    d.append(char(0)); // character set
    d.append(char(0));
    appendUnicodeString(d, name, 1);
    return d;
}

QByteArray xf(quint16 fontIndex, quint16 formatIndex, bool style, uchar usedAttributes)
{
    QByteArray d;
    put16(d, fontIndex);
    put16(d, formatIndex);
    put16(d, style ? 0xFFF5 : 0x0001); // locked; a style has no parent, a cell has the Normal style
    d.append(char(0x20));              // bottom aligned
    d.append(char(0));                 // no rotation
    d.append(char(0));                 // no indent
    d.append(char(usedAttributes));
    put32(d, 0); // no borders
    put32(d, 0);
    put16(d, 0x20C0); // automatic pattern colours
    return d;
}

// The distinct texts of all sheets in order of first use (the shared-string table), each kept once.
// An open-addressing table: a general-purpose hash costs several times more here, where every cell of a
// large export passes through it.
class TextPool
{
public:
    TextPool() { m_slots.assign(1024, 0); }

    quint32 indexOf(const QString& text)
    {
        if ((m_texts.size() + 1) * 2 > m_slots.size())
            grow();
        const quint32 hash = hashOf(text);
        for (std::size_t slot = hash & (m_slots.size() - 1);; slot = (slot + 1) & (m_slots.size() - 1)) {
            const quint32 entry = m_slots[slot];
            if (entry == 0) {
                m_texts.push_back(text);
                m_hashes.push_back(hash);
                m_slots[slot] = quint32(m_texts.size());
                return quint32(m_texts.size() - 1);
            }
            if (m_hashes[entry - 1] == hash && m_texts[entry - 1] == text)
                return entry - 1;
        }
    }
    const std::vector<QString>& texts() const { return m_texts; }

private:
    static quint32 hashOf(const QString& text)
    {
        quint32 h = 2166136261u; // FNV-1a over the UTF-16 units
        for (const QChar c : text)
            h = (h ^ c.unicode()) * 16777619u;
        return h ^ (h >> 15);
    }
    void grow()
    {
        std::vector<quint32> slots(m_slots.size() * 2, 0);
        const std::size_t mask = slots.size() - 1;
        for (std::size_t i = 0; i < m_texts.size(); ++i) {
            std::size_t slot = m_hashes[i] & mask;
            while (slots[slot] != 0)
                slot = (slot + 1) & mask;
            slots[slot] = quint32(i + 1);
        }
        m_slots.swap(slots);
    }

    std::vector<QString> m_texts;
    std::vector<quint32> m_hashes;
    std::vector<quint32> m_slots; // 0 free, else the text's index + 1
};

// One sheet's rows: the non-empty cells of every row, as column and text index.
struct SheetRows
{
    struct Entry
    {
        quint16 column;
        quint32 text;
    };
    int rowCount = 0;                  // rows appended, also those over the limit (which are not kept)
    std::vector<quint32> rowStarts{0}; // where each kept row's cells start in cells, and the end
    std::vector<Entry> cells;

    int keptRows() const { return int(rowStarts.size()) - 1; }
};

// SST with CONTINUE records as needed, then EXTSST. A string's characters may run on into the next record,
// which then starts with a new flags byte; a surrogate pair is never cut apart.
void writeSst(QByteArray& out, const std::vector<QString>& texts, quint32 total)
{
    const quint32 unique = quint32(texts.size());
    const quint32 perBucket = std::max<quint32>(8, (unique + 127) / 128);
    std::vector<std::pair<quint32, quint16>> buckets; // stream position and offset within its record

    qsizetype recordStart = out.size();
    put16(out, Sst);
    put16(out, 0);
    put32(out, total);
    put32(out, unique);
    auto left = [&] { return qsizetype(MaxRecordData) - (out.size() - recordStart - 4); };
    auto finishRecord = [&] { set16(out, recordStart + 2, quint16(out.size() - recordStart - 4)); };
    auto startContinue = [&] {
        finishRecord();
        recordStart = out.size();
        put16(out, Continue);
        put16(out, 0);
    };

    for (quint32 i = 0; i < unique; ++i) {
        const QString& text = texts[i];
        const bool wide = needsWideChars(text);
        const int unit = wide ? 2 : 1;
        if (left() < 3 + (text.isEmpty() ? 0 : unit))
            startContinue(); // the string's header and first character stay together
        if (i % perBucket == 0)
            buckets.emplace_back(quint32(out.size()), quint16(out.size() - recordStart));
        put16(out, quint16(text.size()));
        out.append(char(wide ? 0x01 : 0x00));
        qsizetype done = 0;
        while (done < text.size()) {
            qsizetype fit = std::min<qsizetype>(left() / unit, text.size() - done);
            if (fit < text.size() - done && fit > 0 && text.at(done + fit - 1).isHighSurrogate())
                --fit; // keep the pair together in the next record
            if (fit == 0) {
                startContinue();
                out.append(char(wide ? 0x01 : 0x00));
                continue;
            }
            appendChars(out, QStringView(text).mid(done, fit), wide);
            done += fit;
        }
    }
    finishRecord();

    QByteArray ext;
    put16(ext, quint16(perBucket));
    for (const auto& [position, offset] : buckets) {
        put32(ext, position);
        put16(ext, offset);
        put16(ext, 0);
    }
    record(out, ExtSst, ext);
}

void writeSheet(QByteArray& out, const SheetRows& sheet, bool first)
{
    std::vector<int> filledRows; // rows with at least one non-empty cell
    int firstColumn = MaxColumns;
    int endColumn = 0;
    for (int r = 0; r < sheet.keptRows(); ++r) {
        const quint32 begin = sheet.rowStarts[std::size_t(r)];
        const quint32 end = sheet.rowStarts[std::size_t(r) + 1];
        if (begin == end)
            continue;
        filledRows.push_back(r);
        firstColumn = std::min<int>(firstColumn, sheet.cells[begin].column);
        endColumn = std::max<int>(endColumn, sheet.cells[end - 1].column + 1);
    }
    if (filledRows.empty())
        firstColumn = 0;
    const int blocks = int((filledRows.size() + RowsPerBlock - 1) / RowsPerBlock);
    const quint32 firstRow = filledRows.empty() ? 0 : quint32(filledRows.front());
    const quint32 endRow = filledRows.empty() ? 0 : quint32(filledRows.back() + 1);

    record(out, Bof, bof(0x0010));
    const qsizetype indexAt = out.size() + 4;
    QByteArray index;
    put32(index, 0);
    put32(index, firstRow);
    put32(index, endRow);
    put32(index, 0); // DEFCOLWIDTH position, set below
    for (int b = 0; b < blocks; ++b)
        put32(index, 0); // DBCELL positions, set below
    record(out, Index, index);

    record16(out, CalcMode, {1});
    record16(out, CalcCount, {100});
    record16(out, RefMode, {1});
    record16(out, Iteration, {0});
    record16(out, Delta, {0xA9FC, 0xD2F1, 0x624D, 0x3F50}); // 0.001
    record16(out, SaveRecalc, {1});
    record16(out, PrintHeaders, {0});
    record16(out, PrintGridlines, {0});
    record16(out, GridSet, {1});
    record16(out, Guts, {0, 0, 0, 0});
    record16(out, DefaultRowHeight, {0, RowHeight});
    record16(out, WsBool, {0x04C1});
    record(out, Header, {});
    record(out, Footer, {});
    record16(out, HCenter, {0});
    record16(out, VCenter, {0});
    set32(out, indexAt + 12, quint32(out.size()));
    record16(out, DefColWidth, {8});
    QByteArray dimensions;
    put32(dimensions, firstRow);
    put32(dimensions, endRow);
    put16(dimensions, quint16(firstColumn));
    put16(dimensions, quint16(endColumn));
    put16(dimensions, 0);
    record(out, Dimensions, dimensions);

    for (int b = 0; b < blocks; ++b) {
        const std::size_t from = std::size_t(b) * RowsPerBlock;
        const std::size_t to = std::min(filledRows.size(), from + RowsPerBlock);
        const qsizetype firstRowRecord = out.size();
        for (std::size_t i = from; i < to; ++i) {
            const int r = filledRows[i];
            const quint32 begin = sheet.rowStarts[std::size_t(r)];
            const quint32 end = sheet.rowStarts[std::size_t(r) + 1];
            put16(out, Row);
            put16(out, 16);
            put16(out, quint16(r));
            put16(out, sheet.cells[begin].column);
            put16(out, quint16(sheet.cells[end - 1].column + 1));
            put16(out, RowHeight);
            put16(out, 0);
            put16(out, 0);
            put32(out, 0x00000100u | (quint32(CellXf) << 16));
        }
        std::vector<qsizetype> cellStarts;
        for (std::size_t i = from; i < to; ++i) {
            cellStarts.push_back(out.size());
            const int r = filledRows[i];
            const quint32 begin = sheet.rowStarts[std::size_t(r)];
            const quint32 end = sheet.rowStarts[std::size_t(r) + 1];
            const qsizetype at = out.size();
            out.resize(at + qsizetype(end - begin) * 14);
            uchar* p = reinterpret_cast<uchar*>(out.data() + at);
            for (quint32 c = begin; c < end; ++c, p += 14) {
                const quint16 values[5] = {LabelSst, 10, quint16(r), sheet.cells[c].column, CellXf};
                for (int k = 0; k < 5; ++k) {
                    p[2 * k] = uchar(values[k] & 0xFF);
                    p[2 * k + 1] = uchar(values[k] >> 8);
                }
                const quint32 text = sheet.cells[c].text;
                for (int k = 0; k < 4; ++k)
                    p[10 + k] = uchar((text >> (8 * k)) & 0xFF);
            }
        }
        set32(out, indexAt + 16 + 4 * b, quint32(out.size()));
        QByteArray dbcell;
        put32(dbcell, quint32(out.size() - firstRowRecord));
        // The first cells relative to the second ROW record, the others relative to the row before.
        put16(dbcell, quint16(cellStarts[0] - (firstRowRecord + 20)));
        for (std::size_t i = 1; i < cellStarts.size(); ++i)
            put16(dbcell, quint16(cellStarts[i] - cellStarts[i - 1]));
        record(out, DbCell, dbcell);
    }

    QByteArray window;
    put16(window, first ? 0x06B6 : 0x00B6); // grid, headings, zeros, outline; the first sheet selected
    put16(window, 0);                       // top row
    put16(window, 0);                       // left column
    put16(window, 0x0040);                  // automatic grid colour
    put16(window, 0);
    put16(window, 0); // zoom of the page-break preview
    put16(window, 0); // zoom of the normal view
    put32(window, 0);
    record(out, Window2, window);
    QByteArray selection;
    selection.append(char(3)); // the top-left pane
    put16(selection, 0);
    put16(selection, 0);
    put16(selection, 0);
    put16(selection, 1);
    put16(selection, 0);
    put16(selection, 0);
    selection.append(char(0));
    selection.append(char(0));
    record(out, Selection, selection);
    record(out, Eof, {});
}
} // namespace

struct XlsWriter::Data
{
    TextPool texts;
    std::vector<SheetRows> sheets;
    quint32 cellCount = 0;
    QString firstError; // the first row over the column or text limits
};

XlsWriter::XlsWriter(int sheetCount) : d(std::make_unique<Data>())
{
    d->sheets.resize(std::size_t(std::max(1, sheetCount)));
}

XlsWriter::~XlsWriter() = default;
XlsWriter::XlsWriter(XlsWriter&&) noexcept = default;
XlsWriter& XlsWriter::operator=(XlsWriter&&) noexcept = default;

int XlsWriter::sheetCount() const
{
    return int(d->sheets.size());
}

void XlsWriter::appendRow(int sheetIndex, const QStringList& cells)
{
    if (sheetIndex < 0 || sheetIndex >= sheetCount())
        return;
    SheetRows& sheet = d->sheets[std::size_t(sheetIndex)];
    const int row = sheet.rowCount++;
    if (row >= MaxRows)
        return; // refused on saving; nothing more is kept
    if (cells.size() > MaxColumns && d->firstError.isEmpty())
        d->firstError = QStringLiteral("Excel 工作表最多只能容纳 %1 列，第 %2 行有 %3 列")
                            .arg(MaxColumns)
                            .arg(row + 1)
                            .arg(cells.size());
    const qsizetype columns = std::min<qsizetype>(cells.size(), MaxColumns);
    for (qsizetype c = 0; c < columns; ++c) {
        const QString& text = cells[c];
        if (text.isEmpty())
            continue;
        if (text.size() > MaxTextLength && d->firstError.isEmpty())
            d->firstError =
                QStringLiteral("第 %1 行第 %2 列的文本有 %3 个字符，超过了 Excel 单元格最多 %4 个字符的限制")
                    .arg(row + 1)
                    .arg(c + 1)
                    .arg(text.size())
                    .arg(MaxTextLength);
        sheet.cells.push_back(SheetRows::Entry{quint16(c), d->texts.indexOf(text)});
        ++d->cellCount;
    }
    sheet.rowStarts.push_back(quint32(sheet.cells.size()));
}

int XlsWriter::rowCount(int sheetIndex) const
{
    if (sheetIndex < 0 || sheetIndex >= sheetCount())
        return 0;
    return d->sheets[std::size_t(sheetIndex)].rowCount;
}

Result XlsWriter::checkLimits() const
{
    for (const SheetRows& sheet : d->sheets) {
        if (sheet.rowCount > MaxRows)
            return Result::failure(QStringLiteral("Excel 工作表最多只能容纳 %1 行，当前有 %2 行")
                                       .arg(MaxRows)
                                       .arg(sheet.rowCount),
                                   Result::Code::TooManyRows);
    }
    return d->firstError.isEmpty() ? Result::success() : Result::failure(d->firstError);
}

QByteArray XlsWriter::workbookStream() const
{
    QByteArray out;
    out.reserve(4096 + qsizetype(d->cellCount) * 16 + qsizetype(d->texts.texts().size()) * 24);

    record(out, Bof, bof(0x0005));
    record16(out, InterfaceHdr, {1200});
    record16(out, Mms, {0});
    record(out, InterfaceEnd, {});
    QByteArray access;
    appendUnicodeString(access, u"lanshu", 2);
    access.append(112 - access.size(), ' ');
    record(out, WriteAccess, access);
    record16(out, CodePage, {1200});
    record16(out, Dsf, {0});
    QByteArray tabs;
    for (int s = 0; s < sheetCount(); ++s)
        put16(tabs, quint16(s + 1));
    record(out, TabId, tabs);
    record16(out, FnGroupCount, {0x000E});
    record16(out, WindowProtect, {0});
    record16(out, Protect, {0});
    record16(out, Password, {0});
    record16(out, Prot4Rev, {0});
    record16(out, Prot4RevPass, {0});
    // Window position and size, visible, first sheet active, one sheet selected, tab bar width.
    record16(out, Window1, {0x0168, 0x001E, 0x3FCF, 0x2A4E, 0x0038, 0, 0, 1, 0x0258});
    record16(out, Backup, {0});
    record16(out, HideObj, {0});
    record16(out, DateMode, {0});
    record16(out, Precision, {1});
    record16(out, RefreshAll, {0});
    record16(out, BookBool, {0});
    // Five fonts: the index 4 does not exist, so the fifth record is font 5.
    for (int i = 0; i < 5; ++i)
        record(out, Font, font(QStringLiteral("Arial"), 200));

    static const std::pair<quint16, const char16_t*> formats[] = {
        {5, u"\"$\"#,##0_);\\(\"$\"#,##0\\)"},
        {6, u"\"$\"#,##0_);[Red]\\(\"$\"#,##0\\)"},
        {7, u"\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)"},
        {8, u"\"$\"#,##0.00_);[Red]\\(\"$\"#,##0.00\\)"},
        {42, u"_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)"},
        {41, u"_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)"},
        {44, u"_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)"},
        {43, u"_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)"},
    };
    for (const auto& [id, code] : formats) {
        QByteArray d;
        put16(d, id);
        appendUnicodeString(d, QStringView(code), 2);
        record(out, Format, d);
    }

    // Style formats 0-14 (Normal and the outline levels), the cell format 15, and the built-in styles.
    record(out, Xf, xf(0, 0, true, 0x00));
    for (const quint16 f : {1, 1, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})
        record(out, Xf, xf(f, 0, true, 0xF4));
    record(out, Xf, xf(0, 0, false, 0x00));
    for (const quint16 format : {43, 41, 44, 42, 9})
        record(out, Xf, xf(1, format, true, 0xF8));
    // Normal, Comma, Comma [0], Currency, Currency [0], Percent.
    record16(out, Style, {0x8000, 0xFF00});
    record16(out, Style, {0x8010, 0xFF03});
    record16(out, Style, {0x8011, 0xFF06});
    record16(out, Style, {0x8012, 0xFF04});
    record16(out, Style, {0x8013, 0xFF07});
    record16(out, Style, {0x8014, 0xFF05});
    record16(out, UsesElfs, {0});

    std::vector<qsizetype> sheetPositionAt;
    for (int s = 0; s < sheetCount(); ++s) {
        QByteArray d;
        put32(d, 0);       // the sheet's BOF position, set below
        d.append(char(0)); // visible
        d.append(char(0)); // worksheet
        appendUnicodeString(d, QStringLiteral("Sheet%1").arg(s + 1), 1);
        sheetPositionAt.push_back(out.size() + 4);
        record(out, BoundSheet, d);
    }
    record16(out, Country, {1, 86});
    writeSst(out, d->texts.texts(), d->cellCount);
    record(out, Eof, {});

    for (int s = 0; s < sheetCount(); ++s) {
        set32(out, sheetPositionAt[std::size_t(s)], quint32(out.size()));
        writeSheet(out, d->sheets[std::size_t(s)], s == 0);
    }
    return out;
}

namespace {

QString buildFailedText()
{
    return QStringLiteral("无法生成 Excel 工作簿");
}

// The compound file holding the workbook stream, in memory; null when the library fails. The stream is
// released as soon as it is copied in.
gsf::Ptr<GsfOutput> compoundFile(QByteArray stream)
{
    gsf::ensureInitialised();
    gsf::Ptr<GsfOutput> sink(gsf_output_memory_new());
    gsf::Ptr<GsfOutfile> ole(gsf_outfile_msole_new_full(sink.get(), 512, 64));
    if (!ole)
        return nullptr;
    {
        gsf::Ptr<GsfOutput> child(gsf_outfile_new_child(ole.get(), "Workbook", FALSE));
        if (!child || !gsf_output_write(child.get(), size_t(stream.size()),
                                        reinterpret_cast<const guint8*>(stream.constData())))
            return nullptr;
        stream = QByteArray();
        if (!gsf_output_close(child.get()))
            return nullptr;
    }
    if (!gsf_output_close(GSF_OUTPUT(ole.get())) || gsf_output_size(sink.get()) <= 0 ||
        !gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get())))
        return nullptr;
    return sink;
}

QByteArrayView bytesOf(GsfOutput* sink)
{
    return QByteArrayView(reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink))),
                          qsizetype(gsf_output_size(sink)));
}

} // namespace

Expected<QByteArray> XlsWriter::toBytes() const
{
    if (Result limits = checkLimits(); !limits.ok())
        return limits;
    const gsf::Ptr<GsfOutput> file = compoundFile(workbookStream());
    if (!file)
        return Result::failure(buildFailedText());
    return bytesOf(file.get()).toByteArray();
}

Result XlsWriter::save(const QString& path) const
{
    if (Result limits = checkLimits(); !limits.ok())
        return limits;
    const gsf::Ptr<GsfOutput> built = compoundFile(workbookStream());
    if (!built)
        return Result::failure(buildFailedText());
    const QByteArrayView bytes = bytesOf(built.get());
    const QString shown = QDir::toNativeSeparators(path);
    // A link under the name is replaced itself, as the saving below would write into what it points to.
    if (QFileInfo(path).isSymLink() && !QFile::remove(path))
        return Result::failure(QStringLiteral("无法保存文件：%1（无法替换这个链接）").arg(shown));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Result::failure(QStringLiteral("无法保存文件：%1（%2）").arg(shown, file.errorString()));
    // The workbook holds every management password: readable by the user alone.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return Result::failure(QStringLiteral("无法保存文件：%1（%2）").arg(shown, reason));
    }
    if (!file.commit())
        return Result::failure(QStringLiteral("无法保存文件：%1（%2）").arg(shown, file.errorString()));
    return Result::success();
}

} // namespace sheet
