#pragma once

#include "platform/Result.h"

#include <QHash>
#include <QString>
#include <QStringList>

class Connection;
struct sqlite3_stmt;

// A statement text with named parameters (":a"), bound by name, always as text.
class Statement
{
public:
    explicit Statement(Connection* connection);

    // Close, clear the statement, add the new text as one line.
    void setSql(const QString& text);
    QString sql() const { return m_sql; }
    // The parameter names as they stand in the text, without the colon, in order.
    QStringList parameterNames() const;

    void setParam(const QString& name, const QString& value);
    void clearParams() { m_params.clear(); }

    // Runs the statement (no rows are returned); a failure carries the engine's message.
    Result exec();
    // The rows that the last successful exec() inserted, changed or deleted.
    int changes() const { return m_changes; }

    // Prepares text on the connection and binds params by name; shared with the datasets.
    // The statement (never null), or why there is none. Every parameter of the text needs a value.
    static Expected<sqlite3_stmt*> prepare(Connection* connection, const QString& text,
                                           const QHash<QString, QString>& params);

private:
    Connection* m_connection;
    QString m_sql;
    QHash<QString, QString> m_params;
    int m_changes = 0;
};
