#include "DomainLookup.h"

#include "Connection.h"
#include "Sql.h"

#include <sqlite3.h>

namespace domainlookup {

namespace {

// A statement prepared for the lifetime of one call.
class Prepared
{
public:
    Prepared(Connection* connection, const char* text)
    {
        if (connection && connection->isOpen())
            m_ok = sqlite3_prepare_v2(connection->handle(), text, -1, &m_stmt, nullptr) == SQLITE_OK;
    }
    ~Prepared() { sqlite3_finalize(m_stmt); }
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;
    bool ok() const { return m_ok; }
    sqlite3_stmt* get() const { return m_stmt; }

private:
    sqlite3_stmt* m_stmt = nullptr;
    bool m_ok = false;
};

Result failed(Connection* connection)
{
    return Result::failure(connection && connection->isOpen() ? connection->lastError()
                                                              : QStringLiteral("数据库未打开"));
}

QString text(sqlite3_stmt* stmt, int column)
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(stmt, column)) : QString();
}

} // namespace

Result eachName(Connection* connection, const std::function<void(qint64, std::string_view)>& each)
{
    Prepared names(connection, "select aid, a1 from tt_a");
    if (!names.ok())
        return failed(connection);
    int rc;
    while ((rc = sqlite3_step(names.get())) == SQLITE_ROW) {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(names.get(), 1));
        each(sqlite3_column_int64(names.get(), 0),
             std::string_view(bytes ? bytes : "", size_t(sqlite3_column_bytes(names.get(), 1))));
    }
    return rc == SQLITE_DONE ? Result::success() : failed(connection);
}

Result rows(Connection* connection, const std::vector<qint64>& aids, QHash<qint64, DomainRecord>* found)
{
    Prepared row(connection, "select aid, a1, a2, a3, a4, a5, a6, a7, a8, a9 from tt_a where aid = ?");
    if (!row.ok())
        return failed(connection);
    for (const qint64 aid : aids) {
        sqlite3_bind_int64(row.get(), 1, aid);
        const int rc = sqlite3_step(row.get());
        if (rc == SQLITE_ROW) {
            QStringList values;
            for (int column = 0; column < 10; ++column)
                values.append(text(row.get(), column));
            found->insert(aid, DomainRecord::fromRow(values));
        }
        sqlite3_reset(row.get());
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return failed(connection);
    }
    return Result::success();
}

Result remove(Connection* connection, qint64 aid, bool* deleted)
{
    Prepared gone(connection, "delete from tt_a where aid = ?");
    if (!gone.ok())
        return failed(connection);
    sqlite3_bind_int64(gone.get(), 1, aid);
    if (sqlite3_step(gone.get()) != SQLITE_DONE)
        return failed(connection);
    if (deleted)
        *deleted = sqlite3_changes(connection->handle()) > 0;
    return Result::success();
}

} // namespace domainlookup
