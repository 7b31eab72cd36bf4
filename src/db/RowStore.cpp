#include "RowStore.h"

#include "platform/Platform.h"

#include <algorithm>

namespace {
void putLength(std::string& out, size_t n)
{
    while (n >= 0x80) {
        out.push_back(char(0x80 | (n & 0x7F)));
        n >>= 7;
    }
    out.push_back(char(n));
}
} // namespace

int RowStore::fieldIndex(const QString& name) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

Result RowStore::append(const std::vector<std::string_view>& values)
{
    size_t bytes = 0;
    for (const std::string_view& v : values)
        bytes += v.size() + 5;
    // Offsets are 32 bits: rows beyond 4 GB of text cannot be held.
    if (m_arena.size() + bytes > UINT32_MAX)
        return Result::failure(QStringLiteral("数据量超过 4 GB，无法载入"), Result::Code::TooManyRows);
    m_rowStart.push_back(uint32_t(m_arena.size()));
    for (const std::string_view& v : values) {
        putLength(m_arena, v.data() ? v.size() + 1 : 0);
        m_arena.append(v);
    }
    if (!m_deleted.empty())
        m_deleted.push_back(false);
    return Result::success();
}

void RowStore::markDeleted(uint32_t stored)
{
    if (m_deleted.empty())
        m_deleted.assign(m_rowStart.size(), false);
    if (!m_deleted[stored])
        ++m_deletedCount;
    m_deleted[stored] = true;
}

void RowStore::markRestored(uint32_t stored)
{
    if (isDeleted(stored)) {
        m_deleted[stored] = false;
        --m_deletedCount;
    }
}

void RowStore::clear()
{
    ++m_generation;
    m_fields.clear();
    std::string().swap(m_arena);
    std::vector<uint32_t>().swap(m_rowStart);
    std::vector<bool>().swap(m_deleted);
    m_deletedCount = 0;
}

void RowStore::clearForReading(size_t firstBytes)
{
    const size_t lastBytes = m_arena.size(), lastRows = m_rowStart.size();
    clear();
    if (lastRows > 0) {
        m_arena.reserve(lastBytes + lastBytes / 16 + 4096);
        m_rowStart.reserve(lastRows + lastRows / 16 + 64);
    } else if (firstBytes > 0) {
        m_arena.reserve(std::min<size_t>(firstBytes, UINT32_MAX));
    }
    Platform::preferLargePages(m_arena.data(), m_arena.capacity());
    Platform::preferLargePages(m_rowStart.data(), m_rowStart.capacity() * sizeof(uint32_t));
}
