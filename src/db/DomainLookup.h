#pragma once

#include "DomainRecord.h"
#include "Result.h"

#include <QHash>

#include <functional>
#include <string_view>
#include <vector>

class Connection;

// Reading domains of tt_a by key, outside the shared list: what an import needs to find the domains
// already in the file and to put back what it changed.
namespace domainlookup {

// Calls each(aid, a1 as UTF-8) for every row of tt_a, straight from the file.
Result eachName(Connection* connection, const std::function<void(qint64 aid, std::string_view name)>& each);

// The rows with these keys, by key; a key with no row is left out.
Result rows(Connection* connection, const std::vector<qint64>& aids, QHash<qint64, DomainRecord>* found);

// Deletes the row with this key; *deleted tells whether there was one.
Result remove(Connection* connection, qint64 aid, bool* deleted = nullptr);

} // namespace domainlookup
