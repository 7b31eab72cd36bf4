#pragma once

#include "db/Connection.h"

#include <QString>
#include <QStringList>
#include <sqlite3.h>

// The engine as reference: a plain read-only connection to a test file, without the program's functions
// (the program's connections match LIKE with its own matcher and read dates their own way).
class EngineConnection
{
public:
    explicit EngineConnection(const QString& path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
            sqlite3_key(m_db, Connection::kPassword.constData(), int(Connection::kPassword.size())) !=
                SQLITE_OK) {
            sqlite3_close(m_db);
            m_db = nullptr;
        }
    }
    ~EngineConnection() { sqlite3_close(m_db); }
    EngineConnection(const EngineConnection&) = delete;
    EngineConnection& operator=(const EngineConnection&) = delete;
    sqlite3* handle() const { return m_db; }

    // The rows of a statement, each row's columns joined with "|"; the parameters bound by position.
    QStringList rows(const QString& statement, const QStringList& params, QString* error) const
    {
        sqlite3_stmt* stmt = nullptr;
        QStringList out;
        const QByteArray text = statement.toUtf8();
        if (sqlite3_prepare_v2(m_db, text.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
            *error = QString::fromUtf8(sqlite3_errmsg(m_db));
            return out;
        }
        for (int i = 0; i < params.size(); ++i) {
            const QByteArray utf8 = params[i].toUtf8();
            sqlite3_bind_text(stmt, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            QStringList columns;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c)
                columns << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)));
            out << columns.join(QLatin1Char('|'));
        }
        *error = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_finalize(stmt);
        return out;
    }

private:
    sqlite3* m_db = nullptr;
};
