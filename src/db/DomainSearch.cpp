#include "DomainSearch.h"

#include "Sql.h"

void DomainSearch::index(const Dataset& rows)
{
    const auto count = size_t(rows.storedRowCount());
    const bool sameRows = m_indexed && m_generation == rows.generation() && m_names.size() <= count;
    if (sameRows && m_names.size() == count)
        return;
    const int field = rows.fieldIndex(QStringLiteral("a1"));
    if (!sameRows) {
        m_names.clear();
        m_haveLast = false;
        std::vector<uint32_t>().swap(m_lastRows);
        size_t bytes = 0;
        for (uint32_t r = 0; r < count; ++r)
            bytes += rows.storedValue(r, field).size();
        m_names.reserve(count, bytes);
    }
    // Stored rows keep their number and value while the generation stays: only the rows stored since
    // the last time (the rows of an open in steps as they come) are added.
    for (auto r = uint32_t(m_names.size()); r < count; ++r) {
        bool isNull = false;
        const std::string_view name = rows.storedValue(r, field, &isNull);
        m_names.append(name, isNull);
    }
    m_generation = rows.generation();
    m_indexed = true;
}

void DomainSearch::fetched(const Dataset& rows, const QString& statement, bool complete)
{
    if (statement != sql::kDefaultList || rows.fieldIndex(QStringLiteral("a1")) < 0)
        return;
    index(rows);
    // Names added as they came grew the index in doublings: the room beyond them is given back.
    if (complete)
        m_names.shrinkToFit();
}

std::optional<like::Pattern> DomainSearch::prepare(const Dataset& rows, const QString& text)
{
    if (rows.fieldIndex(QStringLiteral("a1")) < 0) {
        m_error = QStringLiteral("no such column: a1");
        return std::nullopt;
    }
    index(rows);
    like::Pattern pattern = like::Pattern::contains(text, like::Folding::Unicode);
    if (pattern.tooComplex()) {
        m_error = QStringLiteral("LIKE or GLOB pattern too complex");
        return std::nullopt;
    }
    return pattern;
}

QString DomainSearch::select(const Dataset& rows, const QHash<QString, QString>& params,
                             std::vector<uint32_t>& kept)
{
    const QString text = params.value(QStringLiteral("q"));
    const std::optional<like::Pattern> found = prepare(rows, text);
    if (!found) {
        m_haveLast = false;
        return m_error;
    }
    const like::Pattern& pattern = *found;
    // A text that holds the last one finds a part of what the last found (among the rows it covered;
    // rows stored since are matched in full). Narrowing pays while that is a small part of the list; a
    // scan of the whole block is quicker otherwise.
    if (m_haveLast && text.contains(m_lastText) && m_lastRows.size() < m_names.size() / 4) {
        kept = m_names.narrow(pattern, m_lastRows);
        const std::vector<uint32_t> later = m_names.match(pattern, m_lastCovered);
        kept.insert(kept.end(), later.begin(), later.end());
    } else {
        kept = m_names.match(pattern);
    }
    m_lastText = text;
    m_lastRows = kept;
    m_lastCovered = m_names.size();
    m_haveLast = true;
    return {};
}

QString DomainSearch::selectFrom(const Dataset& rows, const QHash<QString, QString>& params, uint32_t from,
                                 std::vector<uint32_t>& kept)
{
    const QString text = params.value(QStringLiteral("q"));
    const std::optional<like::Pattern> found = prepare(rows, text);
    if (!found)
        return m_error;
    const like::Pattern& pattern = *found;
    kept = m_names.match(pattern, from);
    // The last search, carried on over the new rows, stays whole for the next keystroke's narrowing.
    if (m_haveLast && text == m_lastText && m_lastCovered == from) {
        m_lastRows.insert(m_lastRows.end(), kept.begin(), kept.end());
        m_lastCovered = m_names.size();
    }
    return {};
}
