#pragma once

#include "Dataset.h"
#include "FieldIndex.h"
#include "LikeMatcher.h"

#include <array>

#include <optional>

// Answers the domain search of Query_a (sql::kSearch) from the names it already holds, instead of the
// engine: the default list narrowed in memory by the search text with LikeMatcher, the one matcher of
// this program (the engine's like() on its connections is the same one, so the expiry lists, which the
// engine runs, agree with it), newest first as the default list holds them. Typing that extends the
// text narrows the previous result instead of every name.
//
// While the default list is still being read, the names are indexed as far as they are read, and the
// rows read later are searched as they come (selectFrom).
//
// The search in every field (kSearchAll) also matches the description, registrar, address and notes;
// those are indexed at its first use, then kept up to date as the names are.
class DomainSearch : public RowFilter
{
public:
    Result select(const Dataset& rows, const QHash<QString, QString>& params,
                  std::vector<uint32_t>& kept) override;
    Result selectFrom(const Dataset& rows, const QHash<QString, QString>& params, uint32_t from,
                      std::vector<uint32_t>& kept) override;
    // The names are indexed as soon as the default list is read (as it comes, when it comes in steps), so
    // the first keystroke is as quick as the next.
    void fetched(const Dataset& rows, const QString& statement, bool complete) override;

private:
    // Brings the index up to the rows stored: the new rows only, while the rows are the same ones.
    void index(const Dataset& rows);
    // The same for the other fields of the search in every field.
    void indexFields(const Dataset& rows);
    // The stored rows from `from` on (or among candidates, when given) that the pattern finds in the name
    // or, for the search in every field, in any of the other fields.
    std::vector<uint32_t> find(const like::Pattern& pattern, bool anyField, size_t from,
                               const std::vector<uint32_t>* candidates);
    // The names indexed and the search's pattern for text; none when the search cannot run (m_error
    // says why) or finds nothing whatever the rows (m_error empty: a text too long for the matcher).
    std::optional<like::Pattern> prepare(const Dataset& rows, const QString& text);

    like::NameIndex m_names;
    quint64 m_generation = 0; // of the rows m_names was built from
    bool m_indexed = false;
    // a2, a3, a4, a7, once a search in every field asked for them (m_fieldsWanted).
    std::array<FieldIndex, 4> m_fields;
    quint64 m_fieldsGeneration = 0;
    bool m_fieldsWanted = false;
    // The last search, for narrowing: what it found among the first m_lastCovered stored rows.
    QString m_lastText;
    bool m_lastAnyField = false;
    std::vector<uint32_t> m_lastRows;
    size_t m_lastCovered = 0;
    bool m_haveLast = false;
    QString m_error; // why prepare gave no pattern
};
