#include "RowChanges.h"

#include "Connection.h"
#include "Dataset.h"
#include "Sql.h"

#include <algorithm>
#include <cstring>
#include <sqlite3.h>

RowPack::Rows& RowPack::changing()
{
    if (!m_rows)
        m_rows = std::make_shared<Rows>();
    else if (m_rows.use_count() > 1)
        m_rows = std::make_shared<Rows>(*m_rows);
    return *m_rows;
}

void RowPack::reserve(size_t rows, size_t bytes)
{
    Rows& r = changing();
    r.start.reserve(rows);
    r.arena.reserve(bytes);
}

void RowPack::add(const std::array<std::string_view, kFields>& values)
{
    Rows& r = changing();
    r.start.push_back(r.arena.size());
    for (const std::string_view v : values) {
        const auto n = uint32_t(v.size());
        char length[sizeof n];
        std::memcpy(length, &n, sizeof n);
        r.arena.append(length, sizeof n);
        r.arena.append(v.data(), v.size());
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
    const char* p = m_rows->arena.data() + m_rows->start[row];
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
    return *fromRows(dataset, rows, {});
}

std::optional<RowPack> RowPack::fromRows(const Dataset& dataset, const std::vector<int>& rows,
                                         const rowwriter::Progress& progress)
{
    std::array<int, kFields> fields{}; // -1: not held, empty
    for (int f = 0; f < kFields; ++f)
        fields[size_t(f)] = dataset.fieldIndex(DomainRecord::fieldNames()[f]);
    RowPack pack;
    // The room first, so that a million rows are stored without the arena being copied as it grows: each
    // value's length takes at least one byte as held, four here.
    size_t bytes = 0;
    for (const int row : rows)
        bytes += dataset.rawRowBytes(row) + kFields * sizeof(uint32_t);
    pack.reserve(rows.size(), bytes);
    std::vector<std::string_view> all;
    std::array<std::string_view, kFields> values;
    const auto total = qint64(rows.size());
    for (size_t at = 0; at < rows.size(); ++at) {
        if (progress && at % 4096 == 0 && at > 0 && !progress(qint64(at), total))
            return std::nullopt;
        dataset.rawRow(rows[at], all);
        for (size_t f = 0; f < size_t(kFields); ++f)
            values[f] = fields[f] >= 0 ? all[size_t(fields[f])] : std::string_view();
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

// Rows inserted by one statement (as many as its parameters allow, up to 128): one statement per row
// would run the engine's statement set-up and its update of the table's last aid once per row.
size_t rowsPerInsert(Connection* connection)
{
    const int parameters = sqlite3_limit(connection->handle(), SQLITE_LIMIT_VARIABLE_NUMBER, -1);
    return std::clamp<size_t>(size_t(std::max(parameters, 0)) / RowPack::kFields, 1, 128);
}

sqlite3_stmt* prepareInsert(Connection* connection, size_t rows)
{
    QByteArray text = "insert into tt_a (aid,a1,a2,a3,a4,a5,a6,a7,a8,a9) values ";
    for (size_t row = 0; row < rows; ++row)
        text += row == 0 ? "(?,?,?,?,?,?,?,?,?,?)" : ",(?,?,?,?,?,?,?,?,?,?)";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(connection->handle(), text.constData(), int(text.size()), &stmt, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    return stmt;
}

// Of rows that could not be inserted for a key already taken: the domain of the first whose aid the table
// holds.
QString takenAid(Connection* connection, const RowPack& rows, const std::vector<size_t>& order, size_t from,
                 size_t to)
{
    sqlite3_stmt* stmt = nullptr;
    QString domain;
    if (sqlite3_prepare_v2(connection->handle(), "select 1 from tt_a where aid=?", -1, &stmt, nullptr) ==
        SQLITE_OK) {
        for (size_t at = from; at < to && domain.isEmpty(); ++at) {
            sqlite3_bind_int64(stmt, 1, rows.aid(order[at]));
            if (sqlite3_step(stmt) == SQLITE_ROW)
                domain = rows.domain(order[at]);
            sqlite3_reset(stmt);
        }
    }
    sqlite3_finalize(stmt);
    return domain.isEmpty() ? rows.domain(order[from]) : domain;
}

// Inserts the rows, in the order of their aids, many by one statement.
void insertRows(Connection* connection, const RowPack& rows, const Progress& progress, Outcome& outcome)
{
    const std::vector<size_t> order = byAid(rows);
    const size_t total = rows.size();
    sqlite3_stmt* many = nullptr;
    sqlite3_stmt* one = nullptr;
    const size_t perStatement = rowsPerInsert(connection);
    size_t toldAt = 0;
    for (size_t at = 0; at < total;) {
        if (progress && at >= toldAt + 4096) {
            toldAt = at;
            if (!progress(qint64(at), qint64(total))) {
                outcome.cancelled = true;
                break;
            }
        }
        const size_t count = total - at >= perStatement ? perStatement : 1;
        sqlite3_stmt*& stmt = count > 1 ? many : one;
        if (!stmt && !(stmt = prepareInsert(connection, count))) {
            outcome.result = Result::failure(connection->lastError());
            break;
        }
        for (size_t row = 0; row < count; ++row) {
            const size_t from = order[at + row];
            const int first = int(row) * RowPack::kFields + 1;
            sqlite3_bind_int64(stmt, first, rows.aid(from));
            bindTexts(stmt, rows, from, first + 1);
        }
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        if (rc != SQLITE_DONE) {
            // A statement that fails leaves none of its rows.
            if (sqlite3_extended_errcode(connection->handle()) == SQLITE_CONSTRAINT_PRIMARYKEY)
                outcome.conflict = takenAid(connection, rows, order, at, at + count);
            else
                outcome.result = Result::failure(connection->lastError());
            break;
        }
        at += count;
    }
    sqlite3_finalize(many);
    sqlite3_finalize(one);
}
} // namespace

namespace {
// Deletes or updates the rows one statement each, each only where the file holds it as `before` says.
void writeEachRow(Connection* connection, const RowChange& change, const Progress& progress, Outcome& outcome)
{
    const RowChange::Kind kind = change.kind();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(connection->handle(), kind == RowChange::Kind::Delete ? kDelete : kUpdate, -1,
                           &stmt, nullptr) != SQLITE_OK) {
        outcome.result = Result::failure(connection->lastError());
        sqlite3_finalize(stmt);
        return;
    }
    const size_t total = change.size();
    for (size_t row = 0; row < total; ++row) {
        if (progress && row % 4096 == 0 && row > 0 && !progress(qint64(row), qint64(total))) {
            outcome.cancelled = true;
            break;
        }
        sqlite3_bind_int64(stmt, 1, change.before.aid(row));
        bindTexts(stmt, change.before, row, 2);
        if (kind == RowChange::Kind::Update)
            bindTexts(stmt, change.after, row, 11);
        const int rc = sqlite3_step(stmt);
        if (rc != SQLITE_DONE)
            outcome.result = Result::failure(connection->lastError());
        else if (sqlite3_changes(connection->handle()) == 0)
            outcome.conflict = change.before.domain(row);
        sqlite3_reset(stmt);
        if (!outcome.conflict.isEmpty() || !outcome.result.ok())
            break;
    }
    sqlite3_finalize(stmt);
}

// Empties the table in one statement, which the engine makes in one step: told as work going on (done -1)
// before and after it, a stop asked for meanwhile kept to before the commit. False (and nothing changed)
// when the table held other rows than the `total` expected.
bool emptyTable(Connection* connection, qint64 total, const Progress& progress, Outcome& outcome)
{
    const auto goesOn = [&] { return !progress || progress(-1, total); };
    if (!goesOn()) {
        outcome.cancelled = true;
        return true;
    }
    if (const Result begun = connection->execute(QStringLiteral("savepoint whole_table")); !begun.ok()) {
        outcome.result = begun;
        return true;
    }
    const Result emptied = connection->execute(QStringLiteral("delete from tt_a"));
    const bool expected = emptied.ok() && qint64(sqlite3_changes(connection->handle())) == total;
    if (!emptied.ok())
        outcome.result = emptied;
    if (!expected && emptied.ok()) {
        (void)connection->execute(QStringLiteral("rollback to whole_table"));
        (void)connection->execute(QStringLiteral("release whole_table"));
        return false;
    }
    (void)connection->execute(QStringLiteral("release whole_table"));
    if (outcome.result.ok() && !goesOn())
        outcome.cancelled = true;
    return true;
}
} // namespace

Outcome write(Connection* connection, const RowChange& change, const Progress& progress,
              const std::function<bool()>& wholeTable)
{
    Outcome outcome;
    if (!connection || !connection->isOpen()) {
        outcome.result = Result::failure(QStringLiteral("数据库未打开"));
        return outcome;
    }
    const RowChange::Kind kind = change.kind();
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
    if (const Result begun = connection->execute(QStringLiteral("begin immediate")); !begun.ok()) {
        outcome.result = begun;
    } else if (kind == RowChange::Kind::Insert) {
        insertRows(connection, change.after, progress, outcome);
    } else if (kind != RowChange::Kind::Delete || !many || !wholeTable || !wholeTable() ||
               !emptyTable(connection, qint64(total), progress, outcome)) {
        writeEachRow(connection, change, progress, outcome);
    }
    const bool keep = outcome.result.ok() && outcome.conflict.isEmpty() && !outcome.cancelled;
    if (keep) {
        if (const Result committed = connection->execute(sql::kCommit); !committed.ok())
            outcome.result = committed;
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
