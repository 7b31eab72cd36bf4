#include "Dataset.h"

#include "Connection.h"
#include "DomainRecord.h"
#include "NaturalSort.h"
#include "RowChanges.h"
#include "Sql.h"
#include "Statement.h"

#include <QTimer>
#include <algorithm>
#include <numeric>
#include <sqlite3.h>
#include <unordered_map>
#include <utility>

Dataset::Dataset(Connection* connection, QObject* parent)
    : QObject(parent), m_connection(connection), m_reader(connection)
{
}

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

void Dataset::setRowFilter(RowFilter* filter, const QStringList& narrowedStatements,
                           const QString& baseStatement)
{
    m_filter = filter;
    m_narrowedStatements = filter ? narrowedStatements : QStringList();
    m_baseStatement = filter ? baseStatement : QString();
}

bool Dataset::narrows(const QString& text) const
{
    return m_filter && m_narrowedStatements.contains(text);
}

void Dataset::forgetRows()
{
    m_open = false;
    std::vector<uint32_t>().swap(m_order);
    std::vector<uint32_t>().swap(m_all);
    m_reader.stop();
    m_reader.forgetSource();
    m_firstAppended = kNoRow;
    m_sort.clear();
    m_current = -1;
    finalizeAppend();
    if (m_keeper)
        m_keeper->rowsCleared();
}

void Dataset::clearRows()
{
    m_rows.clear();
    forgetRows();
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

Result Dataset::storeRow(const std::vector<std::string_view>& values)
{
    Result stored = m_rows.append(values);
    if (stored.ok() && m_keeper)
        m_keeper->rowStored(*this, m_rows.rowCount() - 1, values);
    return stored;
}

Result Dataset::fetchAndFilter()
{
    // The statement the row filter answers is never sent to the engine: the rows of its base statement
    // are read, then narrowed in memory.
    const bool narrowed = narrows(m_sql);
    const QString& text = narrowed ? m_baseStatement : m_sql;
    const QHash<QString, QString> params = narrowed ? QHash<QString, QString>() : m_params;
    Result read = m_reader.start(m_rows, text, params);
    if (read.ok()) {
        read = m_reader.step(-1, 0, [this](const auto& values) { return storeRow(values); }).result();
        m_reader.stop();
    }
    if (!read.ok())
        return read;
    m_order.resize(m_rows.rowCount());
    std::iota(m_order.begin(), m_order.end(), 0u);
    m_reader.setSource(text, !params.isEmpty(), m_connection->changeStamp());
    m_rows.renew();
    if (m_filter)
        m_filter->fetched(*this, text, true);
    if (narrowed) {
        std::vector<uint32_t> kept;
        Result selected = m_filter->select(*this, m_params, kept);
        if (selected.ok())
            applyFilter(kept);
        return selected;
    }
    adoptStatementRows();
    return Result::success();
}

void Dataset::applyFilter(std::vector<uint32_t>& kept)
{
    if (m_rows.anyDeleted())
        std::erase_if(kept, [this](uint32_t r) { return m_rows.isDeleted(r); });
    m_order.swap(kept);
    std::vector<uint32_t>().swap(kept);
    adoptStatementRows();
}

void Dataset::adoptStatementRows()
{
    if (!m_test) {
        std::vector<uint32_t>().swap(m_all);
        return;
    }
    m_all = m_order;
    m_test->keep(*this, m_order);
}

void Dataset::setRowTest(RowTest* test)
{
    const int oldStored = storedRow(m_current);
    if (m_open)
        emit rowsAboutToReset();
    if (m_test)
        m_order.swap(m_all);
    m_test = test;
    adoptStatementRows();
    if (!m_open)
        return;
    const auto at = std::find(m_order.begin(), m_order.end(), uint32_t(oldStored));
    m_current = m_order.empty() ? -1 : at != m_order.end() ? int(at - m_order.begin()) : 0;
    emit rowsReset();
    emit currentRowChanged(m_current);
}

void Dataset::clearForFetch()
{
    m_rows.clearForReading(size_t(std::max<qint64>(m_sizeHint, 0)));
    forgetRows();
}

Result Dataset::open()
{
    // One reset for the views per open, whether or not rows were held before.
    const bool wasOpen = m_open;
    if (wasOpen)
        emit rowsAboutToReset();
    clearForFetch();
    return finishOpen(wasOpen, fetchAndFilter());
}

Result Dataset::finishOpen(bool wasOpen, const Result& read)
{
    if (!read.ok()) {
        clearRows();
        if (wasOpen) {
            emit rowsReset();
            emit currentRowChanged(-1);
        }
        return read;
    }
    if (!wasOpen)
        emit rowsAboutToReset();
    m_open = true;
    m_current = m_order.empty() ? -1 : 0;
    emit rowsReset();
    emit currentRowChanged(m_current);
    return Result::success();
}

Result Dataset::openInSteps(int firstRows, int stepRows)
{
    if (narrows(m_sql))
        return open();
    const bool wasOpen = m_open;
    if (wasOpen)
        emit rowsAboutToReset();
    clearForFetch();
    Result read = m_reader.start(m_rows, m_sql, m_params, stepRows);
    if (read.ok())
        read = fillStep(firstRows, 0, false);
    read = finishOpen(wasOpen, read);
    if (read.ok() && m_reader.isReading())
        QTimer::singleShot(0, this, &Dataset::fillLater);
    return read;
}

Result Dataset::fillStep(int maxRows, qint64 budgetNs, bool announce)
{
    const bool narrowed = m_reader.narrowed();
    const uint32_t from = m_rows.rowCount();
    const Expected<bool> stepped =
        m_reader.step(maxRows, budgetNs, [this](const auto& values) { return storeRow(values); });
    const bool done = stepped.ok() && stepped.value();
    Result error = stepped.result();
    const uint32_t to = m_rows.rowCount();
    // The rows read come after those held, in the statement's order. A narrowing statement shown
    // meanwhile keeps those it finds among them: they follow its rows found so far in its own order
    // (a search's rows come in the order of the list it narrows).
    // The filter takes the rows as they come, so that neither a keystroke nor the last step has to take
    // them all at once.
    std::vector<uint32_t> added;
    // ... and the row test, if any, narrows them too.
    if (error.ok() && to > from) {
        if (narrowed) {
            error = m_filter->selectFrom(*this, m_params, from, added);
        } else {
            added.resize(to - from);
            std::iota(added.begin(), added.end(), from);
            if (m_filter)
                m_filter->fetched(*this, m_reader.statement(), false);
        }
    }
    if (error.ok() && m_test && !added.empty()) {
        m_all.insert(m_all.end(), added.begin(), added.end());
        m_test->keep(*this, added);
    }
    if (error.ok() && !added.empty()) {
        const size_t first = m_order.size(), last = first + added.size() - 1;
        if (announce)
            emit rowsAboutToBeAdded(int(first), int(last));
        m_order.insert(m_order.end(), added.begin(), added.end());
        if (announce)
            emit rowsAdded(int(first), int(last));
    }
    if (!error.ok())
        m_reader.stop();
    if (done && error.ok()) {
        // The rows stored are those of the statement read; they stay the same rows (the same generation),
        // and match the file as it was when the reading began: a write meanwhile sends the next
        // statement to the file.
        m_reader.setSource(m_reader.statement(), !m_reader.params().isEmpty(), m_reader.startStamp());
        if (m_filter)
            m_filter->fetched(*this, m_reader.source(), true);
    }
    return error;
}

void Dataset::fillLater()
{
    if (!m_reader.isReading())
        return;
    // Short steps keep the window answering while the rest comes in.
    const Result stepped = fillStep(m_reader.rowsPerStep(), 12 * 1000 * 1000, true);
    if (!stepped.ok()) {
        close();
        emit fillFailed(stepped.error());
        return;
    }
    stepDone();
    if (m_reader.isReading())
        QTimer::singleShot(0, this, &Dataset::fillLater);
}

void Dataset::stepDone()
{
    if (m_current < 0 && !m_order.empty())
        setCurrentRow(0);
    if (!m_reader.isReading())
        emit fillFinished();
}

Result Dataset::finishFill()
{
    if (!m_reader.isReading())
        return Result::success();
    if (Result read = fillStep(-1, 0, true); !read.ok()) {
        close();
        return read;
    }
    stepDone();
    return Result::success();
}

bool Dataset::isNull(int row, int field) const
{
    if (row < 0 || row >= recordCount() || field < 0 || field >= fieldCount())
        return true;
    bool null = false;
    m_rows.value(m_order[size_t(row)], field, &null);
    return null;
}

bool Dataset::answersDuringFill(const QString& text, const QHash<QString, QString>& params) const
{
    if (!m_reader.isReading() || m_connection->changeStamp() != m_reader.startStamp())
        return false;
    if (text == m_reader.statement() && params == m_reader.params())
        return true;
    return narrows(text) && m_reader.params().isEmpty() && m_baseStatement == m_reader.statement();
}

Result Dataset::replaceStatement(const QString& text, const QHash<QString, QString>& params)
{
    // The statement still being read in steps, once more (the default list shown again in the first
    // second after the start), or a search over it (typed meanwhile): answered from the rows read so
    // far, and the rest keep coming, each step adding the rows the statement keeps.
    if (answersDuringFill(text, params)) {
        const bool narrowed = text != m_reader.statement() || params != m_reader.params();
        std::vector<uint32_t> kept;
        Result selected = Result::success();
        if (narrowed) {
            selected = m_filter->select(*this, params, kept);
        } else {
            kept.resize(m_rows.rowCount());
            std::iota(kept.begin(), kept.end(), 0u);
        }
        m_sql = text;
        m_params = params;
        m_reader.setNarrowed(narrowed);
        return showKept(kept, selected);
    }
    // Otherwise the rows of an open in steps are read to the end first.
    if (Result filled = finishFill(); !filled.ok())
        return filled;
    m_sql = text;
    m_params = params;
    // With a filter, statements are answered from the rows held while the file has not changed since
    // they were read (by anyone): the statement they were read with gives them all again, and the one
    // the filter answers narrows them (a search over the default list) in memory.
    if (!m_filter || !m_open || appendedLive())
        return open(); // open() closes first; the views see a single reset.
    std::vector<uint32_t> kept;
    Result selected = Result::success();
    if (narrows(text) && m_reader.holdsRowsOf(m_baseStatement)) {
        selected = m_filter->select(*this, params, kept);
    } else if (!narrows(text) && params.isEmpty() && m_reader.holdsRowsOf(text)) {
        kept.resize(m_rows.rowCount());
        std::iota(kept.begin(), kept.end(), 0u);
    } else {
        return open();
    }
    return showKept(kept, selected);
}

Result Dataset::showKept(std::vector<uint32_t>& kept, const Result& selected)
{
    emit rowsAboutToReset();
    if (!selected.ok()) {
        clearRows();
        emit rowsReset();
        emit currentRowChanged(-1);
        return selected;
    }
    applyFilter(kept);
    m_sort.clear();
    m_current = m_order.empty() ? -1 : 0;
    emit rowsReset();
    emit currentRowChanged(m_current);
    return Result::success();
}

std::string_view Dataset::rawValue(int row, int field) const
{
    if (row < 0 || row >= recordCount() || field < 0 || field >= fieldCount())
        return {};
    return m_rows.value(m_order[size_t(row)], field);
}

std::string_view Dataset::rawStoredValue(int stored, int field) const
{
    if (stored < 0 || stored >= storedRowCount() || field < 0 || field >= fieldCount())
        return {};
    return m_rows.value(uint32_t(stored), field);
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

Result Dataset::setSort(const QString& sortText)
{
    if (!m_open)
        return Result::failure(QStringLiteral("数据集未打开"));
    const QString text = sortText.trimmed();
    const QString name = text.section(QLatin1Char(' '), 0, 0);
    const QString direction = text.section(QLatin1Char(' '), 1).trimmed().toUpper();
    const int field = fieldIndex(name);
    if (field < 0)
        return Result::failure(QStringLiteral("没有字段“%1”").arg(name));
    const bool descending = direction == QLatin1String("DESC");
    if (Result filled = finishFill(); !filled.ok())
        return filled;

    // With a row test the statement's rows are sorted, and those it keeps shown in their new order.
    std::vector<uint32_t>& rows = m_test ? m_all : m_order;
    const std::vector<uint32_t> positions = naturalSort(m_rows, rows, field, descending);
    emit rowsAboutToReset();
    std::vector<uint32_t> sorted(rows.size());
    for (size_t i = 0; i < positions.size(); ++i)
        sorted[i] = rows[positions[i]];
    rows.swap(sorted);
    if (m_test) {
        m_order = m_all;
        m_test->keep(*this, m_order);
    }
    m_sort = QStringLiteral("%1 %2").arg(m_rows.fields()[field],
                                         descending ? QStringLiteral("DESC") : QStringLiteral("ASC"));
    const int oldCurrent = m_current;
    m_current = m_order.empty() ? -1 : 0;
    emit rowsReset();
    if (oldCurrent != m_current || m_current >= 0)
        emit currentRowChanged(m_current);
    return Result::success();
}

Result Dataset::deleteCurrent()
{
    if (Result filled = finishFill(); !filled.ok())
        return filled;
    if (!m_open || m_current < 0)
        return Result::failure(QStringLiteral("没有可删除的记录"));
    const int keyField = fieldIndex(m_keyField);
    if (m_table.isEmpty() || keyField < 0)
        return Result::failure(QStringLiteral("该数据集不能删除记录"));
    const QString key = value(m_current, keyField);
    const bool inStep = m_reader.sourceCurrent();
    Statement del(m_connection);
    del.setSql(sql::kDeleteRowTemplate.arg(m_table, m_keyField));
    del.setParam(QStringLiteral("key"), key);
    if (Result deleted = del.exec(); !deleted.ok())
        return deleted;
    if (del.changes() == 0)
        return Result::failure(
            QStringLiteral("这条记录已经不在数据库中（可能已被另一个程序删除）。请刷新列表。"),
            Result::Code::Refused);
    const int row = m_current;
    emit rowAboutToBeRemoved(row);
    m_rows.markDeleted(m_order[size_t(row)]);
    if (m_test)
        std::erase(m_all, m_order[size_t(row)]);
    if (inStep) // the rows held matched the file, and this delete is made in them too
        m_reader.sourceFollows();
    m_order.erase(m_order.begin() + row);
    emit rowRemoved(row);
    m_current = -1;
    setCurrentRow(std::min(row, recordCount() - 1));
    if (recordCount() == 0)
        emit currentRowChanged(-1);
    return Result::success();
}

Result Dataset::append(const QStringList& values)
{
    if (Result filled = finishFill(); !filled.ok())
        return filled;
    if (!m_open)
        return Result::failure(QStringLiteral("数据集未打开"));
    const int keyField = fieldIndex(m_keyField);
    if (m_table.isEmpty() || keyField != 0)
        return Result::failure(QStringLiteral("该数据集不能添加记录"));
    const int count = fieldCount() - 1;
    if (!m_appendStmt) {
        QStringList names, marks;
        for (int f = 1; f <= count; ++f) {
            names << m_rows.fields()[f];
            marks << QStringLiteral("?");
        }
        const QByteArray text =
            sql::kAppendRowTemplate.arg(m_table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))
                .toUtf8();
        if (sqlite3_prepare_v2(m_connection->handle(), text.constData(), int(text.size()), &m_appendStmt,
                               nullptr) != SQLITE_OK) {
            finalizeAppend();
            return Result::failure(m_connection->lastError());
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
        return Result::failure(error);

    const std::string key = std::to_string(m_connection->lastInsertRowId());
    std::vector<std::string_view> row;
    row.reserve(size_t(fieldCount()));
    row.emplace_back(key);
    for (int f = 0; f < count; ++f)
        row.emplace_back(utf8[size_t(f)].constData(), size_t(utf8[size_t(f)].size()));
    if (Result stored = storeRow(row); !stored.ok())
        return stored;
    emit rowAboutToBeAppended(recordCount());
    m_order.push_back(m_rows.rowCount() - 1);
    if (m_test)
        m_all.push_back(m_rows.rowCount() - 1);
    noteAppended();
    const int newRow = recordCount() - 1;
    emit rowAppended(newRow);
    setCurrentRow(newRow);
    return Result::success();
}

qint64 Dataset::keyOf(uint32_t stored, int keyField) const
{
    qint64 n = 0;
    for (const char c : m_rows.value(stored, keyField))
        n = n * 10 + (c - '0');
    return n;
}

bool Dataset::appendedLive() const
{
    for (uint32_t stored = m_firstAppended; stored < m_rows.rowCount(); ++stored) {
        if (!m_rows.isDeleted(stored))
            return true;
    }
    return false;
}

void Dataset::noteAppended()
{
    m_firstAppended = std::min(m_firstAppended, m_rows.rowCount() - 1);
}

void Dataset::dropKeys(const std::vector<qint64>& sortedKeys, bool matched)
{
    const int keyField = fieldIndex(m_keyField);
    if (!m_open || keyField < 0 || sortedKeys.empty())
        return;
    emit rowsAboutToReset();
    const auto dropped = [&](uint32_t stored) {
        return std::binary_search(sortedKeys.begin(), sortedKeys.end(), keyOf(stored, keyField));
    };
    // The statement's rows before the row test as well, so that they stay gone once the test changes.
    if (m_test)
        std::erase_if(m_all, dropped);
    const int oldCurrent = m_current;
    int firstDropped = -1;
    size_t kept = 0;
    for (size_t row = 0; row < m_order.size(); ++row) {
        if (dropped(m_order[row])) {
            m_rows.markDeleted(m_order[row]);
            if (firstDropped < 0)
                firstDropped = int(row);
            continue;
        }
        m_order[kept++] = m_order[row];
    }
    m_order.resize(kept);
    if (matched)
        m_reader.sourceFollows();
    // The row after the first one taken out becomes current, as after a single deletion.
    const int wanted = firstDropped >= 0 && oldCurrent >= firstDropped ? firstDropped : oldCurrent;
    m_current = m_order.empty() ? -1 : std::clamp(wanted, 0, int(m_order.size()) - 1);
    emit rowsReset();
    emit currentRowChanged(m_current);
}

std::vector<int> Dataset::packFields() const
{
    std::vector<int> from(size_t(fieldCount()), -1);
    for (int f = 0; f < fieldCount(); ++f)
        from[size_t(f)] = int(DomainRecord::fieldNames().indexOf(fieldName(f).toLower()));
    return from;
}

std::vector<uint32_t> Dataset::deletedAlike(const RowPack& rows) const
{
    std::vector<uint32_t> found(rows.size(), kNoRow);
    const int keyField = fieldIndex(m_keyField);
    if (keyField < 0 || m_rows.deletedCount() == 0)
        return found;
    std::vector<std::pair<qint64, uint32_t>> wanted(rows.size());
    for (size_t row = 0; row < rows.size(); ++row)
        wanted[row] = {rows.aid(row), uint32_t(row)};
    std::sort(wanted.begin(), wanted.end());
    const std::vector<int> from = packFields();
    for (uint32_t stored = 0; stored < m_rows.rowCount(); ++stored) {
        if (!m_rows.isDeleted(stored))
            continue;
        const qint64 key = keyOf(stored, keyField);
        auto at = std::lower_bound(wanted.begin(), wanted.end(), std::pair<qint64, uint32_t>(key, 0));
        for (; at != wanted.end() && at->first == key; ++at) {
            if (found[at->second] != kNoRow)
                continue;
            bool same = true;
            for (int f = 0; f < fieldCount() && same; ++f)
                same = from[size_t(f)] >= 0 &&
                       m_rows.value(stored, f) == rows.value(at->second, from[size_t(f)]);
            if (same) {
                found[at->second] = stored;
                break;
            }
        }
    }
    return found;
}

bool Dataset::restoreRows(const RowPack& rows, bool matched)
{
    if (!m_open || !matched || isFilling() || rows.empty() || m_rows.deletedCount() < rows.size())
        return false;
    const std::vector<uint32_t> found = deletedAlike(rows);
    if (std::find(found.begin(), found.end(), kNoRow) != found.end())
        return false;
    for (const uint32_t stored : found)
        m_rows.markRestored(stored);
    m_reader.sourceFollows();
    return true;
}

Result Dataset::replaceRows(const RowPack& rows, bool matched)
{
    const int keyField = fieldIndex(m_keyField);
    if (!m_open || keyField < 0 || rows.empty())
        return Result::success();
    std::unordered_map<qint64, size_t> wanted;
    wanted.reserve(rows.size());
    for (size_t row = 0; row < rows.size(); ++row)
        wanted.emplace(rows.aid(row), row);
    // A row taking values it held before (a change taken back) takes its stored row again, deleted since.
    const std::vector<uint32_t> alike = deletedAlike(rows);
    const std::vector<int> from = packFields();
    const auto fields = static_cast<size_t>(fieldCount());
    emit rowsAboutToReset();
    std::vector<std::string> kept(fields);
    std::vector<std::string_view> values(fields);
    std::unordered_map<uint32_t, uint32_t> replaced; // stored row -> the one with the new values
    QString error;
    const auto replace = [&](uint32_t& entry) {
        if (const auto done = replaced.find(entry); done != replaced.end()) {
            entry = done->second;
            return;
        }
        const auto found = wanted.find(keyOf(entry, keyField));
        if (found == wanted.end() || !error.isEmpty())
            return;
        uint32_t now = alike[found->second];
        if (now != kNoRow) {
            m_rows.markRestored(now);
        } else {
            for (size_t f = 0; f < fields; ++f) {
                if (from[f] >= 0) {
                    values[f] = rows.value(found->second, from[f]);
                } else { // copied: storing the row may move the texts held
                    kept[f] = std::string(m_rows.value(entry, int(f)));
                    values[f] = kept[f];
                }
            }
            if (const Result stored = storeRow(values); !stored.ok()) {
                error = stored.error();
                return;
            }
            now = m_rows.rowCount() - 1;
            noteAppended();
        }
        m_rows.markDeleted(entry);
        replaced.emplace(entry, now);
        entry = now;
    };
    // The statement's rows before the row test as well, so that they stay right once the test changes.
    if (m_test)
        std::for_each(m_all.begin(), m_all.end(), replace);
    std::for_each(m_order.begin(), m_order.end(), replace);
    if (matched && error.isEmpty())
        m_reader.sourceFollows();
    emit rowsReset();
    emit currentRowChanged(m_current);
    return Result::fromError(error);
}
