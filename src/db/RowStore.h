#pragma once

#include "platform/Result.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The rows read from the file (and rows appended since), stored once and never moved: all texts of a
// row one after the other in one UTF-8 arena, each after its length, and one offset per row. A stored
// row keeps its number and its values until the rows are dropped (clear()), which changes generation():
// an ordered list over them is only a list of stored row numbers.
class RowStore
{
public:
    // --- fields ---
    void addField(const QString& name) { m_fields.append(name); }
    const QStringList& fields() const { return m_fields; }
    int fieldCount() const { return int(m_fields.size()); }
    // The field of that name, in any letter case; -1 when there is none.
    int fieldIndex(const QString& name) const;

    // --- rows ---
    uint32_t rowCount() const { return uint32_t(m_rowStart.size()); }
    // Stores a row (a null data() is NULL) as stored row rowCount(). Empty on success, else why not.
    Result append(const std::vector<std::string_view>& values);
    std::string_view value(uint32_t stored, int field, bool* isNull = nullptr) const
    {
        const char* p = m_arena.data() + m_rowStart[stored];
        for (int f = 0; f < field; ++f) {
            const size_t n = lengthAt(p);
            p += n ? n - 1 : 0;
        }
        const size_t n = lengthAt(p);
        if (isNull)
            *isNull = n == 0;
        return std::string_view(p, n ? n - 1 : 0);
    }

    // Every value of a stored row, read in one pass (a NULL is empty).
    void values(uint32_t stored, std::vector<std::string_view>& out) const
    {
        out.resize(size_t(fieldCount()));
        const char* p = m_arena.data() + m_rowStart[stored];
        for (std::string_view& v : out) {
            const size_t n = lengthAt(p);
            v = std::string_view(p, n ? n - 1 : 0);
            p += v.size();
        }
    }
    // The bytes a stored row takes, its lengths included.
    size_t rowBytes(uint32_t stored) const
    {
        return (stored + 1 < rowCount() ? m_rowStart[stored + 1] : m_arena.size()) - m_rowStart[stored];
    }

    // Rows deleted from the file since they were stored; their numbers stay taken.
    void markDeleted(uint32_t stored);
    // A row marked deleted is in the file again, with the values stored.
    void markRestored(uint32_t stored);
    bool isDeleted(uint32_t stored) const { return !m_deleted.empty() && m_deleted[stored]; }
    bool anyDeleted() const { return !m_deleted.empty(); }
    uint32_t deletedCount() const { return m_deletedCount; }

    quint64 generation() const { return m_generation; }
    // The rows stay, but a reader keeping something per row must take them again.
    void renew() { ++m_generation; }
    // Drops every row and field and gives their room back (a new generation).
    void clear();
    // As clear(), but the next rows take about the room the dropped ones took (or `firstBytes` when there
    // were none), reserved at once: no regrowing, no copy. The old rows are gone before the new come.
    void clearForReading(size_t firstBytes);

private:
    // Reads a stored length (7 bits a byte, low bits first) and moves past it.
    static size_t lengthAt(const char*& p)
    {
        size_t n = 0;
        for (int shift = 0;; shift += 7) {
            const auto b = static_cast<unsigned char>(*p++);
            n |= size_t(b & 0x7F) << shift;
            if (b < 0x80)
                return n;
        }
    }

    QStringList m_fields;
    // Per stored row, each field as its length + 1 (0 for NULL) in 7-bit groups, then its bytes.
    std::string m_arena;
    std::vector<uint32_t> m_rowStart; // per stored row, where it starts in m_arena
    std::vector<bool> m_deleted;      // sized at the first deletion
    uint32_t m_deletedCount = 0;
    quint64 m_generation = 0;
};
