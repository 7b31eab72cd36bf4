#include "Schema.h"

#include "Connection.h"

#include <QFileInfo>

Result schema::createTables(Connection& connection)
{
    return connection.execute(QStringLiteral(
        "create table tt_a (aid integer primary key autoincrement, a1 text, a2 text, a3 text, a4 text, "
        "a5 text, a6 text, a7 text, a8 text, a9 text);"
        "create table jz_ub (ubid integer primary key autoincrement, ub1 text, ub2 text, ub3 text, "
        "ub4 text, ub5 text);"
        "insert into jz_ub (ub1, ub2, ub3, ub4, ub5) values ('', '0', '8', '0', '');"));
}

Result schema::createShippedDatabase(const QString& path)
{
    if (QFileInfo::exists(path))
        return Result::failure(QStringLiteral("“%1”已存在，未改动").arg(path), Result::Code::Refused);
    Connection connection;
    if (Result created = connection.create(path); !created.ok())
        return created;
    return createTables(connection);
}
