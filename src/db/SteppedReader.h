#pragma once

#include "platform/Result.h"

#include <QHash>
#include <QString>
#include <functional>
#include <string_view>
#include <vector>

class Connection;
class RowStore;
struct sqlite3_stmt;

// Reads the rows of one statement from the file: all at once, or the first ones at once and the rest in
// short steps (the caller decides when each step runs). Keeps what the rows held were read with (the
// statement, whether it had parameters, and the file's change stamp then), so that the same statement
// once more can be answered from them while the file is unchanged.
class SteppedReader
{
public:
    // Stores one row read (a null data() is NULL); a failure says why the row cannot be kept.
    using StoreRow = std::function<Result(const std::vector<std::string_view>&)>;

    explicit SteppedReader(Connection* connection) : m_connection(connection) {}
    ~SteppedReader() { stop(); }
    SteppedReader(const SteppedReader&) = delete;
    SteppedReader& operator=(const SteppedReader&) = delete;

    // Prepares the statement with its parameters and adds its field names to `rows`. On failure (the
    // engine's message) nothing is being read. rowsPerStep caps later steps when positive.
    Result start(RowStore& rows, const QString& text, const QHash<QString, QString>& params,
                 int rowsPerStep = -1);
    // Reads up to maxRows rows (all when negative), or as many as budgetNs allows when it is positive.
    // True after the last row; the statement then stops.
    Expected<bool> step(int maxRows, qint64 budgetNs, const StoreRow& store);
    // Whether a statement is still being read.
    bool isReading() const { return m_stmt != nullptr; }
    // Stops reading (the rows read so far stay where they were stored).
    void stop();

    // The statement being read, its parameters, the file's change stamp when it began.
    const QString& statement() const { return m_sql; }
    const QHash<QString, QString>& params() const { return m_params; }
    const QString& startStamp() const { return m_stamp; }
    int rowsPerStep() const { return m_rowsPerStep; }
    // While reading: the rows shown are those of a statement narrowing the rows read (a search typed
    // meanwhile), so the rows of each later step are narrowed too. Cleared when reading stops.
    bool narrowed() const { return m_narrowed; }
    void setNarrowed(bool narrowed) { m_narrowed = narrowed; }

    // --- what the rows held were read with ---
    // The statement read to its end, with or without parameters, and the file's change stamp then.
    void setSource(const QString& text, bool withParams, const QString& stamp);
    // The rows held are no longer the rows of one statement as read (dropped, or appended to).
    void forgetSource() { m_source.clear(); }
    const QString& source() const { return m_source; }
    bool sourceHadParams() const { return m_sourceWithParams; }
    // Whether the rows held are those of `text` without parameters and the file is unchanged since
    // they were read.
    bool holdsRowsOf(const QString& text) const;
    // Whether the file is unchanged since the rows held were read (and a write made in them as well
    // is told by sourceFollows()).
    bool sourceCurrent() const;
    // A change made in the rows held as well as in the file: they still match it.
    void sourceFollows();

private:
    Connection* m_connection;
    sqlite3_stmt* m_stmt = nullptr; // the statement still being read
    QString m_sql;
    QHash<QString, QString> m_params;
    QString m_stamp;
    int m_rowsPerStep = -1;
    bool m_narrowed = false;
    QString m_source;      // the statement whose rows are held
    QString m_sourceStamp; // the file's change stamp when they were read
    bool m_sourceWithParams = false;
};
