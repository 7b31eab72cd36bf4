#include "Connection.h"
#include "Dataset.h"
#include "DomainList.h"

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
    outcome = rowwriter::write(m_query->connection(), change, progress, [this, matched, stamp] {
        return matched && m_query->connection()->changeStamp() == stamp;
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
        if (const QString error = m_query->replaceRows(change.after, matched); !error.isEmpty())
            outcome.result = Result::failure(error); // written, but the list could not show it
    } else if (const Result shown = reopen(); !shown.ok()) {
        outcome.result = shown; // written, but the list could not be shown again
    }
    return outcome;
}
