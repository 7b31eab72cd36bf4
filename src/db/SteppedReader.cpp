#include "SteppedReader.h"

#include "Connection.h"
#include "RowStore.h"
#include "Statement.h"

#include <QElapsedTimer>
#include <sqlite3.h>

Result SteppedReader::start(RowStore& rows, const QString& text, const QHash<QString, QString>& params,
                            int rowsPerStep)
{
    stop();
    m_sql = text;
    m_params = params;
    m_stamp = m_connection->changeStamp();
    m_rowsPerStep = rowsPerStep;
    const Expected<sqlite3_stmt*> prepared = Statement::prepare(m_connection, text, params);
    if (!prepared.ok())
        return prepared.result();
    m_stmt = prepared.value();
    const int columns = sqlite3_column_count(m_stmt);
    for (int i = 0; i < columns; ++i)
        rows.addField(QString::fromUtf8(sqlite3_column_name(m_stmt, i)));
    return Result::success();
}

Expected<bool> SteppedReader::step(int maxRows, qint64 budgetNs, const StoreRow& store)
{
    if (!m_stmt)
        return true;
    const int columns = sqlite3_column_count(m_stmt);
    std::vector<std::string_view> values(static_cast<size_t>(columns));
    QElapsedTimer clock;
    clock.start();
    int rc = SQLITE_ROW;
    for (int read = 0; maxRows < 0 || read < maxRows; ++read) {
        if (budgetNs > 0 && (read & 255) == 255 && clock.nsecsElapsed() > budgetNs)
            break;
        rc = sqlite3_step(m_stmt);
        if (rc != SQLITE_ROW)
            break;
        for (int i = 0; i < columns; ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
            values[size_t(i)] =
                text ? std::string_view(text, size_t(sqlite3_column_bytes(m_stmt, i))) : std::string_view();
        }
        if (Result stored = store(values); !stored.ok())
            return stored;
    }
    const bool done = rc != SQLITE_ROW;
    const QString error = done && rc != SQLITE_DONE ? m_connection->lastError() : QString();
    if (done)
        stop();
    if (done && rc != SQLITE_DONE)
        return Result::failure(error);
    return done;
}

void SteppedReader::stop()
{
    if (m_stmt) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
    m_narrowed = false;
}

void SteppedReader::setSource(const QString& text, bool withParams, const QString& stamp)
{
    m_source = text;
    m_sourceWithParams = withParams;
    m_sourceStamp = stamp;
}

bool SteppedReader::sourceCurrent() const
{
    return !m_source.isEmpty() && m_sourceStamp == m_connection->changeStamp();
}

bool SteppedReader::holdsRowsOf(const QString& text) const
{
    return !m_sourceWithParams && text == m_source && sourceCurrent();
}

void SteppedReader::sourceFollows()
{
    m_sourceStamp = m_connection->changeStamp();
}
