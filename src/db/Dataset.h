#pragma once

#include "RowStore.h"
#include "SteppedReader.h"
#include "platform/Result.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class Connection;
class Dataset;
struct sqlite3_stmt;

// Answers one statement from the rows a dataset already holds, instead of the engine: the rows of a
// base statement, narrowed in memory (Query_a's search narrows the default list). Which statement, and
// over which base, the dataset is told with the filter (Dataset::setRowFilter). The dataset still holds
// the statement and its parameters, so a reopen gives the same rows.
class RowFilter
{
public:
    virtual ~RowFilter() = default;
    // The stored rows (ascending) that the statement keeps with these parameters; a failure carries the
    // error the engine would give for it.
    virtual Result select(const Dataset& rows, const QHash<QString, QString>& params,
                          std::vector<uint32_t>& kept) = 0;
    // As select(), but only among the stored rows from `from` on: the rows read since, while the base
    // statement is still being read in steps.
    virtual Result selectFrom(const Dataset& rows, const QHash<QString, QString>& params, uint32_t from,
                              std::vector<uint32_t>& kept) = 0;
    // The dataset has just read the rows of `statement` from the file (to prepare for narrowing them):
    // all of them, or (while it reads them in steps) more of them, `complete` after the last.
    virtual void fetched(const Dataset& rows, const QString& statement, bool complete) = 0;
};

// Keeps something per stored row, taken while the row is stored and its text is at hand, so that a
// reader never has to go over all rows again after the rows are replaced (the status bar's counts).
class RowKeeper
{
public:
    virtual ~RowKeeper() = default;
    // The rows held were dropped: the next row stored is stored row 0 of new rows.
    virtual void rowsCleared() = 0;
    // Stored row `stored` has just been stored with these values (a null data() is NULL); rows come
    // in stored order, once each.
    virtual void rowStored(const Dataset& rows, uint32_t stored,
                           const std::vector<std::string_view>& values) = 0;
};

// Keeps only some of the rows a statement gives, whatever the statement (the list's filters beside its
// search), in memory.
class RowTest
{
public:
    virtual ~RowTest() = default;
    // Takes out of `stored` (stored row numbers) the rows the test does not keep; the rest keep their order.
    virtual void keep(const Dataset& rows, std::vector<uint32_t>& stored) = 0;
};

// A fully fetched, scrollable result of one select statement (Query_a, Query_jz_ub):
// exact record count, a current row, in-place sorting by one field, deletion of the
// current row and appending of rows. Every value is handled as text.
//
// The rows read are kept once in a RowStore; the dataset itself is the ordered list over them (stored
// row numbers in display order) with its current row, so a million domains stay small and a sort
// (naturalSort) or a search only makes a new list of numbers. A SteppedReader reads them from the file,
// at once or in steps from the event loop.
class Dataset : public QObject
{
    Q_OBJECT
public:
    explicit Dataset(Connection* connection, QObject* parent = nullptr);
    ~Dataset() override;

    // The table that deletes and appends go to, and its key field.
    void setTable(const QString& table, const QString& keyField);
    // The statements `narrowedStatements` are answered by `filter` (not owned; null for none) from the rows
    // of `baseStatement`, in memory: the engine never runs them. Any other statement is run by the engine.
    void setRowFilter(RowFilter* filter, const QStringList& narrowedStatements, const QString& baseStatement);
    // Shows only the rows of the statement that `test` keeps (not owned; null shows them all), from now on
    // and at once: the rows held are narrowed or widened in memory, in their order, without running the
    // statement again (one reset). Call it again after the test changed. The current row stays where it
    // is kept. A row appended is shown whatever the test says, until the test is set again.
    void setRowTest(RowTest* test);
    RowTest* rowTest() const { return m_test; }
    // The stored rows of the statement in display order, before the row test (with none, the rows shown).
    const std::vector<uint32_t>& statementRows() const { return m_test ? m_all : m_order; }
    // Told of every row stored from now on and of every clearing (not owned; null for none). Set it
    // before the first open.
    void setRowKeeper(RowKeeper* keeper) { m_keeper = keeper; }
    RowKeeper* rowKeeper() const { return m_keeper; }
    // The bytes a first fetch may need (the file's size), so that the rows are stored without regrowing.
    void setSizeHint(qint64 bytes) { m_sizeHint = bytes; }

    // --- statement ---
    QString sql() const { return m_sql; }
    // Close, clear the statement and its parameters, add the new text as one line.
    void setSql(const QString& text);
    void setParam(const QString& name, const QString& value);
    QHash<QString, QString> params() const { return m_params; }

    // Runs the statement held (closing first: reopening is opening again). On failure (the engine's
    // message) the dataset stays closed.
    Result open();
    // As open(), but reads only the first rows at once and the rest in short steps from the event loop
    // (rowsAboutToBeAdded, rowsAdded), so that a large table holds nothing up. The same statement once
    // more, or one the row filter answers by narrowing it (a search), is answered from the rows read so
    // far, and the rows read later follow, those it keeps. Whatever else changes the rows or their order
    // first reads the rest. A later step reads as many rows as about 12 ms allow, and at most stepRows
    // when that is positive.
    Result openInSteps(int firstRows = 2000, int stepRows = -1);
    bool isFilling() const { return m_reader.isReading(); }
    // Whether replaceStatement(text, params) would first read the rest of an open in steps.
    bool waitsForFill(const QString& text, const QHash<QString, QString>& params = {}) const
    {
        return m_reader.isReading() && !answersDuringFill(text, params);
    }
    // Reads the rest of an open in steps at once; a failure carries the engine's message.
    Result finishFill();
    void close();
    // Close, replace the statement (and parameters), open. With a row filter, the rows held answer it
    // while the file is unchanged since they were read: the same statement once more, or one that
    // narrows them.
    Result replaceStatement(const QString& text, const QHash<QString, QString>& params = {});
    bool isOpen() const { return m_open; }

    // --- fields and rows ---
    int recordCount() const { return m_open ? int(m_order.size()) : 0; }
    int fieldCount() const { return m_rows.fieldCount(); }
    QString fieldName(int field) const { return m_rows.fields().value(field); }
    int fieldIndex(const QString& name) const { return m_rows.fieldIndex(name); }

    QString value(int row, int field) const;
    QString value(int row, const QString& field) const { return value(row, fieldIndex(field)); }
    QStringList rowValues(int row) const;
    // Raw UTF-8 of a value, without conversion (for bulk writers).
    std::string_view rawValue(int row, int field) const;
    bool isNull(int row, int field) const;
    // Raw UTF-8 of every value of a row (a NULL is empty), read in one pass; the bytes the row takes.
    void rawRow(int row, std::vector<std::string_view>& values) const
    {
        m_rows.values(m_order[size_t(row)], values);
    }
    size_t rawRowBytes(int row) const { return m_rows.rowBytes(m_order[size_t(row)]); }

    // --- the rows as fetched, whatever the display order (for indexes over them) ---
    std::string_view storedValue(uint32_t stored, int field, bool* isNull = nullptr) const
    {
        return m_rows.value(stored, field, isNull);
    }
    // Stored rows: the rows as fetched and appended, whatever the display order. Each display row is
    // one stored row; a stored row keeps its number and its values until the rows are replaced
    // (open, close), which changes generation(). Lets a reader keep something per row between sorts,
    // deletions and appends.
    int storedRow(int row) const { return row >= 0 && row < recordCount() ? int(m_order[size_t(row)]) : -1; }
    int storedRowCount() const { return int(m_rows.rowCount()); }
    std::string_view rawStoredValue(int stored, int field) const;
    quint64 generation() const { return m_rows.generation(); }
    // The text of a field in the current row; empty when there is no current row.
    QString fieldText(const QString& field) const { return value(m_current, fieldIndex(field)); }

    // --- current row ---
    int currentRow() const { return m_current; }
    void setCurrentRow(int row); // clamped to the rows held
    bool next();                 // false when already on the last row
    bool prior();                // false when already on the first row
    void first() { setCurrentRow(0); }
    void last() { setCurrentRow(recordCount() - 1); }

    // --- in-place sort ---
    // "a1 ASC" or "a9 DESC" (field name, a blank, the direction); empty text keeps the present order.
    // Natural order: letter case ignored, digits compared by value, Chinese by its usual collation.
    Result setSort(const QString& sortText);
    QString sort() const { return m_sort; }

    // --- changes through the cursor; each goes to the file at once ---
    // Deletes the current row from the table and from the rows held; the following row becomes current
    // (the new last row when the last was deleted). A failure carries the engine's message.
    Result deleteCurrent();
    // Appends a row: values for the fields after the key, by position. The row is added at the end
    // of the rows held and becomes current. A failure carries the engine's message.
    Result append(const QStringList& values);
    // Rows with these keys (ascending) were deleted from the file: they leave the rows held, in one reset.
    // `matched` tells whether the rows held matched the file just before (matchesFile()), so that they
    // still do.
    void dropKeys(const std::vector<qint64>& sortedKeys, bool matched);
    // Rows of tt_a were changed in the file to these whole rows (aid, a1 .. a9, found by aid): the rows held
    // take the new values in their places, in one reset. Empty on success, else why not.
    // `matched` as for dropKeys().
    [[nodiscard]] Result replaceRows(const class RowPack& rows, bool matched);
    // Rows of tt_a deleted from the rows held were put back into the file as they were (aid, a1 .. a9):
    // when the rows held still keep every one of them, deleted, with those values, and `matched` (as for
    // dropKeys()) they are taken back in and true is returned; the rows shown change only once the
    // statement is run again (answered from the rows held). False, and nothing changed, otherwise.
    bool restoreRows(const class RowPack& rows, bool matched);
    // Whether the rows held are those `text` gives, read from the file with nothing changed since.
    bool holdsRowsOf(const QString& text) const { return m_reader.holdsRowsOf(text); }
    // The stored rows not deleted since.
    int liveStoredRows() const { return int(m_rows.rowCount() - m_rows.deletedCount()); }
    // Whether the rows held are those of the file as it is now.
    bool matchesFile() const { return m_reader.sourceCurrent(); }
    Connection* connection() const { return m_connection; }

signals:
    // The rows held are about to be / were replaced, cleared or reordered (open, close, sort).
    void rowsAboutToReset();
    void rowsReset();
    void rowAboutToBeRemoved(int row);
    void rowAboutToBeAppended(int row);
    void rowRemoved(int row);
    void rowAppended(int row);
    void currentRowChanged(int row);
    // Rows read by a later step of openInSteps(), at the end.
    void rowsAboutToBeAdded(int first, int last);
    void rowsAdded(int first, int last);
    // The last rows of an open in steps were read (by a later step or by finishFill()): the rows held
    // are now every row of the statement.
    void fillFinished();
    // A later step of openInSteps() failed; the dataset is closed.
    void fillFailed(const QString& error);

private:
    bool narrows(const QString& text) const; // whether the row filter answers text
    Result fillStep(int maxRows, qint64 budgetNs, bool announce);
    bool answersDuringFill(const QString& text, const QHash<QString, QString>& params) const;
    // Shows the rows kept by a statement answered from the rows held, or drops them all on its error.
    Result showKept(std::vector<uint32_t>& kept, const Result& selected);
    void fillLater();
    // After a later step that succeeded: the first row read becomes current, and the end is announced.
    void stepDone();
    void clearForFetch();
    // The end of an open: on an error the rows are dropped (the views told if they held rows), else the
    // first row becomes current. Returns the outcome.
    Result finishOpen(bool wasOpen, const Result& read);
    Result fetchAndFilter();
    void clearRows();  // drops the rows held, without telling the views
    void forgetRows(); // the list, the read and the cursor over rows already dropped
    Result storeRow(const std::vector<std::string_view>& values); // a null data() is NULL
    void finalizeAppend();
    void applyFilter(std::vector<uint32_t>& kept);
    // m_order has just become the rows of the statement: kept in m_all, and narrowed by the row test.
    void adoptStatementRows();

    Connection* m_connection;
    QString m_table;
    QString m_keyField;
    QString m_sql;
    QHash<QString, QString> m_params;
    bool m_open = false;
    RowStore m_rows;
    std::vector<uint32_t> m_order; // stored row numbers in display order
    RowTest* m_test = nullptr;
    std::vector<uint32_t> m_all; // with a row test: the statement's rows in display order, before it
    SteppedReader m_reader;
    qint64 m_sizeHint = 0;
    RowFilter* m_filter = nullptr;
    QStringList m_narrowedStatements; // the statements m_filter answers
    QString m_baseStatement;          // the statement whose rows it narrows
    RowKeeper* m_keeper = nullptr;
    static constexpr uint32_t kNoRow = UINT32_MAX;
    qint64 keyOf(uint32_t stored, int keyField) const;
    // Whether a row appended since the fetch is held: the stored order is then no longer the statement's.
    bool appendedLive() const;
    void noteAppended(); // the last stored row was appended
    // Per stored field, its place in RowPack rows (-1: not there).
    std::vector<int> packFields() const;
    // Per row given, a deleted stored row with its aid and exactly its values (kNoRow when there is none).
    std::vector<uint32_t> deletedAlike(const class RowPack& rows) const;
    uint32_t m_firstAppended = kNoRow; // the first stored row appended since the fetch
    int m_current = -1;
    QString m_sort;
    sqlite3_stmt* m_appendStmt = nullptr;
};
