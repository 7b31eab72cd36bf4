#include "ListTotals.h"

#include "Dataset.h"

#include <limits>

namespace {
// No domain is priced at a quadrillion; longer digit runs are not taken as prices.
constexpr int kMaxIntegerDigits = 15;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
} // namespace

qint64 ListTotals::priceCentsOf(std::string_view s)
{
    size_t at = 0, end = s.size();
    while (at < end && isBlank(s[at]))
        ++at;
    while (end > at && isBlank(s[end - 1]))
        --end;
    qint64 units = 0;
    int digits = 0;
    int group = -1; // digits since the last ",", or -1 before the first one
    for (; at < end; ++at) {
        const char c = s[at];
        if (c >= '0' && c <= '9') {
            if (++digits > kMaxIntegerDigits)
                return -1;
            units = units * 10 + (c - '0');
            if (group >= 0 && ++group > 3)
                return -1;
        } else if (c == ',') {
            if (digits == 0 || (group >= 0 && group != 3) || (group < 0 && digits > 3))
                return -1;
            group = 0;
        } else {
            break;
        }
    }
    if (digits == 0 || (group >= 0 && group != 3))
        return -1;
    int cents = 0;
    if (at < end && s[at] == '.') {
        ++at;
        int decimals = 0;
        int roundUp = 0;
        for (; at < end && s[at] >= '0' && s[at] <= '9'; ++at, ++decimals) {
            if (decimals < 2)
                cents = cents * 10 + (s[at] - '0');
            else if (decimals == 2)
                roundUp = s[at] >= '5';
        }
        if (decimals == 0)
            return -1;
        if (decimals == 1)
            cents *= 10;
        cents += roundUp;
    }
    if (at != end)
        return -1;
    return units * 100 + cents;
}

ListTotals ListTotals::of(const Dataset& dataset, expiry::Day today)
{
    return ListCounter().count(dataset, today);
}

void ListCounter::take(std::string_view expires, std::string_view price)
{
    // Julian day numbers of four-digit years fit 32 bits.
    m_day.push_back(qint32(expiry::parse(expires)));
    m_cents.push_back(ListTotals::priceCentsOf(price));
}

void ListCounter::lookUpFields(const Dataset& rows)
{
    m_expiryField = rows.fieldIndex(QStringLiteral("a6"));
    m_priceField = rows.fieldIndex(QStringLiteral("a9"));
}

// Reads the stored rows before `stored` that are not kept yet, from the rows' text.
void ListCounter::catchUp(const Dataset& rows, size_t stored)
{
    if (m_day.size() >= stored)
        return;
    lookUpFields(rows);
    m_day.reserve(stored);
    m_cents.reserve(stored);
    for (size_t s = m_day.size(); s < stored; ++s)
        take(rows.rawStoredValue(int(s), m_expiryField), rows.rawStoredValue(int(s), m_priceField));
}

void ListCounter::rowsCleared()
{
    // The room stays: the next rows are mostly as many again (a reload).
    m_day.clear();
    m_cents.clear();
    m_dataset = nullptr;
}

void ListCounter::rowStored(const Dataset& rows, uint32_t stored, const std::vector<std::string_view>& values)
{
    if (m_dataset != &rows || m_day.empty()) {
        // The first row of new rows: their fields may differ from the last ones.
        m_dataset = &rows;
        lookUpFields(rows);
    }
    catchUp(rows, stored);
    if (m_day.size() != stored)
        return; // told twice of one row: kept already
    auto valueOf = [&values](int field) {
        return field >= 0 && size_t(field) < values.size() ? values[size_t(field)] : std::string_view();
    };
    take(valueOf(m_expiryField), valueOf(m_priceField));
}

void ListCounter::keepUp(const Dataset& dataset)
{
    const bool keeper = dataset.rowKeeper() == this;
    if (m_dataset != &dataset || (!keeper && m_generation != dataset.generation())) {
        // Rows this counter has not seen stored: all of them are read below.
        m_dataset = &dataset;
        m_day.clear();
        m_cents.clear();
    }
    m_generation = dataset.generation();
    // Read the rows stored since the last count (nothing when the counter is the rows' keeper).
    catchUp(dataset, size_t(dataset.storedRowCount()));
}

ListTotals ListCounter::count(const Dataset& dataset, expiry::Day today)
{
    ListTotals totals;
    if (!dataset.isOpen())
        return totals;
    keepUp(dataset);
    const auto stored = size_t(dataset.storedRowCount());
    totals.count = dataset.recordCount();
    const expiry::Day soon = today + expiry::kSoonDays;
    auto add = [&](size_t s) {
        const expiry::Day day = m_day[s];
        if (day != expiry::kUnreadable) {
            totals.expired += day < today;
            totals.within30 += day >= today && day <= soon;
        }
        const qint64 cents = m_cents[s];
        if (cents < 0)
            return;
        ++totals.priced;
        if (totals.priceCents > std::numeric_limits<qint64>::max() - cents)
            totals.priceOverflow = true;
        else
            totals.priceCents += cents;
    };
    // The figures do not depend on the order. A list holding every stored row is read in stored order,
    // straight through memory, whatever a sort did to the display; a small part of them (a search) row
    // by row; a large part through a bit per stored row marking those it holds.
    if (size_t(totals.count) == stored) {
        for (size_t s = 0; s < stored; ++s)
            add(s);
    } else if (size_t(totals.count) < stored / 16) {
        for (int row = 0; row < totals.count; ++row)
            add(size_t(dataset.storedRow(row)));
    } else {
        std::vector<quint64> held((stored + 63) / 64, 0);
        for (int row = 0; row < totals.count; ++row) {
            const auto s = size_t(dataset.storedRow(row));
            held[s / 64] |= quint64(1) << (s % 64);
        }
        for (size_t s = 0; s < stored; ++s) {
            if (held[s / 64] >> (s % 64) & 1)
                add(s);
        }
    }
    return totals;
}

QString ListTotals::groupedAmount(qint64 cents)
{
    const bool negative = cents < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(cents) : quint64(cents);
    QString digits = QString::number(magnitude / 100);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    if (const quint64 rest = magnitude % 100)
        digits += QStringLiteral(".%1").arg(rest, 2, 10, QLatin1Char('0'));
    return negative ? QLatin1Char('-') + digits : digits;
}
