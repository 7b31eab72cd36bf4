#include "Dataset.h"

#include "Connection.h"
#include "NaturalOrder.h"
#include "Sql.h"
#include "Statement.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <numeric>
#include <optional>
#include <sqlite3.h>
#include <unordered_map>
#include <utility>

Dataset::Dataset(Connection* connection, QObject* parent) : QObject(parent), m_connection(connection) {}

Dataset::~Dataset()
{
    clearRows();
}

void Dataset::finalizeAppend()
{
    if (m_appendStmt) {
        sqlite3_finalize(m_appendStmt);
        m_appendStmt = nullptr;
    }
}

void Dataset::setTable(const QString& table, const QString& keyField)
{
    m_table = table;
    m_keyField = keyField;
    finalizeAppend();
}

void Dataset::setSql(const QString& text)
{
    close();
    m_sql = text;
    m_params.clear();
}

void Dataset::setParam(const QString& name, const QString& value)
{
    m_params.insert(name, value);
}

int Dataset::fieldIndex(const QString& name) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void Dataset::clearRows()
{
    ++m_generation;
    m_open = false;
    m_fields.clear();
    std::string().swap(m_arena);
    std::vector<uint32_t>().swap(m_rowStart);
    std::vector<uint32_t>().swap(m_order);
    std::vector<bool>().swap(m_deleted);
    m_fetched.clear();
    m_appended = false;
    if (m_fillStmt) {
        sqlite3_finalize(m_fillStmt);
        m_fillStmt = nullptr;
    }
    m_fillNarrowed = false;
    m_sort.clear();
    m_current = -1;
    finalizeAppend();
    if (m_keeper)
        m_keeper->rowsCleared();
}

void Dataset::close()
{
    if (!m_open) {
        clearRows();
        return;
    }
    emit rowsAboutToReset();
    clearRows();
    emit rowsReset();
    emit currentRowChanged(-1);
}

QString Dataset::fetchAndFilter()
{
    // A statement answered in memory reads the rows of its base statement, then narrows them.
    const QString base = m_filter ? m_filter->baseStatement(m_sql) : QString();
    const bool narrowed = !base.isEmpty();
    QString error;
    if (sqlite3_stmt* stmt = Statement::prepare(m_connection, narrowed ? base : m_sql,
                                                narrowed ? QHash<QString, QString>() : m_params, &error)) {
        error = fetch(stmt);
        sqlite3_finalize(stmt);
    }
    if (!error.isEmpty())
        return error;
    m_fetched = narrowed ? base : m_sql;
    m_fetchedWithParams = !narrowed && !m_params.isEmpty();
    m_fetchedStamp = m_connection->changeStamp();
    ++m_generation;
    if (m_filter)
        m_filter->fetched(*this, m_fetched, true);
    if (narrowed) {
        std::vector<uint32_t> kept;
        error = m_filter->select(*this, m_params, kept);
        if (error.isEmpty())
            applyFilter(kept);
    }
    return error;
}

void Dataset::applyFilter(std::vector<uint32_t>& kept)
{
    if (!m_deleted.empty())
        std::erase_if(kept, [this](uint32_t r) { return m_deleted[r]; });
    m_order.swap(kept);
    std::vector<uint32_t>().swap(kept);
}

void Dataset::clearForFetch()
{
    // The next rows take about the room the last ones took (or the file's size at the first fetch),
    // reserved at once: no regrowing, no copy. The old rows are gone before the new are read.
    const size_t lastBytes = m_arena.size(), lastRows = m_rowStart.size();
    clearRows();
    if (lastRows > 0) {
        m_arena.reserve(lastBytes + lastBytes / 16 + 4096);
        m_rowStart.reserve(lastRows + lastRows / 16 + 64);
    } else if (m_sizeHint > 0) {
        m_arena.reserve(size_t(std::min<qint64>(m_sizeHint, qint64(UINT32_MAX))));
    }
}

QString Dataset::open()
{
    // One reset for the views per open, whether or not rows were held before.
    const bool wasOpen = m_open;
    if (wasOpen)
        emit rowsAboutToReset();
    clearForFetch();
    return finishOpen(wasOpen, fetchAndFilter());
}

QString Dataset::finishOpen(bool wasOpen, const QString& error)
{
    if (!error.isEmpty()) {
        clearRows();
        if (wasOpen) {
            emit rowsReset();
            emit currentRowChanged(-1);
        }
        return error;
    }
    if (!wasOpen)
        emit rowsAboutToReset();
    m_open = true;
    m_current = m_order.empty() ? -1 : 0;
    emit rowsReset();
    emit currentRowChanged(m_current);
    return {};
}

QString Dataset::fetch(sqlite3_stmt* stmt)
{
    const int columns = sqlite3_column_count(stmt);
    for (int i = 0; i < columns; ++i)
        m_fields.append(QString::fromUtf8(sqlite3_column_name(stmt, i)));
    bool done = false;
    const QString error = readRows(stmt, -1, 0, &done);
    if (!error.isEmpty())
        return error;
    m_order.resize(m_rowStart.size());
    std::iota(m_order.begin(), m_order.end(), 0u);
    return {};
}

// Reads up to maxRows rows (all when negative), or as many as budgetNs allows when it is positive.
QString Dataset::readRows(sqlite3_stmt* stmt, int maxRows, qint64 budgetNs, bool* done)
{
    const int columns = int(m_fields.size());
    std::vector<std::string_view> values(static_cast<size_t>(columns));
    QElapsedTimer clock;
    clock.start();
    int rc = SQLITE_ROW;
    for (int read = 0; maxRows < 0 || read < maxRows; ++read) {
        if (budgetNs > 0 && (read & 255) == 255 && clock.nsecsElapsed() > budgetNs)
            break;
        rc = sqlite3_step(stmt);
        if (rc != SQLITE_ROW)
            break;
        for (int i = 0; i < columns; ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            values[size_t(i)] =
                text ? std::string_view(text, size_t(sqlite3_column_bytes(stmt, i))) : std::string_view();
        }
        const QString error = storeRow(values);
        if (!error.isEmpty())
            return error;
    }
    *done = rc != SQLITE_ROW;
    if (*done && rc != SQLITE_DONE)
        return m_connection->lastError();
    return {};
}

QString Dataset::openInSteps(int firstRows, int stepRows)
{
    if (m_filter && !m_filter->baseStatement(m_sql).isEmpty())
        return open();
    const bool wasOpen = m_open;
    if (wasOpen)
        emit rowsAboutToReset();
    clearForFetch();
    QString error;
    m_fillSql = m_sql;
    m_fillParams = m_params;
    m_fillStamp = m_connection->changeStamp();
    m_stepRows = stepRows;
    m_fillStmt = Statement::prepare(m_connection, m_sql, m_params, &error);
    if (m_fillStmt) {
        const int columns = sqlite3_column_count(m_fillStmt);
        for (int i = 0; i < columns; ++i)
            m_fields.append(QString::fromUtf8(sqlite3_column_name(m_fillStmt, i)));
        error = fillStep(firstRows, 0, false);
    }
    error = finishOpen(wasOpen, error);
    if (error.isEmpty() && m_fillStmt)
        QTimer::singleShot(0, this, &Dataset::fillLater);
    return error;
}

QString Dataset::fillStep(int maxRows, qint64 budgetNs, bool announce)
{
    bool done = false;
    const auto from = uint32_t(m_rowStart.size());
    QString error = readRows(m_fillStmt, maxRows, budgetNs, &done);
    const auto to = uint32_t(m_rowStart.size());
    // The rows read come after those held, in the statement's order. A narrowing statement shown
    // meanwhile keeps those it finds among them: they follow its rows found so far in its own order
    // (a search's rows come in the order of the list it narrows).
    // The filter takes the rows as they come, so that neither a keystroke nor the last step has to take
    // them all at once.
    std::vector<uint32_t> added;
    if (error.isEmpty() && to > from) {
        if (m_fillNarrowed) {
            error = m_filter->selectFrom(*this, m_params, from, added);
        } else {
            added.resize(to - from);
            std::iota(added.begin(), added.end(), from);
            if (m_filter)
                m_filter->fetched(*this, m_fillSql, false);
        }
    }
    if (error.isEmpty() && !added.empty()) {
        const size_t first = m_order.size(), last = first + added.size() - 1;
        if (announce)
            emit rowsAboutToBeAdded(int(first), int(last));
        m_order.insert(m_order.end(), added.begin(), added.end());
        if (announce)
            emit rowsAdded(int(first), int(last));
    }
    if (done || !error.isEmpty()) {
        sqlite3_finalize(m_fillStmt);
        m_fillStmt = nullptr;
        m_fillNarrowed = false;
    }
    if (done && error.isEmpty()) {
        // The rows stored are those of the statement read; they stay the same rows (the same generation),
        // and match the file as it was when the reading began: a write meanwhile sends the next
        // statement to the file.
        m_fetched = m_fillSql;
        m_fetchedWithParams = !m_fillParams.isEmpty();
        m_fetchedStamp = m_fillStamp;
        if (m_filter)
            m_filter->fetched(*this, m_fetched, true);
    }
    return error;
}

void Dataset::fillLater()
{
    if (!m_fillStmt)
        return;
    // Short steps keep the window answering while the rest comes in.
    const QString error = fillStep(m_stepRows, 12 * 1000 * 1000, true);
    if (!error.isEmpty()) {
        close();
        emit fillFailed(error);
        return;
    }
    stepDone();
    if (m_fillStmt)
        QTimer::singleShot(0, this, &Dataset::fillLater);
}

void Dataset::stepDone()
{
    if (m_current < 0 && !m_order.empty())
        setCurrentRow(0);
    if (!m_fillStmt)
        emit fillFinished();
}

QString Dataset::finishFill()
{
    if (!m_fillStmt)
        return {};
    const QString error = fillStep(-1, 0, true);
    if (!error.isEmpty()) {
        close();
        return error;
    }
    stepDone();
    return {};
}

namespace {
void putLength(std::string& out, size_t n)
{
    while (n >= 0x80) {
        out.push_back(char(0x80 | (n & 0x7F)));
        n >>= 7;
    }
    out.push_back(char(n));
}

size_t getLength(const char*& p)
{
    size_t n = 0;
    for (int shift = 0;; shift += 7) {
        const auto b = static_cast<unsigned char>(*p++);
        n |= size_t(b & 0x7F) << shift;
        if (b < 0x80)
            return n;
    }
}
} // namespace

QString Dataset::storeRow(const std::vector<std::string_view>& values)
{
    size_t bytes = 0;
    for (const std::string_view& v : values)
        bytes += v.size() + 5;
    // Offsets are 32 bits: rows beyond 4 GB of text cannot be held.
    if (m_arena.size() + bytes > UINT32_MAX)
        return QStringLiteral("数据量超过 4 GB，无法载入");
    m_rowStart.push_back(uint32_t(m_arena.size()));
    for (const std::string_view& v : values) {
        putLength(m_arena, v.data() ? v.size() + 1 : 0);
        m_arena.append(v);
    }
    if (m_keeper)
        m_keeper->rowStored(*this, uint32_t(m_rowStart.size() - 1), values);
    return {};
}

std::string_view Dataset::storedValue(uint32_t stored, int field, bool* isNull) const
{
    const char* p = m_arena.data() + m_rowStart[stored];
    for (int f = 0; f < field; ++f) {
        const size_t n = getLength(p);
        p += n ? n - 1 : 0;
    }
    const size_t n = getLength(p);
    if (isNull)
        *isNull = n == 0;
    return std::string_view(p, n ? n - 1 : 0);
}

bool Dataset::isNull(int row, int field) const
{
    if (row < 0 || row >= recordCount() || field < 0 || field >= fieldCount())
        return true;
    bool null = false;
    storedValue(m_order[size_t(row)], field, &null);
    return null;
}

bool Dataset::answersDuringFill(const QString& text, const QHash<QString, QString>& params) const
{
    if (!m_fillStmt || m_connection->changeStamp() != m_fillStamp)
        return false;
    if (text == m_fillSql && params == m_fillParams)
        return true;
    return m_filter && m_fillParams.isEmpty() && m_filter->baseStatement(text) == m_fillSql;
}

QString Dataset::replaceStatement(const QString& text, const QHash<QString, QString>& params)
{
    // The statement still being read in steps, once more (the default list shown again in the first
    // second after the start), or a search over it (typed meanwhile): answered from the rows read so
    // far, and the rest keep coming, each step adding the rows the statement keeps.
    if (answersDuringFill(text, params)) {
        const bool narrowed = text != m_fillSql || params != m_fillParams;
        std::vector<uint32_t> kept;
        QString error;
        if (narrowed) {
            error = m_filter->select(*this, params, kept);
        } else {
            kept.resize(m_rowStart.size());
            std::iota(kept.begin(), kept.end(), 0u);
        }
        m_sql = text;
        m_params = params;
        m_fillNarrowed = narrowed;
        return showKept(kept, error);
    }
    // Otherwise the rows of an open in steps are read to the end first.
    const QString fillError = finishFill();
    if (!fillError.isEmpty())
        return fillError;
    m_sql = text;
    m_params = params;
    // With a filter, statements are answered from the rows held while the file has not changed since
    // they were read (by anyone): the statement they were read with gives them all again, and one that
    // narrows them (a search over the default list) is answered in memory.
    if (!m_filter || !m_open || m_appended || m_fetchedStamp != m_connection->changeStamp())
        return open(); // open() closes first; the views see a single reset.
    const QString base = m_filter->baseStatement(text);
    std::vector<uint32_t> kept;
    QString error;
    if (!base.isEmpty() && base == m_fetched && !m_fetchedWithParams) {
        error = m_filter->select(*this, params, kept);
    } else if (base.isEmpty() && text == m_fetched && params.isEmpty() && !m_fetchedWithParams) {
        kept.resize(m_rowStart.size());
        std::iota(kept.begin(), kept.end(), 0u);
    } else {
        return open();
    }
    return showKept(kept, error);
}

QString Dataset::showKept(std::vector<uint32_t>& kept, const QString& error)
{
    emit rowsAboutToReset();
    if (!error.isEmpty()) {
        clearRows();
        emit rowsReset();
        emit currentRowChanged(-1);
        return error;
    }
    applyFilter(kept);
    m_sort.clear();
    m_current = m_order.empty() ? -1 : 0;
    emit rowsReset();
    emit currentRowChanged(m_current);
    return {};
}

std::string_view Dataset::rawValue(int row, int field) const
{
    if (row < 0 || row >= recordCount() || field < 0 || field >= fieldCount())
        return {};
    return raw(m_order[size_t(row)], field);
}

std::string_view Dataset::rawStoredValue(int stored, int field) const
{
    if (stored < 0 || stored >= storedRowCount() || field < 0 || field >= fieldCount())
        return {};
    return raw(uint32_t(stored), field);
}

QString Dataset::value(int row, int field) const
{
    const std::string_view v = rawValue(row, field);
    return QString::fromUtf8(v.data(), qsizetype(v.size()));
}

QStringList Dataset::rowValues(int row) const
{
    QStringList list;
    for (int f = 0; f < fieldCount(); ++f)
        list.append(value(row, f));
    return list;
}

void Dataset::setCurrentRow(int row)
{
    row = recordCount() == 0 ? -1 : std::clamp(row, 0, recordCount() - 1);
    if (row == m_current)
        return;
    m_current = row;
    emit currentRowChanged(row);
}

bool Dataset::next()
{
    if (m_current < 0 || m_current + 1 >= recordCount())
        return false;
    setCurrentRow(m_current + 1);
    return true;
}

bool Dataset::prior()
{
    if (m_current <= 0)
        return false;
    setCurrentRow(m_current - 1);
    return true;
}

QString Dataset::setSort(const QString& sortText)
{
    if (!m_open)
        return QStringLiteral("数据集未打开");
    const QString text = sortText.trimmed();
    const QString name = text.section(QLatin1Char(' '), 0, 0);
    const QString direction = text.section(QLatin1Char(' '), 1).trimmed().toUpper();
    const int field = fieldIndex(name);
    if (field < 0)
        return QStringLiteral("没有字段“%1”").arg(name);
    const bool descending = direction == QLatin1String("DESC");
    const QString fillError = finishFill();
    if (!fillError.isEmpty())
        return fillError;

    const std::vector<uint32_t> positions = naturalOrder(field, descending);
    emit rowsAboutToReset();
    std::vector<uint32_t> sorted(m_order.size());
    for (size_t i = 0; i < positions.size(); ++i)
        sorted[i] = m_order[positions[i]];
    m_order.swap(sorted);
    m_sort = QStringLiteral("%1 %2").arg(m_fields[field],
                                         descending ? QStringLiteral("DESC") : QStringLiteral("ASC"));
    const int oldCurrent = m_current;
    m_current = m_order.empty() ? -1 : 0;
    emit rowsReset();
    if (oldCurrent != m_current || m_current >= 0)
        emit currentRowChanged(m_current);
    return {};
}

namespace {
// A text's place in the sort: the first sixteen bytes of its byte key as two numbers (big-endian,
// zero-padded), where the whole key is, and the text's present position.
struct SortItem
{
    uint64_t prefix;  // the key's first eight bytes
    uint64_t prefix2; // the next eight
    uint32_t key;     // the key in the keys' block
    uint32_t length;
    uint32_t position;
};

} // namespace

// The present positions in the order a stable natural sort on the field gives.
//
// Texts of printable ASCII (names, prices, dates) get a byte key from NaturalOrder whose plain byte order
// is the natural order; they are sorted on it, by a radix sort over its first bytes packed into numbers.
// Other texts (Chinese) repeat a lot in a column: one collation key per distinct text, ranked once. Each rank
// of them is then placed among the ASCII texts by a binary search with the collator. Ties keep their present
// order, in either direction.
std::vector<uint32_t> Dataset::naturalOrder(int field, bool descending) const
{
    const NaturalOrder order;
    const size_t n = m_order.size();
    using Item = SortItem;
    // The rows are read in the order they are stored, which is far quicker than in display order over a
    // large arena; each knows its present position.
    std::vector<uint32_t> positionOf(m_rowStart.size(), UINT32_MAX);
    for (size_t i = 0; i < n; ++i)
        positionOf[m_order[i]] = uint32_t(i);
    std::string keys;
    keys.reserve(n * 16);
    // Per position, its ASCII text's item; the others (length kOther) are kept apart below.
    constexpr uint32_t kOther = UINT32_MAX;
    // Every position is written below, so the room is not cleared first.
    std::unique_ptr<Item[]> byPosition(new Item[n]);
    std::vector<std::string_view> texts;
    std::unordered_map<std::string_view, uint32_t> seen;
    auto bytesAt = [&keys](size_t at, size_t from) {
        uint64_t number = 0;
        for (size_t b = from; b < from + 8; ++b)
            number = (number << 8) | (at + b < keys.size() ? static_cast<unsigned char>(keys[at + b]) : 0u);
        return number;
    };
    size_t fastCount = 0;
    uint64_t firstPrefix = 0, differ = 0; // the bits in which the first ASCII key differs from any other
    for (size_t stored = 0; stored < positionOf.size(); ++stored) {
        const uint32_t i = positionOf[stored];
        if (i == UINT32_MAX)
            continue;
        const std::string_view v = raw(uint32_t(stored), field);
        const size_t at = keys.size();
        if (!order.asciiKey(v, keys) || keys.size() > UINT32_MAX) {
            keys.resize(at);
            const auto [it, added] = seen.try_emplace(v, uint32_t(texts.size()));
            if (added)
                texts.push_back(v);
            byPosition[i] = {0, 0, it->second, kOther, i}; // key: the text's number
            continue;
        }
        byPosition[i] = {bytesAt(at, 0), bytesAt(at, 8), uint32_t(at), uint32_t(keys.size() - at), i};
        if (fastCount++ == 0)
            firstPrefix = byPosition[i].prefix;
        differ |= byPosition[i].prefix ^ firstPrefix;
    }
    std::vector<uint32_t>().swap(positionOf);
    // One pass spreads the items over buckets by eleven bits of their first eight key bytes, from the
    // first bit in which any two differ, in position order; each bucket, small enough to stay in the
    // cache, is then sorted by the whole key, ties by position. Descending, the bytes count down (a
    // shorter key's zero padding then sorts after a longer one).
    const uint64_t flip = descending ? ~uint64_t(0) : 0;
    constexpr int kBits = 11;
    const int top = differ ? 63 - std::countl_zero(differ) : 0; // the highest bit in which two differ
    const int shift = std::max(0, top + 1 - kBits);
    auto bucketOf = [flip, shift](const Item& item) {
        return size_t(((item.prefix ^ flip) >> shift) & 0x7FF);
    };
    std::vector<uint32_t> bucketStart((size_t(1) << kBits) + 1, 0);
    std::vector<uint32_t> slow; // positions of the other texts, ascending
    std::vector<uint32_t> textOf;
    for (size_t i = 0; i < n; ++i) {
        const Item& item = byPosition[i];
        if (item.length != kOther) {
            ++bucketStart[bucketOf(item) + 1];
        } else {
            slow.push_back(item.position);
            textOf.push_back(item.key);
        }
    }
    for (size_t b = 1; b < bucketStart.size(); ++b)
        bucketStart[b] += bucketStart[b - 1];
    std::vector<Item> fast(fastCount);
    {
        std::vector<uint32_t> next(bucketStart.begin(), bucketStart.end() - 1);
        for (size_t i = 0; i < n; ++i) {
            if (byPosition[i].length != kOther)
                fast[next[bucketOf(byPosition[i])]++] = byPosition[i];
        }
    }
    byPosition.reset();
    auto before = [&](const Item& a, const Item& b) {
        if (a.prefix != b.prefix)
            return (a.prefix ^ flip) < (b.prefix ^ flip);
        if (a.prefix2 != b.prefix2)
            return (a.prefix2 ^ flip) < (b.prefix2 ^ flip);
        // Keys hold no zero byte: equal first sixteen bytes of keys that short are equal keys.
        if (a.length > 16 || b.length > 16) {
            const int c = std::string_view(keys.data() + a.key, a.length)
                              .compare(std::string_view(keys.data() + b.key, b.length));
            if (c != 0)
                return descending ? c > 0 : c < 0;
        }
        return a.position < b.position;
    };
    // Large buckets hold few distinct texts, repeated (prices, dates): their items, in position order,
    // are sorted a byte at a time by the rest of the first eight key bytes, then each run that shares
    // those by the next eight, each pass stable; only runs that share sixteen bytes of keys longer than
    // that are left to the comparison.
    std::vector<Item> scratch;
    auto byBytes = [&](Item* first, Item* last, int bits, auto numberOf) {
        const auto size = uint32_t(last - first);
        scratch.resize(size);
        Item* from = first;
        Item* to = scratch.data();
        for (int pass = 0; pass * 8 < bits; ++pass) {
            std::array<uint32_t, 257> count{};
            for (const Item* it = from; it != from + size; ++it)
                ++count[((numberOf(*it) >> (pass * 8)) & 0xFF) + 1];
            if (std::find(count.begin(), count.end(), size) != count.end())
                continue; // one byte for all
            for (size_t d = 1; d < count.size(); ++d)
                count[d] += count[d - 1];
            for (const Item* it = from; it != from + size; ++it)
                to[count[(numberOf(*it) >> (pass * 8)) & 0xFF]++] = *it;
            std::swap(from, to);
        }
        if (from != first)
            std::copy(from, from + size, first);
    };
    auto sortRun = [&](Item* first, Item* last, int level, auto& self) -> void {
        if (last - first < 2 || std::is_sorted(first, last, before))
            return;
        if (last - first < 4096 || level > 1) {
            std::sort(first, last, before);
            return;
        }
        if (level == 0)
            byBytes(first, last, shift, [flip](const Item& item) { return item.prefix ^ flip; });
        else
            byBytes(first, last, 64, [flip](const Item& item) { return item.prefix2 ^ flip; });
        for (Item* run = first; run != last;) {
            Item* runEnd = run + 1;
            while (runEnd != last &&
                   (level == 0 ? runEnd->prefix == run->prefix : runEnd->prefix2 == run->prefix2))
                ++runEnd;
            self(run, runEnd, level + 1, self);
            run = runEnd;
        }
    };
    for (size_t b = 0; b + 1 < bucketStart.size(); ++b)
        sortRun(fast.data() + bucketStart[b], fast.data() + bucketStart[b + 1], 0, sortRun);
    std::vector<Item>().swap(scratch);
    std::vector<uint32_t> result;
    result.reserve(n);
    if (slow.empty()) {
        for (const Item& item : fast)
            result.push_back(item.position);
        return result;
    }

    // The other texts: distinct ones, ranked by the collator. Most are printable ASCII up to a Han
    // character ("abc.中国", "中文.com"): such a text sorts against every ASCII text as the byte key of
    // its ASCII part followed by the Han character's place (hanPlace) and a byte above any key byte
    // (0xFF), never equal to one. Those keys rank them among themselves too; only texts whose keys are
    // equal need the collator.
    auto qtext = [](std::string_view v) { return QString::fromUtf8(v.data(), qsizetype(v.size())); };
    std::unordered_map<char32_t, int> hanPlaces;
    auto hanPlaceOf = [&](char32_t c) {
        auto found = hanPlaces.find(c);
        if (found == hanPlaces.end())
            found = hanPlaces.emplace(c, order.hanPlace(c)).first;
        return found->second;
    };
    std::vector<std::string> placeKeys(texts.size()); // empty when the text is not of that form
    for (size_t t = 0; t < texts.size(); ++t) {
        const std::string_view v = texts[t];
        size_t ascii = 0;
        while (ascii < v.size() && static_cast<unsigned char>(v[ascii]) < 0x80)
            ++ascii;
        if (ascii == v.size())
            continue;
        const QString rest = qtext(v.substr(ascii, 4)); // the first character after the ASCII part
        const char32_t c = rest.isEmpty() ? 0 : rest.toUcs4().value(0);
        const int place = c ? hanPlaceOf(c) : -1;
        std::string& key = placeKeys[t];
        if (place < 0 || !order.asciiKey(v.substr(0, ascii), key)) {
            key.clear();
            continue;
        }
        key.push_back(char(place));
        key.push_back(char(0xFF));
    }
    std::vector<std::optional<QCollatorSortKey>> sortKeys(texts.size());
    auto sortKeyOf = [&](uint32_t t) -> const QCollatorSortKey& {
        if (!sortKeys[t])
            sortKeys[t] = order.key(qtext(texts[t]));
        return *sortKeys[t];
    };
    auto compareTexts = [&](uint32_t a, uint32_t b) {
        if (!placeKeys[a].empty() && !placeKeys[b].empty()) {
            if (const int c = placeKeys[a].compare(placeKeys[b]); c != 0)
                return c;
        }
        return sortKeyOf(a).compare(sortKeyOf(b));
    };
    std::vector<uint32_t> byKey(texts.size());
    std::iota(byKey.begin(), byKey.end(), 0u);
    std::sort(byKey.begin(), byKey.end(), [&](uint32_t a, uint32_t b) { return compareTexts(a, b) < 0; });
    std::vector<uint32_t> rank(texts.size());
    std::vector<uint32_t> textOfRank;
    uint32_t rankCount = 0;
    for (size_t i = 0; i < byKey.size(); ++i) {
        if (i == 0 || compareTexts(byKey[i - 1], byKey[i]) != 0) {
            ++rankCount;
            textOfRank.push_back(byKey[i]);
        }
        rank[byKey[i]] = rankCount - 1;
    }
    if (descending) {
        for (uint32_t& r : rank)
            r = rankCount - 1 - r;
        std::reverse(textOfRank.begin(), textOfRank.end());
    }
    // The positions grouped by rank, ascending within each (a counting sort keeps their order).
    std::vector<uint32_t> groupStart(rankCount + 1, 0);
    for (size_t i = 0; i < slow.size(); ++i)
        ++groupStart[rank[textOf[i]] + 1];
    for (size_t r = 1; r <= rankCount; ++r)
        groupStart[r] += groupStart[r - 1];
    std::vector<uint32_t> grouped(slow.size());
    {
        std::vector<uint32_t> fill(groupStart.begin(), groupStart.end() - 1);
        for (size_t i = 0; i < slow.size(); ++i)
            grouped[fill[rank[textOf[i]]]++] = slow[i];
    }

    // Each group in its place among the ASCII texts; texts the collator finds equal merge by position.
    // The places only move on: each is looked for from the last one, in growing steps.
    auto gallop = [](auto first, auto last, auto before) {
        std::ptrdiff_t step = 1;
        while (last - first > step && before(first[step - 1])) {
            first += step;
            step *= 2;
        }
        return std::partition_point(first, std::min(last, first + step), before);
    };
    size_t f = 0;
    for (uint32_t r = 0; r < rankCount; ++r) {
        const uint32_t* group = grouped.data() + groupStart[r];
        const size_t groupSize = groupStart[r + 1] - groupStart[r];
        if (groupSize == 0)
            continue;
        const std::string_view placeKey = placeKeys[textOfRank[r]];
        const QString text = placeKey.empty() ? qtext(texts[textOfRank[r]]) : QString();
        auto compareTo = [&](const Item& item) {
            int c;
            if (!placeKey.empty())
                c = std::string_view(keys.data() + item.key, item.length) < placeKey ? -1 : 1;
            else
                c = order.compare(qtext(raw(m_order[item.position], field)), text);
            return descending ? -c : c;
        };
        const auto lower = gallop(fast.begin() + std::ptrdiff_t(f), fast.end(),
                                  [&](const Item& item) { return compareTo(item) < 0; });
        const auto upper = gallop(lower, fast.end(), [&](const Item& item) { return compareTo(item) <= 0; });
        for (auto it = fast.begin() + std::ptrdiff_t(f); it != lower; ++it)
            result.push_back(it->position);
        auto it = lower;
        size_t g = 0;
        while (it != upper || g < groupSize) {
            if (g == groupSize || (it != upper && it->position < group[g]))
                result.push_back((it++)->position);
            else
                result.push_back(group[g++]);
        }
        f = size_t(upper - fast.begin());
    }
    for (auto it = fast.begin() + std::ptrdiff_t(f); it != fast.end(); ++it)
        result.push_back(it->position);
    return result;
}

QString Dataset::deleteCurrent()
{
    const QString fillError = finishFill();
    if (!fillError.isEmpty())
        return fillError;
    if (!m_open || m_current < 0)
        return QStringLiteral("没有可删除的记录");
    const int keyField = fieldIndex(m_keyField);
    if (m_table.isEmpty() || keyField < 0)
        return QStringLiteral("该数据集不能删除记录");
    const QString key = value(m_current, keyField);
    const bool inStep = !m_fetched.isEmpty() && m_fetchedStamp == m_connection->changeStamp();
    Statement del(m_connection);
    del.setSql(sql::kDeleteRowTemplate.arg(m_table, m_keyField));
    del.setParam(QStringLiteral("key"), key);
    const QString error = del.exec();
    if (!error.isEmpty())
        return error;
    if (del.changes() == 0)
        return QStringLiteral("这条记录已经不在数据库中（可能已被另一个程序删除）。请刷新列表。");
    const int row = m_current;
    emit rowAboutToBeRemoved(row);
    if (m_deleted.empty())
        m_deleted.assign(m_rowStart.size(), false);
    m_deleted[m_order[size_t(row)]] = true;
    if (inStep) // the rows held matched the file, and this delete is made in them too
        m_fetchedStamp = m_connection->changeStamp();
    m_order.erase(m_order.begin() + row);
    emit rowRemoved(row);
    m_current = -1;
    setCurrentRow(std::min(row, recordCount() - 1));
    if (recordCount() == 0)
        emit currentRowChanged(-1);
    return {};
}

QString Dataset::append(const QStringList& values)
{
    const QString fillError = finishFill();
    if (!fillError.isEmpty())
        return fillError;
    if (!m_open)
        return QStringLiteral("数据集未打开");
    const int keyField = fieldIndex(m_keyField);
    if (m_table.isEmpty() || keyField != 0)
        return QStringLiteral("该数据集不能添加记录");
    const int count = fieldCount() - 1;
    if (!m_appendStmt) {
        QStringList names, marks;
        for (int f = 1; f <= count; ++f) {
            names << m_fields[f];
            marks << QStringLiteral("?");
        }
        const QByteArray text =
            sql::kAppendRowTemplate.arg(m_table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))
                .toUtf8();
        if (sqlite3_prepare_v2(m_connection->handle(), text.constData(), int(text.size()), &m_appendStmt,
                               nullptr) != SQLITE_OK) {
            finalizeAppend();
            return m_connection->lastError();
        }
    }
    std::vector<QByteArray> utf8(static_cast<size_t>(count));
    for (int f = 0; f < count; ++f) {
        utf8[size_t(f)] = values.value(f).toUtf8();
        sqlite3_bind_text(m_appendStmt, f + 1, utf8[size_t(f)].constData(), int(utf8[size_t(f)].size()),
                          SQLITE_STATIC);
    }
    const int rc = sqlite3_step(m_appendStmt);
    const QString error = rc == SQLITE_DONE ? QString() : m_connection->lastError();
    sqlite3_reset(m_appendStmt);
    sqlite3_clear_bindings(m_appendStmt);
    if (!error.isEmpty())
        return error;

    const std::string key = std::to_string(m_connection->lastInsertRowId());
    std::vector<std::string_view> row;
    row.reserve(size_t(fieldCount()));
    row.emplace_back(key);
    for (int f = 0; f < count; ++f)
        row.emplace_back(utf8[size_t(f)].constData(), size_t(utf8[size_t(f)].size()));
    const QString stored = storeRow(row);
    if (!stored.isEmpty())
        return stored;
    emit rowAboutToBeAppended(recordCount());
    m_order.push_back(uint32_t(m_rowStart.size() - 1));
    if (!m_deleted.empty())
        m_deleted.push_back(false);
    m_appended = true;
    const int newRow = recordCount() - 1;
    emit rowAppended(newRow);
    setCurrentRow(newRow);
    return {};
}
