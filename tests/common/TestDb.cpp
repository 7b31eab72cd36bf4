#include "TestDb.h"

#include "db/DomainWriter.h"
#include "db/Schema.h"
#include "db/Statement.h"

#include <QAbstractItemModel>
#include <QDir>
#include <sqlite3.h>

TestDb::TestDb() : m_oldCwd(QDir::currentPath())
{
    m_path = m_dir.filePath(Connection::kFileName);
    m_error = schema::createShippedDatabase(m_path).error();
    QDir::setCurrent(m_dir.path());
    if (m_error.isEmpty()) {
        auto made = TDataModule2::create();
        m_error = made.error();
        m_module = made.take();
    }
}

TestDb::~TestDb()
{
    m_module.reset();
    QDir::setCurrent(m_oldCwd);
}

qint64 TestDb::insert(const QStringList& values)
{
    Statement st(m_module->Conn_service());
    if (!domainwriter::insert(st, DomainRecord::fromValues(values)).ok())
        return -1;
    return m_module->Conn_service()->lastInsertRowId();
}

QStringList TestDb::row(qint64 aid) const
{
    Dataset d(m_module->Conn_service());
    d.setSql(QStringLiteral("select * from tt_a where aid=:k"));
    d.setParam(QStringLiteral("k"), QString::number(aid));
    if (!d.open().ok() || d.recordCount() != 1)
        return {};
    return d.rowValues(0);
}

int TestDb::countRows() const
{
    Dataset d(m_module->Conn_service());
    d.setSql(QStringLiteral("select count(*) from tt_a"));
    if (!d.open().ok())
        return -1;
    return d.value(0, 0).toInt();
}

QString TestDb::exec(const QString& sqlText)
{
    return m_module->Conn_service()->execute(sqlText).error();
}

QString TestDb::addManyDomains(int count)
{
    return exec(QStringLiteral("begin;"
                               "with recursive n(x) as (select 1 union all select x + 1 from n where x < %1) "
                               "insert into tt_a (a1,a2,a3,a4,a5,a6,a7,a8,a9) select 'd' || x || '.com', "
                               "'说明', '注册商', '', '2012-10-10', '2022-10-10', '', '', x from n;"
                               "commit;")
                    .arg(count));
}

QString TestDb::setting(const QString& field) const
{
    Dataset d(m_module->Conn_service());
    d.setSql(QStringLiteral("select * from jz_ub where ub3='8'"));
    if (!d.open().ok() || d.recordCount() == 0)
        return {};
    return d.value(0, field);
}

void TestDb::interruptRunningStatements()
{
    sqlite3_interrupt(m_module->Conn_service()->handle());
}

QList<QStringList> storedRowsWithAid(TestDb& db)
{
    QList<QStringList> rows;
    Dataset d(db.module()->Conn_service());
    d.setSql(QStringLiteral("select * from tt_a order by aid"));
    if (!d.open().ok())
        return rows;
    for (int r = 0; r < d.recordCount(); ++r)
        rows.append(d.rowValues(r));
    return rows;
}

QList<QStringList> storedRows(TestDb& db)
{
    QList<QStringList> rows = storedRowsWithAid(db);
    for (QStringList& row : rows)
        row.removeFirst();
    return rows;
}

QStringList row(std::initializer_list<QString> values)
{
    QStringList list(values);
    while (list.size() < 9)
        list.append(QString());
    return list;
}

QStringList columnTexts(const Dataset* rows, const QString& field)
{
    QStringList out;
    for (int r = 0; r < rows->recordCount(); ++r)
        out << rows->value(r, field);
    return out;
}

QStringList modelColumn(const QAbstractItemModel* model, int column)
{
    QStringList out;
    for (int r = 0; r < model->rowCount(); ++r)
        out << model->index(r, column).data().toString();
    return out;
}
