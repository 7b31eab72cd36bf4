#include "DomainWriter.h"

#include "Connection.h"
#include "Sql.h"
#include "Statement.h"

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
    return Result::fromError(query.exec());
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

DomainBatch::DomainBatch(Connection* connection)
    : m_connection(connection), m_insert(new Statement(connection))
{
}

DomainBatch::~DomainBatch()
{
    delete m_insert;
}

Result DomainBatch::begin()
{
    return Result::fromError(m_connection->execute(sql::kBegin));
}

Result DomainBatch::append(const DomainRecord& record)
{
    return domainwriter::insert(*m_insert, record);
}

Result DomainBatch::commit()
{
    const Result committed = Result::fromError(m_connection->execute(sql::kCommit));
    if (!committed.ok()) {
        // Nothing of this batch may stay half-written: undo it (the engine may already have).
        (void)m_connection->execute(sql::kRollback);
    }
    return committed;
}
