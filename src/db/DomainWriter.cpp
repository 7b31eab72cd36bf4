#include "DomainWriter.h"

#include "Connection.h"
#include "Dataset.h"
#include "Sql.h"
#include "Statement.h"

namespace domainwriter {

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
    return run(query, sql::kUpdateDomainParams, record);
}

} // namespace domainwriter

DomainBatch::DomainBatch(Connection* connection) : m_connection(connection), m_rows(new Dataset(connection))
{
    m_rows->setTable(QStringLiteral("tt_a"), QStringLiteral("aid"));
    m_rows->setSql(sql::kNoDomains);
}

DomainBatch::~DomainBatch()
{
    delete m_rows;
}

Result DomainBatch::begin()
{
    const Result opened = Result::fromError(m_rows->open());
    if (!opened.ok())
        return opened;
    const Result begun = Result::fromError(m_connection->execute(sql::kBegin));
    if (!begun.ok())
        m_rows->close();
    return begun;
}

Result DomainBatch::append(const DomainRecord& record)
{
    // The appended copy is dropped at commit(); the file keeps the row.
    return Result::fromError(m_rows->append(record.values()));
}

Result DomainBatch::commit()
{
    m_rows->close();
    const Result committed = Result::fromError(m_connection->execute(sql::kCommit));
    if (!committed.ok()) {
        // Nothing of this batch may stay half-written: undo it (the engine may already have).
        (void)m_connection->execute(sql::kRollback);
    }
    return committed;
}
