#pragma once

#include "LikeMatcher.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One text field of many rows for the search, kept as its distinct values: the values of a portfolio's
// descriptions, registrars, addresses and notes repeat a great deal, so a search matches each distinct
// value once and then only looks up each row's value number. Four bytes per row beyond the distinct texts.
class FieldIndex
{
public:
    void clear();
    // Adds the next row's value; a missing value (NULL) matches no pattern, as in the engine.
    void append(std::string_view utf8, bool isNull = false);
    size_t size() const { return m_valueOf.size(); }

    // Per distinct value, whether it matches (indexed by the value numbers valueOf() gives).
    std::vector<uint8_t> matching(const like::Pattern& pattern) const;
    uint32_t valueOf(size_t row) const { return m_valueOf[row]; }
    // The value numbers of every row, in row order.
    const uint32_t* values() const { return m_valueOf.data(); }

private:
    like::NameIndex m_values;                          // the distinct values, normalized
    std::unordered_map<std::string, uint32_t> m_known; // a value as stored -> its number
    uint32_t m_nullValue = UINT32_MAX;                 // the number given to NULL, once met
    std::vector<uint32_t> m_valueOf;                   // per row, its value's number
};
