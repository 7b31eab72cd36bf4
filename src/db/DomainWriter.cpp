#include "DomainWriter.h"

#include "Connection.h"
#include "Sql.h"
#include "Statement.h"

#include <QStringEncoder>

#include <array>
#include <sqlite3.h>

namespace domainwriter {

QString goneText()
{
    return QStringLiteral("这个域名已经不在数据库中（可能已被另一个程序删除），修改没有保存。");
}

namespace {
// Binds a1 .. a9 to the parameters named in `letters`, in that order, and runs the statement.
Result run(Statement& query, const char* letters, const DomainRecord& record)
{
    const QStringList values = record.values();
    for (int i = 0; i < DomainRecord::kValueCount; ++i)
        query.setParam(QString(QLatin1Char(letters[i])), values[i]);
    return query.exec();
}
} // namespace

Result insert(Statement& query, const DomainRecord& record)
{
    query.setSql(sql::kInsertDomain);
    return run(query, sql::kInsertDomainParams, record);
}

Result update(Statement& query, const DomainRecord& record)
{
    query.setSql(sql::kUpdateDomain);
    query.setParam(QLatin1String(sql::kUpdateDomainKey), record.aid);
    const Result written = run(query, sql::kUpdateDomainParams, record);
    if (written.ok() && query.changes() == 0)
        return Result::failure(goneText());
    return written;
}

} // namespace domainwriter

DomainBatch::DomainBatch(Connection* connection) : m_connection(connection) {}

DomainBatch::~DomainBatch()
{
    sqlite3_finalize(m_insert);
    if (m_widened && m_connection)
        m_connection->fitCacheToFile();
}

Result DomainBatch::begin()
{
    if (!m_widened && m_connection && m_connection->isOpen()) {
        m_connection->widenCacheForWriting();
        m_widened = true;
    }
    return m_connection->execute(sql::kBegin);
}

Result DomainBatch::append(const DomainRecord& record)
{
    if (!m_connection || !m_connection->isOpen())
        return Result::failure(QStringLiteral("数据库未打开"));
    if (!m_insert) {
        const QByteArray text = sql::kInsertDomain.toUtf8();
        if (sqlite3_prepare_v2(m_connection->handle(), text.constData(), int(text.size()), &m_insert,
                               nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_insert);
            m_insert = nullptr;
            return Result::failure(m_connection->lastError());
        }
        // Each value goes to its column by the parameter's name, looked up once.
        for (int i = 0; i < DomainRecord::kValueCount; ++i) {
            const char name[] = {':', sql::kInsertDomainParams[i], '\0'};
            m_parameters[size_t(i)] = sqlite3_bind_parameter_index(m_insert, name);
        }
    }
    // The record's values as UTF-8, one after the other in one buffer kept from record to record.
    const QStringList values = record.values();
    qsizetype room = 0;
    for (const QString& value : values)
        room += value.size() * 3;
    if (m_utf8.size() < room)
        m_utf8.resize(room);
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    char* at = m_utf8.data();
    for (int i = 0; i < DomainRecord::kValueCount; ++i) {
        char* const end = encoder.appendToBuffer(at, values[i]);
        sqlite3_bind_text(m_insert, m_parameters[size_t(i)], at, int(end - at), SQLITE_STATIC);
        at = end;
    }
    const int rc = sqlite3_step(m_insert);
    const Result stored = rc == SQLITE_DONE ? Result::success() : Result::failure(m_connection->lastError());
    sqlite3_reset(m_insert);
    sqlite3_clear_bindings(m_insert);
    return stored;
}

Result DomainBatch::commit()
{
    const Result committed = m_connection->execute(sql::kCommit);
    if (!committed.ok()) {
        // Nothing of this batch may stay half-written: undo it (the engine may already have).
        (void)m_connection->execute(sql::kRollback);
    }
    return committed;
}
