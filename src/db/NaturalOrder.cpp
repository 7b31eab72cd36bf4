#include "NaturalOrder.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <vector>

NaturalOrder::NaturalOrder() : m_collator(QLocale(QLocale::Chinese, QLocale::China))
{
    m_collator.setNumericMode(true);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setIgnorePunctuation(false);
}

namespace {
constexpr unsigned char kFirst = 0x20, kLast = 0x7E;

struct Ranks
{
    std::array<unsigned char, 128> rank{};
    std::vector<char> first; // one character of each rank, by rank from 1
};

// Each printable ASCII character's rank under the collator, from 1 (0: ignorable, not handled). The
// digits share the rank of "0": runs of them are keyed as numbers.
Ranks ranksOf(const QCollator& collator)
{
    std::vector<char> chars;
    for (int c = kFirst; c <= kLast; ++c) {
        if (c < '1' || c > '9')
            chars.push_back(char(c));
    }
    auto text = [](char c) { return QString(QLatin1Char(c)); };
    std::stable_sort(chars.begin(), chars.end(),
                     [&](char a, char b) { return collator.compare(text(a), text(b)) < 0; });
    Ranks ranks;
    unsigned char next = 0;
    for (size_t i = 0; i < chars.size(); ++i) {
        if (collator.compare(text(chars[i]), QString()) == 0)
            continue;
        if (i == 0 || collator.compare(text(chars[i - 1]), text(chars[i])) != 0) {
            ++next;
            ranks.first.push_back(chars[i]);
        }
        ranks.rank[static_cast<unsigned char>(chars[i])] = next;
    }
    for (char d = '1'; d <= '9'; ++d)
        ranks.rank[static_cast<unsigned char>(d)] = ranks.rank['0'];
    return ranks;
}

const Ranks& ranks(const QCollator& collator)
{
    static const Ranks table = ranksOf(collator);
    return table;
}
} // namespace

bool NaturalOrder::asciiKey(std::string_view utf8, std::string& out) const
{
    const std::array<unsigned char, 128>& rank = ranks(m_collator).rank;
    const size_t start = out.size();
    const size_t n = utf8.size();
    for (size_t i = 0; i < n;) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < kFirst || c > kLast || rank[c] == 0) {
            out.resize(start);
            return false;
        }
        if (c < '0' || c > '9') {
            out.push_back(char(rank[c]));
            ++i;
            continue;
        }
        size_t end = i;
        while (end < n && utf8[end] >= '0' && utf8[end] <= '9')
            ++end;
        size_t first = i;
        while (first + 1 < end && utf8[first] == '0')
            ++first;
        if (end - first > 254) {
            out.resize(start);
            return false;
        }
        out.push_back(char(rank['0']));
        out.push_back(char(end - first));
        out.append(utf8.substr(first, end - first));
        i = end;
    }
    return true;
}

int NaturalOrder::hanPlace(char32_t c) const
{
    if (QChar::script(c) != QChar::Script_Han)
        return -1;
    const std::vector<char>& first = ranks(m_collator).first;
    const QString han = QString::fromUcs4(&c, 1);
    // The ranks are in order: a binary search for the first that sorts after the character.
    size_t lo = 0, hi = first.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        const int c2 = m_collator.compare(QString(QLatin1Char(first[mid])), han);
        if (c2 == 0)
            return -1;
        if (c2 < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return int(lo); // ranks 1 .. lo sort before it
}
