#include "DuplicateKey.h"

#include <QHashFunctions>
#include <QUrl>

#include <algorithm>

namespace duplicatekey {

namespace {

quint64 hashBytes(const char* data, size_t size)
{
    return quint64(qHashBits(data, size, 0));
}

bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Blanks (ASCII) around a name, and one final "." (the root), dropped.
std::string_view trimmedAscii(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    if (!s.empty() && s.back() == '.')
        s.remove_suffix(1);
    return s;
}

} // namespace

QString key(const QString& domain)
{
    QString name = domain.trimmed();
    bool ascii = true;
    for (const QChar c : name)
        ascii = ascii && c.unicode() < 128;
    if (!ascii) {
        // The usual full stops of Chinese and Japanese input separate labels too.
        const QByteArray ace = QUrl::toAce(name);
        if (!ace.isEmpty())
            name = QString::fromLatin1(ace);
        else
            name = name.normalized(QString::NormalizationForm_KC).toCaseFolded();
    }
    if (name.endsWith(u'.'))
        name.chop(1);
    return name.toLower();
}

quint64 hash(const QString& domain)
{
    return hashKey(key(domain));
}

quint64 hashKey(const QString& key)
{
    const QByteArray bytes = key.toUtf8();
    return hashBytes(bytes.constData(), size_t(bytes.size()));
}

quint64 hashUtf8(std::string_view domain)
{
    const std::string_view name = trimmedAscii(domain);
    char lower[256];
    bool ascii = name.size() <= sizeof lower;
    for (size_t i = 0; ascii && i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        ascii = c < 128;
        lower[i] = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    if (ascii)
        return hashBytes(lower, name.size());
    return hash(QString::fromUtf8(domain.data(), qsizetype(domain.size())));
}

void Index::finish()
{
    // Counted into buckets by the top bits of the hash, then each bucket sorted: linear in the entries,
    // where one sort of them all is not.
    const size_t buckets = size_t(1) << kBucketBits;
    m_bucketStart.assign(buckets + 1, 0);
    for (const auto& entry : m_entries)
        ++m_bucketStart[bucketOf(entry.first) + 1];
    for (size_t b = 0; b < buckets; ++b)
        m_bucketStart[b + 1] += m_bucketStart[b];
    std::vector<std::pair<quint64, qint64>> sorted(m_entries.size());
    std::vector<uint32_t> next(m_bucketStart.begin(), m_bucketStart.end() - 1);
    for (const auto& entry : m_entries)
        sorted[next[bucketOf(entry.first)]++] = entry;
    for (size_t b = 0; b < buckets; ++b)
        std::sort(sorted.begin() + m_bucketStart[b], sorted.begin() + m_bucketStart[b + 1]);
    m_entries.swap(sorted);
}

qint64 Index::newest(quint64 keyHash) const
{
    if (m_bucketStart.empty())
        return -1;
    const size_t b = bucketOf(keyHash);
    const auto first = m_entries.begin() + m_bucketStart[b];
    const auto last = m_entries.begin() + m_bucketStart[b + 1];
    const auto it = std::upper_bound(first, last, std::make_pair(keyHash, qint64(INT64_MAX)));
    if (it == first || std::prev(it)->first != keyHash)
        return -1;
    return std::prev(it)->second;
}

} // namespace duplicatekey
