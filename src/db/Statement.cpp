#include "Statement.h"

#include "Connection.h"

#include <QRegularExpression>
#include <sqlite3.h>

Statement::Statement(Connection* connection) : m_connection(connection) {}

void Statement::setSql(const QString& text)
{
    m_sql = text;
    m_params.clear();
}

QStringList Statement::parameterNames() const
{
    static const QRegularExpression re(QStringLiteral(":([A-Za-z_][A-Za-z0-9_]*)"));
    QStringList names;
    for (auto it = re.globalMatch(m_sql); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (!names.contains(name))
            names.append(name);
    }
    return names;
}

void Statement::setParam(const QString& name, const QString& value)
{
    m_params.insert(name, value);
}

Expected<sqlite3_stmt*> Statement::prepare(Connection* connection, const QString& text,
                                           const QHash<QString, QString>& params)
{
    if (!connection || !connection->isOpen()) {
        return Result::failure(QStringLiteral("数据库未打开"));
    }
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = text.toUtf8();
    if (sqlite3_prepare_v2(connection->handle(), utf8.constData(), int(utf8.size()), &stmt, nullptr) !=
        SQLITE_OK) {
        const QString error = connection->lastError();
        sqlite3_finalize(stmt);
        return Result::failure(error);
    }
    const int count = sqlite3_bind_parameter_count(stmt);
    for (int i = 1; i <= count; ++i) {
        const char* rawName = sqlite3_bind_parameter_name(stmt, i);
        const QString name = rawName ? QString::fromUtf8(rawName + 1) : QString();
        const auto it = params.constFind(name);
        if (it == params.constEnd()) {
            sqlite3_finalize(stmt);
            return Result::failure(QStringLiteral("参数 :%1 没有值").arg(name));
        }
        const QByteArray value = it->toUtf8();
        sqlite3_bind_text(stmt, i, value.constData(), int(value.size()), SQLITE_TRANSIENT);
    }
    return stmt;
}

Result Statement::exec()
{
    m_changes = 0;
    const Expected<sqlite3_stmt*> prepared = prepare(m_connection, m_sql, m_params);
    if (!prepared.ok())
        return prepared.result();
    sqlite3_stmt* stmt = prepared.value();
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    Result result = Result::success();
    if (rc != SQLITE_DONE)
        result = Result::failure(m_connection->lastError());
    else
        m_changes = sqlite3_changes(m_connection->handle());
    sqlite3_finalize(stmt);
    return result;
}
