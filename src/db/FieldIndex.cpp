#include "FieldIndex.h"

void FieldIndex::clear()
{
    m_values.clear();
    std::unordered_map<std::string, uint32_t>().swap(m_known);
    m_nullValue = UINT32_MAX;
    std::vector<uint32_t>().swap(m_valueOf);
}

void FieldIndex::append(std::string_view utf8, bool isNull)
{
    if (isNull) {
        if (m_nullValue == UINT32_MAX) {
            m_nullValue = uint32_t(m_values.size());
            m_values.append({}, true);
        }
        m_valueOf.push_back(m_nullValue);
        return;
    }
    const auto [it, added] = m_known.try_emplace(std::string(utf8), uint32_t(m_values.size()));
    if (added)
        m_values.append(utf8);
    m_valueOf.push_back(it->second);
}

std::vector<uint8_t> FieldIndex::matching(const like::Pattern& pattern) const
{
    std::vector<uint8_t> hits(m_values.size(), 0);
    for (const uint32_t value : m_values.match(pattern))
        hits[value] = 1;
    return hits;
}
