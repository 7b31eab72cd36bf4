#include "DomainSearch.h"

#include "Sql.h"

#include <algorithm>

namespace {
const QString kNameText = QStringLiteral("q");
const QString kAnyFieldText = QStringLiteral("qall");
const char* const kOtherFields[] = {"a2", "a3", "a4", "a7"};

// The searched text, and whether the search is the one in every field (its text bound as :qall).
QString searchedText(const QHash<QString, QString>& params, bool* anyField)
{
    *anyField = params.contains(kAnyFieldText);
    return params.value(*anyField ? kAnyFieldText : kNameText);
}
} // namespace

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

void DomainSearch::indexFields(const Dataset& rows)
{
    const auto count = size_t(rows.storedRowCount());
    const bool sameRows = m_fieldsGeneration == rows.generation() && m_fields[0].size() <= count;
    if (sameRows && m_fields[0].size() == count)
        return;
    for (size_t f = 0; f < m_fields.size(); ++f) {
        FieldIndex& field = m_fields[f];
        if (!sameRows)
            field.clear();
        const int column = rows.fieldIndex(QLatin1String(kOtherFields[f]));
        for (auto r = uint32_t(field.size()); r < count; ++r) {
            bool isNull = column < 0;
            const std::string_view value =
                column < 0 ? std::string_view() : rows.storedValue(r, column, &isNull);
            field.append(value, isNull);
        }
    }
    m_fieldsGeneration = rows.generation();
}

void DomainSearch::fetched(const Dataset& rows, const QString& statement, bool complete)
{
    if (statement != sql::kDefaultList || rows.fieldIndex(QStringLiteral("a1")) < 0)
        return;
    index(rows);
    if (m_fieldsWanted)
        indexFields(rows);
    // Names added as they came grew the index in doublings: the room beyond them is given back.
    if (complete)
        m_names.shrinkToFit();
}

std::optional<like::Pattern> DomainSearch::prepare(const Dataset& rows, const QString& text)
{
    m_error.clear();
    if (rows.fieldIndex(QStringLiteral("a1")) < 0) {
        m_error = QStringLiteral("no such column: a1");
        return std::nullopt;
    }
    index(rows);
    like::Pattern pattern = like::Pattern::contains(text, like::Folding::Unicode);
    // A text too long for the pattern matcher cannot be part of a domain name: no rows, and no error.
    if (pattern.tooComplex())
        return std::nullopt;
    return pattern;
}

std::vector<uint32_t> DomainSearch::find(const like::Pattern& pattern, bool anyField, size_t from,
                                         const std::vector<uint32_t>* candidates)
{
    std::vector<uint32_t> byName =
        candidates ? m_names.narrow(pattern, *candidates) : m_names.match(pattern, from);
    if (!anyField)
        return byName;
    // The other fields: each distinct value matched once, then each row's value looked up; merged with the
    // names found (both ascending).
    std::vector<std::vector<uint8_t>> hits;
    std::vector<const FieldIndex*> fields;
    for (const FieldIndex& field : m_fields) {
        std::vector<uint8_t> matching = field.matching(pattern);
        if (std::find(matching.begin(), matching.end(), uint8_t(1)) == matching.end())
            continue;
        hits.push_back(std::move(matching));
        fields.push_back(&field);
    }
    if (fields.empty())
        return byName;
    std::vector<uint32_t> kept;
    if (candidates) {
        // Few rows (a narrowing): each looked up in turn.
        auto name = byName.begin();
        for (const uint32_t r : *candidates) {
            while (name != byName.end() && *name < r)
                ++name;
            bool found = name != byName.end() && *name == r;
            for (size_t f = 0; !found && f < fields.size(); ++f)
                found = hits[f][fields[f]->valueOf(r)] != 0;
            if (found)
                kept.push_back(r);
        }
        return kept;
    }
    // Every row from `from` on: a mark per row, set by the names found, then by each field's value in
    // one straight pass per field, then the marked rows gathered without a branch per row.
    const size_t count = m_names.size() > from ? m_names.size() - from : 0;
    std::vector<uint8_t> marked(count, 0);
    for (const uint32_t r : byName)
        marked[r - from] = 1;
    for (size_t f = 0; f < fields.size(); ++f) {
        const uint8_t* hit = hits[f].data();
        const uint32_t* value = fields[f]->values() + from;
        for (size_t i = 0; i < count; ++i)
            marked[i] |= hit[value[i]];
    }
    kept.resize(count);
    size_t k = 0;
    for (size_t i = 0; i < count; ++i) {
        kept[k] = uint32_t(from + i);
        k += marked[i];
    }
    kept.resize(k);
    kept.shrink_to_fit();
    return kept;
}

Result DomainSearch::select(const Dataset& rows, const QHash<QString, QString>& params,
                            std::vector<uint32_t>& kept)
{
    bool anyField = false;
    const QString text = searchedText(params, &anyField);
    const std::optional<like::Pattern> found = prepare(rows, text);
    if (!found) {
        kept.clear();
        m_haveLast = false;
        return Result::fromError(m_error); // no text: the search finds nothing
    }
    if (anyField) {
        m_fieldsWanted = true;
        indexFields(rows);
    }
    const like::Pattern& pattern = *found;
    // A text that holds the last one (in the same scope) finds a part of what the last found (among the
    // rows it covered; rows stored since are matched in full). Narrowing pays while that is a small part
    // of the list; a scan of the whole block is quicker otherwise.
    if (m_haveLast && anyField == m_lastAnyField && text.contains(m_lastText) &&
        m_lastRows.size() < m_names.size() / 4) {
        kept = find(pattern, anyField, 0, &m_lastRows);
        const std::vector<uint32_t> later = find(pattern, anyField, m_lastCovered, nullptr);
        kept.insert(kept.end(), later.begin(), later.end());
    } else {
        kept = find(pattern, anyField, 0, nullptr);
    }
    m_lastText = text;
    m_lastAnyField = anyField;
    m_lastRows = kept;
    m_lastCovered = m_names.size();
    m_haveLast = true;
    return Result::success();
}

Result DomainSearch::selectFrom(const Dataset& rows, const QHash<QString, QString>& params, uint32_t from,
                                std::vector<uint32_t>& kept)
{
    bool anyField = false;
    const QString text = searchedText(params, &anyField);
    const std::optional<like::Pattern> found = prepare(rows, text);
    if (!found) {
        kept.clear();
        return Result::fromError(m_error); // no text: the search finds nothing
    }
    if (anyField) {
        m_fieldsWanted = true;
        indexFields(rows);
    }
    kept = find(*found, anyField, from, nullptr);
    // The last search, carried on over the new rows, stays whole for the next keystroke's narrowing.
    if (m_haveLast && text == m_lastText && anyField == m_lastAnyField && m_lastCovered == from) {
        m_lastRows.insert(m_lastRows.end(), kept.begin(), kept.end());
        m_lastCovered = m_names.size();
    }
    return Result::success();
}
