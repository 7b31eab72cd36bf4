#include "NaturalOrder.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <functional>
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

constexpr char32_t kHanFirst = 0x4E00, kHanLast = 0x9FFF;

// Each common Han character's token in a text key (place, 0xFF, rank high, rank low); place 0 where the
// character is not one the key can stand for (unassigned, or sorting equal to an ASCII character).
struct HanTokens
{
    std::vector<std::array<unsigned char, 4>> token; // per character from kHanFirst
};

HanTokens hanTokensOf(const QCollator& collator, const std::function<int(char32_t)>& placeOf)
{
    HanTokens table;
    table.token.assign(kHanLast - kHanFirst + 1, {0, 0, 0, 0});
    struct Char
    {
        char32_t c;
        QCollatorSortKey key;
    };
    std::vector<Char> chars;
    chars.reserve(table.token.size());
    for (char32_t c = kHanFirst; c <= kHanLast; ++c) {
        if (QChar::script(c) == QChar::Script_Han)
            chars.push_back({c, collator.sortKey(QString::fromUcs4(&c, 1))});
    }
    std::stable_sort(chars.begin(), chars.end(),
                     [](const Char& a, const Char& b) { return a.key.compare(b.key) < 0; });
    if (chars.empty())
        return table;
    // Every place lies between the first and the last character's: when those agree, all do.
    const int firstPlace = placeOf(chars.front().c);
    const bool onePlace = firstPlace >= 0 && firstPlace == placeOf(chars.back().c);
    uint32_t rank = 0;
    for (size_t i = 0; i < chars.size(); ++i) {
        if (i > 0 && chars[i - 1].key.compare(chars[i].key) != 0)
            ++rank;
        const int place = onePlace ? firstPlace : placeOf(chars[i].c);
        if (place <= 0 || place >= 0xFF || rank >= 255u * 255u)
            continue;
        table.token[chars[i].c - kHanFirst] = {static_cast<unsigned char>(place), 0xFF,
                                               static_cast<unsigned char>(1 + rank / 255),
                                               static_cast<unsigned char>(1 + rank % 255)};
    }
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

const std::vector<std::array<unsigned char, 4>>& NaturalOrder::hanTokens() const
{
    static const HanTokens han = hanTokensOf(m_collator, [this](char32_t c) { return hanPlace(c); });
    return han.token;
}

size_t NaturalOrder::keyPrefix(std::string_view utf8, std::string& out) const
{
    const std::array<unsigned char, 128>& rank = ranks(m_collator).rank;
    const std::vector<std::array<unsigned char, 4>>& han = hanTokens();
    const size_t start = out.size();
    const size_t n = utf8.size();
    size_t i = 0;
    while (i < n) {
        size_t ascii = i;
        while (ascii < n && static_cast<unsigned char>(utf8[ascii]) >= kFirst &&
               static_cast<unsigned char>(utf8[ascii]) <= kLast &&
               rank[static_cast<unsigned char>(utf8[ascii])])
            ++ascii;
        if (ascii > i) {
            // A run of digits never ends at a Han character's bytes, so the ASCII part is keyed whole.
            if (!asciiKey(utf8.substr(i, ascii - i), out)) {
                out.resize(start);
                return 0; // a run of digits too long for a key
            }
            i = ascii;
            continue;
        }
        // A common Han character: three bytes 1110xxxx 10xxxxxx 10xxxxxx.
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        if ((b0 & 0xF0) != 0xE0 || i + 2 >= n)
            break;
        const auto b1 = static_cast<unsigned char>(utf8[i + 1]);
        const auto b2 = static_cast<unsigned char>(utf8[i + 2]);
        const char32_t c = (char32_t(b0 & 0x0F) << 12) | (char32_t(b1 & 0x3F) << 6) | char32_t(b2 & 0x3F);
        if ((b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80 || c < kHanFirst || c > kHanLast ||
            han[c - kHanFirst][0] == 0)
            break;
        out.append(reinterpret_cast<const char*>(han[c - kHanFirst].data()), 4);
        i += 3;
    }
    if (i == n || i == 0 || utf8[i - 1] < '0' || utf8[i - 1] > '9')
        return i;
    // A run of digits the next character may continue (full-width digits count as digits too): the
    // prefix ends before it.
    size_t digits = i;
    while (digits > 0 && utf8[digits - 1] >= '0' && utf8[digits - 1] <= '9')
        --digits;
    out.resize(start);
    return keyPrefix(utf8.substr(0, digits), out);
}

bool NaturalOrder::textKey(std::string_view utf8, std::string& out) const
{
    const size_t start = out.size();
    if (keyPrefix(utf8, out) == utf8.size())
        return true;
    out.resize(start);
    return false;
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
