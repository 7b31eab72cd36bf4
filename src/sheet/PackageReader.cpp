#include "sheet/NumberFormat.h"
#include "sheet/Readers.h"
#include "sheet/TableReader.h"

#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/factory.hpp>
#include <orcus/spreadsheet/import_interface.hpp>
#include <orcus/spreadsheet/styles.hpp>
#include <orcus/string_pool.hpp>

#include <QHash>

#include <cctype>
#include <cmath>
#include <unordered_map>
#include <vector>

namespace sheet::detail {

namespace {

namespace ss = orcus::spreadsheet;

// A text of the package as a cell holds it.
QString fromUtf8(std::string_view s)
{
    return cutToCell(QString::fromUtf8(s.data(), std::min(qsizetype(s.size()), kMaxCellBytes)));
}

// The workbook's settings: only its date system matters here.
class GlobalSettings final : public ss::iface::import_global_settings
{
public:
    void set_origin_date(int year, int, int) override { dates1904 = year == 1904; }
    void set_default_formula_grammar(ss::formula_grammar_t grammar) override { m_grammar = grammar; }
    ss::formula_grammar_t get_default_formula_grammar() const override { return m_grammar; }
    void set_character_set(orcus::character_set_t) override {}

    bool dates1904 = false;

private:
    ss::formula_grammar_t m_grammar = ss::formula_grammar_t::unknown;
};

// The styles go to the library's own model; what is kept here is which cell formats show a date.
class Styles final : public ss::import_styles
{
public:
    Styles() : ss::import_styles(m_styles, m_pool) {}

    void set_number_format_identifier(size_t id) override
    {
        m_formatId = id;
        ss::import_styles::set_number_format_identifier(id);
    }
    void set_number_format_code(std::string_view s) override
    {
        m_formatCode = fromUtf8(s);
        ss::import_styles::set_number_format_code(s);
    }
    size_t commit_number_format() override
    {
        m_codes[m_formatId] = m_formatCode;
        m_formatId = 0;
        m_formatCode.clear();
        return ss::import_styles::commit_number_format();
    }
    void set_xf_number_format(size_t index) override
    {
        m_xfFormat = index;
        ss::import_styles::set_xf_number_format(index);
    }
    size_t commit_cell_xf() override
    {
        const auto code = m_codes.find(m_xfFormat);
        m_xfIsDate.push_back(code != m_codes.end()
                                 ? isDateFormat(code->second)
                                 : isBuiltInDateFormat(int(std::min<size_t>(m_xfFormat, 1000))));
        m_xfFormat = 0;
        return ss::import_styles::commit_cell_xf();
    }
    size_t commit_cell_style_xf() override
    {
        m_xfFormat = 0;
        return ss::import_styles::commit_cell_style_xf();
    }
    size_t commit_dxf() override
    {
        m_xfFormat = 0;
        return ss::import_styles::commit_dxf();
    }

    bool isDateXf(size_t xf) const { return xf < m_xfIsDate.size() && m_xfIsDate[xf]; }

private:
    ss::styles m_styles;
    orcus::string_pool m_pool;
    std::unordered_map<size_t, QString> m_codes;
    std::vector<bool> m_xfIsDate;
    size_t m_formatId = 0;
    QString m_formatCode;
    size_t m_xfFormat = 0;
};

// Every call for a cell passes here: a package that hands over absurdly many cells (a row repeated a
// million times over every column) is stopped, and a cancel is honoured.
class CellBudget
{
public:
    explicit CellBudget(const ReadOptions& options) : m_options(options) {}
    void spend()
    {
        if (++m_calls > kMaxCellCalls)
            throw Failure{tooManyCellsText()};
        if ((m_calls & 0xFFFF) == 0 && m_options.progress && !m_options.progress(0, 1))
            throw Cancelled{};
    }

private:
    const ReadOptions& m_options;
    qint64 m_calls = 0;
};

// The shared texts of the package, held as the UTF-8 they come in, one after the other; rich texts are
// kept as their plain text. Each counts against the budget of cells. A text becomes a QString once, when a
// kept cell first shows it, and is never longer than a cell can hold and one character more.
class SharedStrings final : public ss::iface::import_shared_strings
{
public:
    SharedStrings(CellBudget& budget, const SheetScan& scan) : m_budget(budget)
    {
        m_pool.reserve(qsizetype(std::min(scan.textBytes, kMaxTextBytes)));
        m_ends.reserve(std::size_t(std::min(scan.sharedStrings, kMaxSharedStrings)));
    }

    size_t append(std::string_view s) override { return push(s); }
    size_t add(std::string_view s) override
    {
        const QByteArray key = QByteArray::fromRawData(s.data(), qsizetype(s.size()));
        const auto it = m_index.constFind(key);
        if (it != m_index.cend())
            return *it;
        const size_t index = push(s);
        m_index.insert(QByteArray(s.data(), qsizetype(s.size())), index);
        return index;
    }
    void set_segment_font(size_t) override {}
    void set_segment_bold(bool) override {}
    void set_segment_italic(bool) override {}
    void set_segment_font_name(std::string_view) override {}
    void set_segment_font_size(double) override {}
    void set_segment_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t,
                                ss::color_elem_t) override
    {
    }
    void append_segment(std::string_view s) override
    {
        if (m_segments.size() + qsizetype(s.size()) > kMaxTextBytes)
            throw Failure{tooMuchTextMessage()};
        m_segments.append(s.data(), qsizetype(s.size()));
    }
    size_t commit_segments() override
    {
        const size_t index = push(std::string_view(m_segments.constData(), std::size_t(m_segments.size())));
        m_segments.clear();
        return index;
    }

    QString text(size_t index)
    {
        if (index >= m_ends.size())
            return {};
        if (m_texts.size() != m_ends.size())
            m_texts.resize(m_ends.size());
        QString& text = m_texts[index];
        if (text.isNull()) {
            const qsizetype start = index == 0 ? 0 : qsizetype(m_ends[index - 1]);
            const qsizetype length = std::min<qsizetype>(qsizetype(m_ends[index]) - start, kMaxCellBytes);
            text = cutToCell(unescapeXlsxText(QString::fromUtf8(m_pool.constData() + start, length)));
            if (text.isNull())
                text = QLatin1String("");
        }
        return text;
    }

private:
    size_t push(std::string_view s)
    {
        m_budget.spend();
        if (m_ends.size() >= std::size_t(kMaxSharedStrings))
            throw Failure{tooManyStringsText()};
        if (m_pool.size() + qsizetype(s.size()) > kMaxTextBytes)
            throw Failure{tooMuchTextMessage()};
        m_pool.append(s.data(), qsizetype(s.size()));
        m_ends.push_back(quint32(m_pool.size()));
        return m_ends.size() - 1;
    }

    CellBudget& m_budget;
    QByteArray m_pool;
    std::vector<quint32> m_ends;  // where each text ends in the pool
    std::vector<QString> m_texts; // the texts that kept cells show, decoded once
    QHash<QByteArray, size_t> m_index;
    QByteArray m_segments;
};

// Sheets after the first: everything is dropped, but the cells still count against the budget.
class IgnoredSheet : public ss::iface::import_sheet
{
public:
    explicit IgnoredSheet(CellBudget& budget) : m_budget(budget) {}
    void set_auto(ss::row_t, ss::col_t, std::string_view) override { m_budget.spend(); }
    void set_string(ss::row_t, ss::col_t, ss::string_id_t) override { m_budget.spend(); }
    void set_value(ss::row_t, ss::col_t, double) override { m_budget.spend(); }
    void set_bool(ss::row_t, ss::col_t, bool) override { m_budget.spend(); }
    void set_date_time(ss::row_t, ss::col_t, int, int, int, int, int, double) override { m_budget.spend(); }
    void set_format(ss::row_t, ss::col_t, size_t) override {}
    void set_format(ss::row_t, ss::col_t, ss::row_t, ss::col_t, size_t) override {}
    void fill_down_cells(ss::row_t, ss::col_t, ss::row_t) override {}
    ss::range_size_t get_sheet_size() const override { return {1048576, 16384}; }

protected:
    CellBudget& m_budget;
};

// The first sheet: its cells in the kept columns go to the Sheet; formulas give their last result.
class FirstSheet final : public IgnoredSheet, private ss::iface::import_formula
{
public:
    FirstSheet(CellBudget& budget, SharedStrings& strings, const ReadOptions& options)
        : IgnoredSheet(budget), m_strings(strings), m_columns(options.columns)
    {
    }

    ss::iface::import_formula* get_formula() override { return this; }

    void set_auto(ss::row_t row, ss::col_t col, std::string_view s) override
    {
        put(row, col, textCell(fromUtf8(s)));
    }
    void set_string(ss::row_t row, ss::col_t col, ss::string_id_t index) override
    {
        put(row, col, textCell(m_strings.text(index)));
    }
    void set_value(ss::row_t row, ss::col_t col, double value) override
    {
        Cell cell;
        cell.type = Cell::Type::Number;
        cell.number = value;
        put(row, col, std::move(cell));
    }
    void set_bool(ss::row_t row, ss::col_t col, bool value) override
    {
        Cell cell;
        cell.type = Cell::Type::Boolean;
        cell.number = value ? 1 : 0;
        put(row, col, std::move(cell));
    }
    void set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int hour, int minute,
                       double second) override
    {
        const QDate date(year, month, day);
        if (!date.isValid() || !std::isfinite(second)) {
            m_budget.spend();
            return;
        }
        const int ms = int(std::clamp(second, 0.0, 59.999) * 1000);
        QTime time(std::clamp(hour, 0, 23), std::clamp(minute, 0, 59), ms / 1000, ms % 1000);
        Cell cell;
        cell.type = Cell::Type::Date;
        cell.dateTime = wallClock(date, time.isValid() ? time : QTime(0, 0));
        put(row, col, std::move(cell));
    }
    void set_format(ss::row_t row, ss::col_t col, size_t xf) override
    {
        if (kept(row, col))
            m_formats[key(row, col)] = xf;
    }

    // Numbers whose cell format shows a date become dates.
    void finish(const Styles& styles, bool dates1904)
    {
        for (const auto& [at, xf] : m_formats) {
            if (!styles.isDateXf(xf))
                continue;
            const int row = int(at >> 32);
            const int column = int(at & 0xFFFFFFFFu);
            if (Cell* cell = m_sheet.find(row, column); cell && cell->type == Cell::Type::Number)
                *cell = numberCell(cell->number, true, dates1904);
        }
    }
    Sheet take() { return std::move(m_sheet); }

private:
    // import_formula: the position, then the formula and its cached result, then commit.
    void set_position(ss::row_t row, ss::col_t col) override
    {
        m_formulaRow = row;
        m_formulaColumn = col;
        m_result = Cell();
    }
    void set_formula(ss::formula_grammar_t, std::string_view) override {}
    void set_shared_formula_index(size_t) override {}
    void set_result_string(std::string_view value) override { m_result = textCell(fromUtf8(value)); }
    void set_result_value(double value) override
    {
        m_result = Cell();
        m_result.type = Cell::Type::Number;
        m_result.number = value;
    }
    void set_result_bool(bool value) override
    {
        m_result = Cell();
        m_result.type = Cell::Type::Boolean;
        m_result.number = value ? 1 : 0;
    }
    void set_result_empty() override { m_result = Cell(); }
    void commit() override { put(m_formulaRow, m_formulaColumn, std::move(m_result)); }

    static quint64 key(ss::row_t row, ss::col_t col) { return (quint64(quint32(row)) << 32) | quint32(col); }
    bool kept(ss::row_t row, ss::col_t col) const
    {
        return row >= 0 && col >= 0 && row < 1048576 && (m_columns <= 0 || col < m_columns);
    }
    void put(ss::row_t row, ss::col_t col, Cell cell)
    {
        m_budget.spend();
        if (kept(row, col))
            m_sheet.setCell(row, col, std::move(cell));
    }

    SharedStrings& m_strings;
    const int m_columns;
    Sheet m_sheet;
    std::unordered_map<quint64, size_t> m_formats;
    ss::row_t m_formulaRow = -1;
    ss::col_t m_formulaColumn = -1;
    Cell m_result;
};

// Cell references of the A1 kind ("B7", "$C$2", "Sheet1!A1:I9"); the sheet part is not looked up.
class ReferenceResolver final : public ss::iface::import_reference_resolver
{
public:
    ss::src_address_t resolve_address(std::string_view address) override
    {
        if (const std::size_t bang = address.rfind('!'); bang != std::string_view::npos)
            address.remove_prefix(bang + 1);
        ss::src_address_t result{0, 0, 0};
        std::size_t i = 0;
        const auto skipDollar = [&] {
            if (i < address.size() && address[i] == '$')
                ++i;
        };
        skipDollar();
        qint64 column = 0;
        for (; i < address.size() && std::isalpha(static_cast<unsigned char>(address[i])); ++i)
            column = std::min<qint64>(
                column * 26 + (std::toupper(static_cast<unsigned char>(address[i])) - 'A' + 1), 1 << 20);
        skipDollar();
        qint64 row = 0;
        for (; i < address.size() && std::isdigit(static_cast<unsigned char>(address[i])); ++i)
            row = std::min<qint64>(row * 10 + (address[i] - '0'), 1 << 21);
        result.column = ss::col_t(std::max<qint64>(column - 1, 0));
        result.row = ss::row_t(std::max<qint64>(row - 1, 0));
        return result;
    }
    ss::src_range_t resolve_range(std::string_view range) override
    {
        const std::size_t colon = range.find(':');
        if (colon == std::string_view::npos) {
            const ss::src_address_t at = resolve_address(range);
            return {at, at};
        }
        return {resolve_address(range.substr(0, colon)), resolve_address(range.substr(colon + 1))};
    }
};

class Factory final : public ss::iface::import_factory
{
public:
    Factory(const ReadOptions& options, const SheetScan& scan)
        : m_budget(options), m_strings(m_budget, scan), m_first(m_budget, m_strings, options),
          m_ignored(m_budget)
    {
    }

    ss::iface::import_global_settings* get_global_settings() override { return &m_settings; }
    ss::iface::import_shared_strings* get_shared_strings() override { return &m_strings; }
    ss::iface::import_styles* get_styles() override { return &m_styles; }
    ss::iface::import_reference_resolver* get_reference_resolver(ss::formula_ref_context_t) override
    {
        return &m_resolver;
    }
    ss::iface::import_sheet* append_sheet(ss::sheet_t index, std::string_view name) override
    {
        if (index == 0 && !m_haveFirst) {
            m_haveFirst = true;
            m_firstName = std::string(name);
            return &m_first;
        }
        return &m_ignored;
    }
    ss::iface::import_sheet* get_sheet(std::string_view name) override
    {
        return m_haveFirst && name == m_firstName ? static_cast<ss::iface::import_sheet*>(&m_first)
                                                  : &m_ignored;
    }
    ss::iface::import_sheet* get_sheet(ss::sheet_t index) override
    {
        return m_haveFirst && index == 0 ? static_cast<ss::iface::import_sheet*>(&m_first) : &m_ignored;
    }
    void finalize() override {}

    bool hasSheet() const { return m_haveFirst; }
    Sheet take()
    {
        m_first.finish(m_styles, m_settings.dates1904);
        return m_first.take();
    }

private:
    CellBudget m_budget;
    GlobalSettings m_settings;
    SharedStrings m_strings;
    Styles m_styles;
    ReferenceResolver m_resolver;
    FirstSheet m_first;
    IgnoredSheet m_ignored;
    bool m_haveFirst = false;
    std::string m_firstName;
};

} // namespace

QString tooMuchTextMessage()
{
    return QStringLiteral("无法读取该文件：工作簿中的文字解压后超过 %1 MB，超过了可以读取的上限")
        .arg(kMaxTextBytes / (1024 * 1024));
}

Expected<Sheet> readXlsx(const QByteArray& bytes, SheetScan& scan, const ReadOptions& options)
{
    return guarded(
        [&] {
            if (options.progress && !options.progress(0, 1))
                throw Cancelled{};
            if (scan.tooManyCells)
                throw Failure{tooManyCellsText()};
            Sheet sheet;
            if (scan.scanned && !scan.hasOtherValues) {
                // Every text of the sheet is held in place and it has no other values: the scan has read
                // all there is, and the package library has nothing to add.
                sheet = std::move(scan.inlineCells);
            } else {
                Factory factory(options, scan);
                orcus::orcus_xlsx reader(&factory);
                reader.read_stream(std::string_view(bytes.constData(), std::size_t(bytes.size())));
                if (!factory.hasSheet())
                    throw Failure{noWorksheetText()};
                sheet = factory.take();
                // The texts held in place, which the library passes over.
                sheet.setCells(scan.inlineCells);
            }
            if (options.progress && !options.progress(1, 1))
                throw Cancelled{};
            return sheet;
        },
        QStringLiteral("无法读取该文件：工作簿已损坏或不完整，它不是有效的 Excel 工作簿(.xlsx)"));
}

} // namespace sheet::detail
