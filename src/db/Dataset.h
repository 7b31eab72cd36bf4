#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

class Connection;
struct sqlite3_stmt;

// A fully fetched, scrollable result of one select statement (Query_a, Query_jz_ub):
// exact record count, a current row, in-place sorting by one field, deletion of the
// current row and appending of rows. Every value is handled as text.
//
// Rows are held compactly: all texts in one UTF-8 arena, a table of offsets per row,
// and the display order as a list of row numbers, so 100,000 domains stay small and a
// sort only permutes that list.
class Dataset : public QObject
{
    Q_OBJECT
public:
    explicit Dataset(Connection* connection, QObject* parent = nullptr);
    ~Dataset() override;

    // The table that deletes and appends go to, and its key field.
    void setTable(const QString& table, const QString& keyField);

    // --- statement ---
    QString sql() const { return m_sql; }
    // Close, clear the statement and its parameters, add the new text as one line.
    void setSql(const QString& text);
    void setParam(const QString& name, const QString& value);
    QHash<QString, QString> params() const { return m_params; }

    // Runs the statement held (closing first: reopening is opening again). Empty on success, else the
    // engine's message; the dataset then stays closed.
    [[nodiscard]] QString open();
    void close();
    // Close, replace the statement (and parameters), open.
    [[nodiscard]] QString replaceStatement(const QString& text, const QHash<QString, QString>& params = {});
    bool isOpen() const { return m_open; }

    // --- fields and rows ---
    int recordCount() const { return m_open ? int(m_order.size()) : 0; }
    int fieldCount() const { return int(m_fields.size()); }
    QString fieldName(int field) const { return m_fields.value(field); }
    int fieldIndex(const QString& name) const;

    QString value(int row, int field) const;
    QString value(int row, const QString& field) const { return value(row, fieldIndex(field)); }
    QStringList rowValues(int row) const;
    // Raw UTF-8 of a value, without conversion (for bulk writers).
    std::string_view rawValue(int row, int field) const;
    // Stored rows: the rows as fetched and appended, whatever the display order. Each display row is
    // one stored row; a stored row keeps its number and its values until the rows are replaced
    // (open, close), which changes generation(). Lets a reader keep something per row between sorts,
    // deletions and appends.
    int storedRow(int row) const { return row >= 0 && row < recordCount() ? int(m_order[size_t(row)]) : -1; }
    int storedRowCount() const
    {
        return m_fields.isEmpty() ? 0 : int(m_offsets.size() / size_t(m_fields.size() + 1));
    }
    std::string_view rawStoredValue(int stored, int field) const;
    quint64 generation() const { return m_generation; }
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
    [[nodiscard]] QString setSort(const QString& sortText);
    QString sort() const { return m_sort; }

    // --- changes through the cursor; each goes to the file at once ---
    // Deletes the current row from the table and from the rows held; the following row becomes current
    // (the new last row when the last was deleted). Empty on success, else the engine's message.
    [[nodiscard]] QString deleteCurrent();
    // Appends a row: values for the fields after the key, by position. The row is added at the end
    // of the rows held and becomes current. Empty on success, else the engine's message.
    [[nodiscard]] QString append(const QStringList& values);

signals:
    // The rows held are about to be / were replaced, cleared or reordered (open, close, sort).
    void rowsAboutToReset();
    void rowsReset();
    void rowAboutToBeRemoved(int row);
    void rowAboutToBeAppended(int row);
    void rowRemoved(int row);
    void rowAppended(int row);
    void currentRowChanged(int row);

private:
    QString fetch(sqlite3_stmt* stmt);
    void clearRows(); // drops the rows held, without telling the views
    void storeRow(const std::vector<std::string_view>& values);
    std::string_view raw(uint32_t stored, int field) const;
    void finalizeAppend();

    Connection* m_connection;
    QString m_table;
    QString m_keyField;
    QString m_sql;
    QHash<QString, QString> m_params;
    bool m_open = false;
    QStringList m_fields;
    std::string m_arena;
    std::vector<uint32_t> m_offsets; // (fields + 1) per stored row
    std::vector<uint32_t> m_order;   // stored row numbers in display order
    int m_current = -1;
    QString m_sort;
    sqlite3_stmt* m_appendStmt = nullptr;
    quint64 m_generation = 0;
};
