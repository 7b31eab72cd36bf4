#include "Dataset.h"

#include "Connection.h"
#include "NaturalOrder.h"
#include "Sql.h"
#include "Statement.h"

#include <algorithm>
#include <numeric>
#include <sqlite3.h>
#include <unordered_map>

Dataset::Dataset(Connection* connection, QObject* parent) : QObject(parent), m_connection(connection) {}

Dataset::~Dataset()
{
    finalizeAppend();
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
    std::vector<uint32_t>().swap(m_offsets);
    std::vector<uint32_t>().swap(m_order);
    m_sort.clear();
    m_current = -1;
    finalizeAppend();
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

QString Dataset::open()
{
    // One reset for the views per open, whether or not rows were held before.
    const bool wasOpen = m_open;
    if (wasOpen)
        emit rowsAboutToReset();
    clearRows();
    QString error;
    if (sqlite3_stmt* stmt = Statement::prepare(m_connection, m_sql, m_params, &error)) {
        error = fetch(stmt);
        sqlite3_finalize(stmt);
    }
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
    std::vector<std::string_view> values(static_cast<size_t>(columns));
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            values[size_t(i)] =
                text ? std::string_view(text, size_t(sqlite3_column_bytes(stmt, i))) : std::string_view();
        }
        storeRow(values);
    }
    if (rc != SQLITE_DONE)
        return m_connection->lastError();
    m_arena.shrink_to_fit();
    m_offsets.shrink_to_fit();
    m_order.shrink_to_fit();
    return {};
}

void Dataset::storeRow(const std::vector<std::string_view>& values)
{
    const auto stored = uint32_t(m_offsets.size() / (m_fields.size() + 1));
    for (const std::string_view& v : values) {
        m_offsets.push_back(uint32_t(m_arena.size()));
        m_arena.append(v);
    }
    m_offsets.push_back(uint32_t(m_arena.size()));
    m_order.push_back(stored);
}

QString Dataset::replaceStatement(const QString& text, const QHash<QString, QString>& params)
{
    // open() closes first; the views see a single reset.
    m_sql = text;
    m_params = params;
    return open();
}

std::string_view Dataset::raw(uint32_t stored, int field) const
{
    const size_t base = size_t(stored) * size_t(m_fields.size() + 1) + size_t(field);
    return std::string_view(m_arena.data() + m_offsets[base], m_offsets[base + 1] - m_offsets[base]);
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

    // Sort keys are dear, and a column holds many equal texts (prices, registrars, dates): one key per
    // distinct text, read in storage order, ranked once; then the display order is sorted on the ranks.
    // Equal keys share a rank, and ties keep their present order, so the sort is stable.
    const size_t stored = m_offsets.size() / size_t(m_fields.size() + 1);
    std::vector<uint32_t> textOf(stored);
    std::vector<std::string_view> texts;
    {
        std::unordered_map<std::string_view, uint32_t> seen;
        seen.reserve(stored);
        for (size_t r = 0; r < stored; ++r) {
            const auto [it, added] = seen.try_emplace(raw(uint32_t(r), field), uint32_t(texts.size()));
            if (added)
                texts.push_back(it->first);
            textOf[r] = it->second;
        }
    }
    const NaturalOrder order;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(texts.size());
    for (const std::string_view v : texts)
        keys.push_back(order.key(QString::fromUtf8(v.data(), qsizetype(v.size()))));
    std::vector<uint32_t> byKey(texts.size());
    std::iota(byKey.begin(), byKey.end(), 0u);
    std::sort(byKey.begin(), byKey.end(),
              [&](uint32_t a, uint32_t b) { return keys[a].compare(keys[b]) < 0; });
    std::vector<uint32_t> rank(texts.size());
    uint32_t next = 0;
    for (size_t i = 0; i < byKey.size(); ++i) {
        if (i > 0 && keys[byKey[i - 1]].compare(keys[byKey[i]]) != 0)
            ++next;
        rank[byKey[i]] = next;
    }
    // (rank, present position) in one number: an ordinary sort of these is the stable sort on the ranks.
    std::vector<uint64_t> positions(m_order.size());
    for (size_t i = 0; i < m_order.size(); ++i) {
        const uint32_t r = rank[textOf[m_order[i]]];
        positions[i] = (uint64_t(descending ? next - r : r) << 32) | uint64_t(i);
    }
    std::sort(positions.begin(), positions.end());
    emit rowsAboutToReset();
    std::vector<uint32_t> sorted(m_order.size());
    for (size_t i = 0; i < positions.size(); ++i)
        sorted[i] = m_order[uint32_t(positions[i])];
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

QString Dataset::deleteCurrent()
{
    if (!m_open || m_current < 0)
        return QStringLiteral("没有可删除的记录");
    const int keyField = fieldIndex(m_keyField);
    if (m_table.isEmpty() || keyField < 0)
        return QStringLiteral("该数据集不能删除记录");
    const QString key = value(m_current, keyField);
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
    emit rowAboutToBeAppended(recordCount());
    storeRow(row);
    const int newRow = recordCount() - 1;
    emit rowAppended(newRow);
    setCurrentRow(newRow);
    return {};
}
