#include "sheet/Cell.h"

#include <algorithm>

namespace sheet {

namespace {

const Cell& emptyCell()
{
    static const Cell empty;
    return empty;
}

bool isBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u < 32 || u == 127 || c.isSpace(); // isSpace covers U+00A0 and U+3000 as well
}

QString errorText(int code)
{
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    default:
        return QStringLiteral("#ERROR!");
    }
}

// yyyy-MM-dd, with " HH:mm:ss" unless it is midnight, for a year of four digits: written digit by digit, as
// an import turns every date of a long list into text.
QString dateText(QDate date, QTime time)
{
    char16_t out[19];
    const auto put = [&out](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            out[at + i] = char16_t(u'0' + value % 10);
    };
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    put(0, year, 4);
    out[4] = u'-';
    put(5, month, 2);
    out[7] = u'-';
    put(8, day, 2);
    if (time == QTime(0, 0))
        return QString(reinterpret_cast<const QChar*>(out), 10);
    out[10] = u' ';
    put(11, time.hour(), 2);
    out[13] = u':';
    put(14, time.minute(), 2);
    out[16] = u':';
    put(17, time.second(), 2);
    return QString(reinterpret_cast<const QChar*>(out), 19);
}

QString numberText(double value, const QLocale& locale)
{
    if (value == 0)
        value = 0; // no "-0"
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(value, 'g', 15);
}

} // namespace

int Sheet::rowCount() const
{
    normalize();
    return m_rowCount;
}

int Sheet::columnCount() const
{
    normalize();
    return m_columnCount;
}

qsizetype Sheet::cellCount() const
{
    normalize();
    return qsizetype(m_cells.size());
}

const Cell& Sheet::cell(int row, int column) const
{
    if (row < 0 || column < 0)
        return emptyCell();
    normalize();
    const quint64 key = keyOf(row, column);
    const auto it = std::lower_bound(m_cells.begin(), m_cells.end(), key,
                                     [](const Entry& e, quint64 k) { return e.key < k; });
    if (it == m_cells.end() || it->key != key)
        return emptyCell();
    return it->cell;
}

void Sheet::rowCells(int row, int count, const Cell** cells) const
{
    for (int column = 0; column < count; ++column)
        cells[column] = &emptyCell();
    if (row < 0 || count <= 0)
        return;
    normalize();
    const quint64 first = keyOf(row, 0);
    auto it = std::lower_bound(m_cells.begin(), m_cells.end(), first,
                               [](const Entry& e, quint64 k) { return e.key < k; });
    for (; it != m_cells.end() && it->key < keyOf(row, count); ++it)
        cells[quint32(it->key)] = &it->cell;
}

Cell* Sheet::find(int row, int column)
{
    const Cell& stored = cell(row, column);
    return stored.isEmpty() ? nullptr : const_cast<Cell*>(&stored); // stored cells are never Empty
}

void Sheet::setCell(int row, int column, Cell cell)
{
    if (row < 0 || column < 0)
        return;
    const quint64 key = keyOf(row, column);
    if (m_sorted && !cell.isEmpty() && (m_cells.empty() || m_cells.back().key < key)) {
        m_cells.push_back(Entry{key, std::move(cell)});
        m_rowCount = row + 1;
        m_columnCount = std::max(m_columnCount, column + 1);
        return;
    }
    m_cells.push_back(Entry{key, std::move(cell)});
    m_sorted = false;
    // Values written again and again over the same places must not pile up: fold them from time to time.
    if (m_cells.size() >= m_foldAt) {
        normalize();
        m_foldAt = std::max<std::size_t>(m_foldAt, 2 * m_cells.size());
    }
}

void Sheet::setCells(const Sheet& other)
{
    other.normalize();
    for (const Entry& entry : other.m_cells)
        setCell(int(entry.key >> 32), int(quint32(entry.key)), entry.cell);
}

void Sheet::reserve(qsizetype cells)
{
    if (cells > 0)
        m_cells.reserve(std::size_t(std::min<qsizetype>(cells, 4 * 1024 * 1024)));
}

void Sheet::normalize() const
{
    if (m_sorted)
        return;
    // Stable, so that of two values at one place the one set later stays last.
    std::stable_sort(m_cells.begin(), m_cells.end(),
                     [](const Entry& a, const Entry& b) { return a.key < b.key; });
    std::size_t out = 0;
    for (std::size_t i = 0; i < m_cells.size(); ++i) {
        if (i + 1 < m_cells.size() && m_cells[i + 1].key == m_cells[i].key)
            continue; // replaced by a later value
        if (m_cells[i].cell.isEmpty())
            continue;
        if (out != i)
            m_cells[out] = std::move(m_cells[i]);
        ++out;
    }
    m_cells.resize(out);
    m_cells.shrink_to_fit();
    m_rowCount = m_cells.empty() ? 0 : int(m_cells.back().key >> 32) + 1;
    m_columnCount = 0;
    for (const Entry& e : m_cells)
        m_columnCount = std::max(m_columnCount, int(quint32(e.key)) + 1);
    m_sorted = true;
}

QString stripBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    if (begin == 0 && end == text.size())
        return text;
    return text.mid(begin, end - begin);
}

QString cellToText(const Cell& cell, const QLocale& locale)
{
    switch (cell.type) {
    case Cell::Type::Empty:
        return QString();
    case Cell::Type::Number:
        return stripBlanks(numberText(cell.number, locale));
    case Cell::Type::Text:
        return stripBlanks(cell.text);
    case Cell::Type::Boolean:
        return cell.number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Cell::Type::Error:
        return errorText(int(cell.number));
    case Cell::Type::Date: {
        if (!cell.dateTime.isValid())
            return stripBlanks(numberText(cell.number, locale));
        // Dates are written in the one form the add dialog asks for, whatever the user's locale, so that
        // the century and the seconds are never lost.
        const QDate date = cell.dateTime.date();
        const QTime time = cell.dateTime.time();
        // A day before 1900-01-01 only arises from a bare time of day (day 0 of the 1900 date system).
        if (date < QDate(1900, 1, 1))
            return time.toString(QStringLiteral("HH:mm:ss"));
        if (date.year() > 9999)
            return cell.dateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        return dateText(date, time);
    }
    }
    return QString();
}

} // namespace sheet
