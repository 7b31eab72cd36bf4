#include "DomainWriter.h"

#include "db/Sql.h"
#include "db/Statement.h"

namespace domainwriter {

namespace {
// Sets a1..a9 on the parameters named in `letters`, in that order, and runs the statement.
QString run(Statement& query, const char* letters, const QStringList& a1ToA9)
{
    for (int i = 0; i < 9; ++i)
        query.setParam(QString(QLatin1Char(letters[i])), a1ToA9.value(i));
    return query.exec();
}
} // namespace

QString insert(Statement& query, const QStringList& a1ToA9)
{
    query.setSql(sql::kInsertDomain);
    return run(query, "abcdefghi", a1ToA9);
}

QString update(Statement& query, const QString& aid, const QStringList& a1ToA9)
{
    query.setSql(sql::kUpdateDomain);
    query.setParam(QStringLiteral("h"), aid);
    return run(query, "abcdefgij", a1ToA9);
}

} // namespace domainwriter
