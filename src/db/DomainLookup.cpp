#include "DomainLookup.h"

#include <algorithm>

#include "Connection.h"
#include "DomainWriter.h"
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

Expected<QHash<qint64, DomainRecord>> rows(Connection* connection, const std::vector<qint64>& aids)
{
    QHash<qint64, DomainRecord> found;
    Prepared row(connection, "select aid, a1, a2, a3, a4, a5, a6, a7, a8, a9 from tt_a where aid = ?");
    if (!row.ok())
        return failed(connection);
    // In the order of the keys: neighbouring rows share the pages of the file, read and decrypted once.
    std::vector<qint64> ordered(aids);
    std::sort(ordered.begin(), ordered.end());
    for (const qint64 aid : ordered) {
        sqlite3_bind_int64(row.get(), 1, aid);
        const int rc = sqlite3_step(row.get());
        if (rc == SQLITE_ROW) {
            QStringList values;
            for (int column = 0; column < 10; ++column)
                values.append(text(row.get(), column));
            found.insert(aid, DomainRecord::fromRow(values));
        }
        sqlite3_reset(row.get());
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return failed(connection);
    }
    return found;
}

Expected<bool> remove(Connection* connection, qint64 aid)
{
    Prepared gone(connection, "delete from tt_a where aid = ?");
    if (!gone.ok())
        return failed(connection);
    sqlite3_bind_int64(gone.get(), 1, aid);
    if (sqlite3_step(gone.get()) != SQLITE_DONE)
        return failed(connection);
    return sqlite3_changes(connection->handle()) > 0;
}

Updater::Updater(Connection* connection) : m_connection(connection) {}

Updater::~Updater()
{
    sqlite3_finalize(m_stmt);
}

Result Updater::update(const DomainRecord& record)
{
    if (!m_stmt) {
        const QByteArray text = sql::kUpdateDomain.toUtf8();
        if (!m_connection || !m_connection->isOpen() ||
            sqlite3_prepare_v2(m_connection->handle(), text.constData(), int(text.size()), &m_stmt,
                               nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            return failed(m_connection);
        }
    }
    const QStringList values = record.values();
    std::vector<QByteArray> utf8; // kept until the statement has run
    utf8.reserve(size_t(values.size()) + 1);
    const auto bind = [&](char letter, const QString& value) {
        const char name[] = {':', letter, '\0'};
        utf8.push_back(value.toUtf8());
        sqlite3_bind_text(m_stmt, sqlite3_bind_parameter_index(m_stmt, name), utf8.back().constData(),
                          int(utf8.back().size()), SQLITE_STATIC);
    };
    for (int i = 0; i < DomainRecord::kValueCount; ++i)
        bind(sql::kUpdateDomainParams[i], values[i]);
    bind(sql::kUpdateDomainKey[0], record.aid);
    const int rc = sqlite3_step(m_stmt);
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    if (rc != SQLITE_DONE)
        return failed(m_connection);
    if (sqlite3_changes(m_connection->handle()) == 0)
        return Result::failure(domainwriter::goneText());
    return Result::success();
}

} // namespace domainlookup
