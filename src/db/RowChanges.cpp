#include "RowChanges.h"

#include "Connection.h"
#include "Dataset.h"
#include "Sql.h"

#include <algorithm>
#include <cstring>
#include <sqlite3.h>

void RowPack::reserve(size_t rows, size_t bytes)
{
    m_start.reserve(rows);
    m_arena.reserve(bytes);
}

void RowPack::add(const std::array<std::string_view, kFields>& values)
{
    m_start.push_back(m_arena.size());
    for (const std::string_view v : values) {
        const auto n = uint32_t(v.size());
        char length[sizeof n];
        std::memcpy(length, &n, sizeof n);
        m_arena.append(length, sizeof n);
        m_arena.append(v.data(), v.size());
    }
}

void RowPack::add(const DomainRecord& record)
{
    QList<QByteArray> utf8{record.aid.toUtf8()};
    for (const QString& v : record.values())
        utf8.append(v.toUtf8());
    std::array<std::string_view, kFields> values;
    for (int f = 0; f < kFields; ++f)
        values[size_t(f)] = std::string_view(utf8[f].constData(), size_t(utf8[f].size()));
    add(values);
}

std::string_view RowPack::value(size_t row, int field) const
{
    const char* p = m_arena.data() + m_start[row];
    for (int f = 0;; ++f) {
        uint32_t n = 0;
        std::memcpy(&n, p, sizeof n);
        p += sizeof n;
        if (f == field)
            return std::string_view(p, n);
        p += n;
    }
}

QString RowPack::text(size_t row, int field) const
{
    const std::string_view v = value(row, field);
    return QString::fromUtf8(v.data(), qsizetype(v.size()));
}

qint64 RowPack::aid(size_t row) const
{
    const std::string_view v = value(row, 0);
    qint64 n = 0;
    for (const char c : v)
        n = n * 10 + (c - '0');
    return n;
}

DomainRecord RowPack::record(size_t row) const
{
    QStringList values;
    for (int f = 1; f < kFields; ++f)
        values.append(text(row, f));
    return DomainRecord::fromValues(values, text(row, 0));
}

RowPack RowPack::fromRows(const Dataset& dataset, const std::vector<int>& rows)
{
    std::array<int, kFields> fields{};
    for (int f = 0; f < kFields; ++f)
        fields[size_t(f)] = dataset.fieldIndex(DomainRecord::fieldNames()[f]);
    RowPack pack;
    // The room first, so that a million rows are stored without the arena being copied as it grows.
    size_t bytes = 0;
    for (const int row : rows) {
        for (int f = 0; f < kFields; ++f)
            bytes += sizeof(uint32_t) + dataset.rawValue(row, fields[size_t(f)]).size();
    }
    pack.reserve(rows.size(), bytes);
    std::array<std::string_view, kFields> values;
    for (const int row : rows) {
        for (int f = 0; f < kFields; ++f)
            values[size_t(f)] = dataset.rawValue(row, fields[size_t(f)]);
        pack.add(values);
    }
    return pack;
}

namespace rowwriter {

QString conflictText(const QString& domain)
{
    return QStringLiteral("域名“%1”已被修改或删除（可能是另一个程序）").arg(domain);
}

namespace {
// Parameters: ?1 the aid, ?2 .. ?10 a1 .. a9 as the row must be now, ?11 .. ?19 a1 .. a9 as it becomes.
const char* const kDelete = "delete from tt_a where aid=?1 and ifnull(a1,'')=?2 and ifnull(a2,'')=?3 and "
                            "ifnull(a3,'')=?4 and ifnull(a4,'')=?5 and ifnull(a5,'')=?6 and ifnull(a6,'')=?7 "
                            "and ifnull(a7,'')=?8 and ifnull(a8,'')=?9 and ifnull(a9,'')=?10";
const char* const kUpdate = "update tt_a set a1=?11,a2=?12,a3=?13,a4=?14,a5=?15,a6=?16,a7=?17,a8=?18,a9=?19 "
                            "where aid=?1 and ifnull(a1,'')=?2 and ifnull(a2,'')=?3 and "
                            "ifnull(a3,'')=?4 and ifnull(a4,'')=?5 and ifnull(a5,'')=?6 and ifnull(a6,'')=?7 "
                            "and ifnull(a7,'')=?8 and ifnull(a8,'')=?9 and ifnull(a9,'')=?10";
const char* const kInsert = "insert into tt_a (aid,a1,a2,a3,a4,a5,a6,a7,a8,a9) "
                            "values (?1,?11,?12,?13,?14,?15,?16,?17,?18,?19)";

void bindTexts(sqlite3_stmt* stmt, const RowPack& pack, size_t row, int firstParameter)
{
    for (int f = 1; f < RowPack::kFields; ++f) {
        const std::string_view v = pack.value(row, f);
        sqlite3_bind_text(stmt, firstParameter + f - 1, v.data(), int(v.size()), SQLITE_STATIC);
    }
}
} // namespace

namespace {
// The one number a statement gives (a count, a pragma's value); -1 when it gives none.
qint64 numberOf(Connection* connection, const QByteArray& text)
{
    sqlite3_stmt* stmt = nullptr;
    qint64 n = -1;
    if (sqlite3_prepare_v2(connection->handle(), text.constData(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        n = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return n;
}

qint64 tableRows(Connection* connection)
{
    return numberOf(connection, "select count(*) from tt_a");
}

qint64 pragmaValue(Connection* connection, const char* name)
{
    return numberOf(connection, QByteArray("pragma ") + name);
}

// The rows in the order their aids go, so that inserted rows go to the end of the table's tree one after
// the other.
std::vector<size_t> byAid(const RowPack& rows)
{
    std::vector<size_t> order(rows.size());
    std::vector<qint64> aids(rows.size());
    for (size_t row = 0; row < rows.size(); ++row) {
        order[row] = row;
        aids[row] = rows.aid(row);
    }
    std::sort(order.begin(), order.end(), [&aids](size_t a, size_t b) { return aids[a] < aids[b]; });
    return order;
}
} // namespace

Outcome write(Connection* connection, const RowChange& change, const Progress& progress,
              const std::function<bool()>& unchanged)
{
    Outcome outcome;
    if (!connection || !connection->isOpen()) {
        outcome.result = Result::failure(QStringLiteral("数据库未打开"));
        return outcome;
    }
    const RowChange::Kind kind = change.kind();
    const char* text = kind == RowChange::Kind::Delete   ? kDelete
                       : kind == RowChange::Kind::Insert ? kInsert
                                                         : kUpdate;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(connection->handle(), text, -1, &stmt, nullptr) != SQLITE_OK) {
        outcome.result = Result::failure(connection->lastError());
        sqlite3_finalize(stmt);
        return outcome;
    }
    const size_t total = change.size();
    // Many rows deleted: their content is overwritten where a page is written anyway, but free pages are
    // not written only to be cleared (the copy made before a bulk change holds the rows in any case), so
    // that deleting a million rows does not rewrite the whole file.
    const bool many = total > 1000;
    const qint64 secureDelete =
        many && kind == RowChange::Kind::Delete ? pragmaValue(connection, "secure_delete") : -1;
    if (secureDelete > 0)
        (void)connection->execute(QStringLiteral("pragma secure_delete=fast"));
    if (many)
        connection->widenCacheForWriting();
    // The write lock at once: from here no other program changes the file until the end.
    if (const QString begun = connection->execute(QStringLiteral("begin immediate")); !begun.isEmpty()) {
        sqlite3_finalize(stmt);
        outcome.result = Result::failure(begun);
        return outcome;
    }
    const RowPack& keys = kind == RowChange::Kind::Insert ? change.after : change.before;
    // Every row of the table, as read, with nothing changed since: one statement empties the table.
    const bool wholeTable = kind == RowChange::Kind::Delete && total > 1000 && unchanged && unchanged() &&
                            tableRows(connection) == qint64(total);
    const std::vector<size_t> order = kind == RowChange::Kind::Insert ? byAid(keys) : std::vector<size_t>();
    if (wholeTable) {
        // One statement the engine makes in one step: told as work going on (done -1) before and after it,
        // and a stop asked for meanwhile is kept to before the commit.
        const auto goesOn = [&] { return !progress || progress(-1, qint64(total)); };
        if (!goesOn()) {
            outcome.cancelled = true;
        } else {
            const QString emptied = connection->execute(QStringLiteral("delete from tt_a"));
            if (!emptied.isEmpty())
                outcome.result = Result::failure(emptied);
            else if (!goesOn())
                outcome.cancelled = true;
        }
    }
    for (size_t at = 0; at < total && !wholeTable; ++at) {
        const size_t row = order.empty() ? at : order[at];
        if (progress && at % 4096 == 0 && at > 0 && !progress(qint64(at), qint64(total))) {
            outcome.cancelled = true;
            break;
        }
        sqlite3_bind_int64(stmt, 1, keys.aid(row));
        if (kind != RowChange::Kind::Insert)
            bindTexts(stmt, change.before, row, 2);
        if (kind != RowChange::Kind::Delete)
            bindTexts(stmt, change.after, row, 11);
        const int rc = sqlite3_step(stmt);
        if (rc != SQLITE_DONE) {
            if (kind == RowChange::Kind::Insert &&
                sqlite3_extended_errcode(connection->handle()) == SQLITE_CONSTRAINT_PRIMARYKEY)
                outcome.conflict = keys.domain(row);
            else
                outcome.result = Result::failure(connection->lastError());
        } else if (sqlite3_changes(connection->handle()) == 0) {
            outcome.conflict = keys.domain(row);
        }
        sqlite3_reset(stmt);
        if (!outcome.conflict.isEmpty() || !outcome.result.ok())
            break;
    }
    sqlite3_finalize(stmt);
    const bool keep = outcome.result.ok() && outcome.conflict.isEmpty() && !outcome.cancelled;
    if (keep) {
        if (const QString committed = connection->execute(sql::kCommit); !committed.isEmpty())
            outcome.result = Result::failure(committed);
    }
    if (!keep || !outcome.result.ok())
        (void)connection->execute(sql::kRollback);
    if (!outcome.conflict.isEmpty())
        outcome.result = Result::failure(conflictText(outcome.conflict));
    if (outcome.cancelled)
        outcome.result = Result::failure(QStringLiteral("已取消，没有修改任何域名。"));
    if (many)
        connection->fitCacheToFile();
    if (secureDelete > 0)
        (void)connection->execute(QStringLiteral("pragma secure_delete=%1").arg(secureDelete));
    return outcome;
}

} // namespace rowwriter
