#pragma once

#include "DomainRecord.h"
#include "Result.h"

#include <QHash>

#include <functional>
#include <string_view>
#include <vector>

class Connection;
struct sqlite3_stmt;

// Reading domains of tt_a by key, outside the shared list: what an import needs to find the domains
// already in the file and to put back what it changed.
namespace domainlookup {

// Calls each(aid, a1 as UTF-8) for every row of tt_a, straight from the file.
Result eachName(Connection* connection, const std::function<void(qint64 aid, std::string_view name)>& each);

// The rows with these keys, by key; a key with no row is left out.
Expected<QHash<qint64, DomainRecord>> rows(Connection* connection, const std::vector<qint64>& aids);

// Deletes the row with this key; true when there was one.
Expected<bool> remove(Connection* connection, qint64 aid);

// Updates a1 .. a9 of rows by their aid with one statement prepared once (for many rows in one transaction).
class Updater
{
public:
    explicit Updater(Connection* connection);
    ~Updater();
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;
    // Writes the record's a1 .. a9 into the row record.aid; a row that is not there is a failure.
    Result update(const DomainRecord& record);

private:
    Connection* m_connection;
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace domainlookup
