#include "Connection.h"
#include "Dataset.h"
#include "DomainList.h"
#include "Sql.h"

#include <algorithm>

rowwriter::Outcome DomainList::write(const RowChange& change, const rowwriter::Progress& progress)
{
    rowwriter::Outcome outcome;
    if (const Result read = readAll(); !read.ok()) {
        outcome.result = read;
        return outcome;
    }
    const bool matched = m_query->matchesFile();
    const QString stamp = m_query->connection()->changeStamp();
    const int total = int(change.size());
    // Every row of the table is deleted when the list holds every row, read with nothing written since.
    outcome = rowwriter::write(m_query->connection(), change, progress, [this, matched, stamp, total] {
        return matched && m_query->connection()->changeStamp() == stamp &&
               m_query->holdsRowsOf(sql::kDefaultList) && m_query->liveStoredRows() == total;
    });
    if (!outcome.result.ok())
        return outcome;
    if (change.kind() == RowChange::Kind::Delete && m_query->isOpen()) {
        std::vector<qint64> keys(change.before.size());
        for (size_t row = 0; row < keys.size(); ++row)
            keys[row] = change.before.aid(row);
        std::sort(keys.begin(), keys.end());
        m_query->dropKeys(keys, matched);
    } else if (change.kind() == RowChange::Kind::Update && m_query->isOpen()) {
        if (const Result shown = m_query->replaceRows(change.after, matched); !shown.ok())
            outcome.result = shown; // written, but the list could not show it
    } else if (change.kind() == RowChange::Kind::Insert && m_query->restoreRows(change.after, matched)) {
        // Deleted rows put back: the statement held runs again over the rows held (a search, the filters
        // and a sort in force stay).
        const QString sort = m_query->sort();
        Result shown = m_query->replaceStatement(m_query->sql(), m_query->params());
        if (shown.ok() && !sort.isEmpty())
            shown = m_query->setSort(sort);
        if (!shown.ok())
            outcome.result = shown; // written, but the list could not show it
    } else if (const Result shown = reopen(); !shown.ok()) {
        outcome.result = shown; // written, but the list could not be shown again
    }
    return outcome;
}
