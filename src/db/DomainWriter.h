#pragma once

#include "DomainRecord.h"
#include "Result.h"

#include <QByteArray>

#include <array>

class Connection;
class Statement;

// Writing domains of tt_a outside the shared list: one record through a statement object of the
// calling dialog (Query_add, Query_edit), or many through a DomainBatch. Values travel as text,
// unchanged; on an error nothing of that record is written.
namespace domainwriter {

// Inserts a1 .. a9 of the record; the new row takes its aid from the database.
Result insert(Statement& query, const DomainRecord& record);

// Updates a1 .. a9 of the row whose aid is record.aid. A row that is no longer there (another program
// deleted it) is a failure with goneText().
Result update(Statement& query, const DomainRecord& record);
QString goneText();

} // namespace domainwriter

// Appends many records in transactions of the caller's choosing. Each value goes to its column by name,
// so a table whose columns differ refuses the record instead of storing values in the wrong fields.
class DomainBatch
{
public:
    explicit DomainBatch(Connection* connection);
    ~DomainBatch();
    DomainBatch(const DomainBatch&) = delete;
    DomainBatch& operator=(const DomainBatch&) = delete;

    // Starts a transaction.
    Result begin();
    // Stores one record (a1 .. a9) inside the transaction.
    Result append(const DomainRecord& record);
    // Commits what was appended since begin(); on failure rolls the transaction back.
    Result commit();

private:
    Connection* m_connection;
    struct sqlite3_stmt* m_insert = nullptr;                   // the insert of every record, prepared once
    std::array<int, DomainRecord::kValueCount> m_parameters{}; // a1 .. a9's parameter numbers in it
    bool m_widened = false; // the page cache made room for the batch, until it ends
    QByteArray m_utf8;      // the values of the record being stored
};
