#pragma once

#include <QString>

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

// When two domain names are the same domain: letter case ignored, blanks around and a final "." dropped,
// and a Unicode name equal to its xn-- form (中文.中国 = xn--fiq228c.xn--fiqs8s). Knows nothing of widgets
// or of the database.
namespace duplicatekey {

// The name in its comparable form: the xn-- (ASCII) form in lower case; a name that has no such form,
// case-folded.
QString key(const QString& domain);
// A 64-bit hash of key(domain).
quint64 hash(const QString& domain);
// The same hash of a key already made by key().
quint64 hashKey(const QString& key);
// The same for a name as UTF-8 bytes (as the database gives it), quick for plain ASCII names.
quint64 hashUtf8(std::string_view domain);

// The keys of many domains, each with the number of the row it came from, looked up by key.
class Index
{
public:
    void reserve(size_t count) { m_entries.reserve(count); }
    void add(quint64 keyHash, qint64 row) { m_entries.emplace_back(keyHash, row); }
    // Room for `count` entries, each then given by set() (from several threads, each its own entries).
    void resize(size_t count) { m_entries.resize(count); }
    void set(size_t at, quint64 keyHash, qint64 row) { m_entries[at] = {keyHash, row}; }
    // Sorts what was added; call once after the last add().
    void finish();
    // The largest row number with that key, or -1.
    qint64 newest(quint64 keyHash) const;
    size_t size() const { return m_entries.size(); }

private:
    static constexpr int kBucketBits = 16;
    static size_t bucketOf(quint64 keyHash) { return size_t(keyHash >> (64 - kBucketBits)); }

    std::vector<std::pair<quint64, qint64>> m_entries;
    // Where the entries of each bucket (the top bits of the hash) begin: a lookup searches only its
    // bucket, a few entries on a cache line or two instead of the whole array.
    std::vector<uint32_t> m_bucketStart;
};

} // namespace duplicatekey
