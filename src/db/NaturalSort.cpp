#include "NaturalSort.h"

#include "NaturalOrder.h"
#include "RowStore.h"
#include "platform/Platform.h"

#include <QCollator>
#include <algorithm>
#include <array>
#include <bit>
#include <memory>
#include <numeric>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace {
// A text's place in the sort: the first sixteen bytes of its byte key as two numbers (big-endian,
// zero-padded), where the whole key is, and the text's present position.
struct SortItem
{
    uint64_t prefix;  // the key's first eight bytes
    uint64_t prefix2; // the next eight
    uint32_t key;     // the key in the keys' block
    uint32_t length;
    uint32_t position;
};

} // namespace

// The present positions in the order a stable natural sort on the field gives.
//
// Texts of printable ASCII and common Han characters (names, prices, dates, Chinese descriptions) get a
// byte key from NaturalOrder whose plain byte order is the natural order; they are sorted on it, by a radix
// sort over its bytes packed into numbers. The few other texts (other scripts, full-width forms) get one
// collation key per distinct text, ranked once; each rank of them is then placed among the keyed texts by
// a binary search with the collator. Ties keep their present order, in either direction.
std::vector<uint32_t> naturalSort(const RowStore& rows, const std::vector<uint32_t>& shown, int field,
                                  bool descending)
{
    const NaturalOrder order;
    const size_t n = shown.size();
    auto raw = [&rows](uint32_t stored, int f) { return rows.value(stored, f); };
    using Item = SortItem;
    // The rows are read in the order they are stored, which is far quicker than in display order over a
    // large arena; each knows its present position.
    std::vector<uint32_t> positionOf(rows.rowCount(), UINT32_MAX);
    for (size_t i = 0; i < n; ++i)
        positionOf[shown[i]] = uint32_t(i);
    // Room for every key at once: grown in doublings, the block would be copied and its memory touched
    // about twice over. A key takes at most a third more than its text (a Han character's three bytes
    // become four), plus a few bytes per number; room reserved but not used is never touched.
    size_t textBytes = 0;
    for (const uint32_t stored : shown)
        textBytes += raw(stored, field).size();
    std::string keys;
    keys.reserve(textBytes + textBytes / 2 + n * 8);
    Platform::preferLargePages(keys.data(), keys.capacity());
    // Per position, its ASCII text's item; the others (length kOther) are kept apart below.
    constexpr uint32_t kOther = UINT32_MAX;
    // Every position is written below, so the room is not cleared first.
    std::unique_ptr<Item[]> byPosition(new Item[n]);
    Platform::preferLargePages(byPosition.get(), n * sizeof(Item));
    std::vector<std::string_view> texts;
    std::unordered_map<std::string_view, uint32_t> seen;
    auto bytesAt = [&keys](size_t at, size_t from) {
        uint64_t number = 0;
        for (size_t b = from; b < from + 8; ++b)
            number = (number << 8) | (at + b < keys.size() ? static_cast<unsigned char>(keys[at + b]) : 0u);
        return number;
    };
    size_t fastCount = 0;
    uint64_t firstPrefix = 0, differ = 0; // the bits in which the first ASCII key differs from any other
    for (size_t stored = 0; stored < positionOf.size(); ++stored) {
        const uint32_t i = positionOf[stored];
        if (i == UINT32_MAX)
            continue;
        const std::string_view v = raw(uint32_t(stored), field);
        const size_t at = keys.size();
        if (!order.textKey(v, keys) || keys.size() > UINT32_MAX) {
            keys.resize(at);
            const auto [it, added] = seen.try_emplace(v, uint32_t(texts.size()));
            if (added)
                texts.push_back(v);
            byPosition[i] = {0, 0, it->second, kOther, i}; // key: the text's number
            continue;
        }
        byPosition[i] = {bytesAt(at, 0), bytesAt(at, 8), uint32_t(at), uint32_t(keys.size() - at), i};
        if (fastCount++ == 0)
            firstPrefix = byPosition[i].prefix;
        differ |= byPosition[i].prefix ^ firstPrefix;
    }
    std::vector<uint32_t>().swap(positionOf);
    // One pass spreads the items over buckets by eleven bits of their first eight key bytes, from the
    // first bit in which any two differ, in position order; each bucket, small enough to stay in the
    // cache, is then sorted by the whole key, ties by position. Descending, the bytes count down (a
    // shorter key's zero padding then sorts after a longer one).
    const uint64_t flip = descending ? ~uint64_t(0) : 0;
    constexpr int kBits = 11;
    const int top = differ ? 63 - std::countl_zero(differ) : 0; // the highest bit in which two differ
    const int shift = std::max(0, top + 1 - kBits);
    auto bucketOf = [flip, shift](const Item& item) {
        return size_t(((item.prefix ^ flip) >> shift) & 0x7FF);
    };
    std::vector<uint32_t> bucketStart((size_t(1) << kBits) + 1, 0);
    std::vector<uint32_t> slow; // positions of the other texts, ascending
    std::vector<uint32_t> textOf;
    for (size_t i = 0; i < n; ++i) {
        const Item& item = byPosition[i];
        if (item.length != kOther) {
            ++bucketStart[bucketOf(item) + 1];
        } else {
            slow.push_back(item.position);
            textOf.push_back(item.key);
        }
    }
    for (size_t b = 1; b < bucketStart.size(); ++b)
        bucketStart[b] += bucketStart[b - 1];
    std::vector<Item> fast;
    fast.reserve(fastCount);
    Platform::preferLargePages(fast.data(), fastCount * sizeof(Item));
    fast.resize(fastCount);
    {
        std::vector<uint32_t> next(bucketStart.begin(), bucketStart.end() - 1);
        for (size_t i = 0; i < n; ++i) {
            if (byPosition[i].length != kOther)
                fast[next[bucketOf(byPosition[i])]++] = byPosition[i];
        }
    }
    // Its memory, touched already, serves the byte sorts below (n items: room for any part).
    const std::unique_ptr<Item[]> scratch = std::move(byPosition);
    auto before = [&](const Item& a, const Item& b) {
        if (a.prefix != b.prefix)
            return (a.prefix ^ flip) < (b.prefix ^ flip);
        if (a.prefix2 != b.prefix2)
            return (a.prefix2 ^ flip) < (b.prefix2 ^ flip);
        // Keys hold no zero byte: equal first sixteen bytes of keys that short are equal keys.
        if (a.length > 16 || b.length > 16) {
            const int c = std::string_view(keys.data() + a.key, a.length)
                              .compare(std::string_view(keys.data() + b.key, b.length));
            if (c != 0)
                return descending ? c > 0 : c < 0;
        }
        return a.position < b.position;
    };
    // Large buckets are sorted a byte at a time (each pass stable, over items in position order), eight
    // key bytes after eight, skipping the bytes a whole run shares (long common beginnings); only runs
    // small enough to stay in the cache are left to the comparison.
    auto byBytes = [&](Item* first, Item* last, int bits, auto numberOf) {
        const auto size = uint32_t(last - first);
        Item* from = first;
        Item* to = scratch.get();
        for (int pass = 0; pass * 8 < bits; ++pass) {
            std::array<uint32_t, 257> count{};
            for (const Item* it = from; it != from + size; ++it)
                ++count[((numberOf(*it) >> (pass * 8)) & 0xFF) + 1];
            if (std::find(count.begin(), count.end(), size) != count.end())
                continue; // one byte for all
            for (size_t d = 1; d < count.size(); ++d)
                count[d] += count[d - 1];
            for (const Item* it = from; it != from + size; ++it)
                to[count[(numberOf(*it) >> (pass * 8)) & 0xFF]++] = *it;
            std::swap(from, to);
        }
        if (from != first)
            std::copy(from, from + size, first);
    };
    // The key bytes [at, at + 8) of an item as a number, zero beyond its key.
    auto chunkAt = [&keys](const Item& item, size_t at) {
        uint64_t number = 0;
        for (size_t b = at; b < at + 8; ++b)
            number = (number << 8) | (b < item.length ? static_cast<unsigned char>(keys[item.key + b]) : 0u);
        return number;
    };
    // Items that share their key bytes before `at` and the bytes of prefix2 above `byte` (7: the first):
    // spread by that byte (stably, in one pass), then each part by the next byte, down to parts small
    // enough for the comparison; parts that share all eight go on with the key's next eight bytes. Most
    // parts end after two or three passes, where a pass for each of the eight bytes would touch every
    // item eight times.
    auto byLeadingBytes = [&](Item* first, Item* last, int byte, size_t at, auto& deeper) -> void {
        std::vector<std::tuple<Item*, Item*, int>> parts{{first, last, byte}};
        while (!parts.empty()) {
            auto [from, to, b] = parts.back();
            parts.pop_back();
            const auto size = uint32_t(to - from);
            if (size < 2)
                continue;
            if (size < 4096) {
                std::sort(from, to, before);
                continue;
            }
            if (b < 0) {
                for (Item* it = from; it != to; ++it)
                    it->prefix2 = chunkAt(*it, at + 8);
                deeper(from, to, at + 8, deeper);
                continue;
            }
            const int shiftBy = b * 8;
            auto digit = [flip, shiftBy](const Item& item) {
                return ((item.prefix2 ^ flip) >> shiftBy) & 0xFF;
            };
            std::array<uint32_t, 257> count{};
            for (const Item* it = from; it != to; ++it)
                ++count[digit(*it) + 1];
            if (std::find(count.begin(), count.end(), size) != count.end()) {
                parts.emplace_back(from, to, b - 1); // one byte for all
                continue;
            }
            for (size_t d = 1; d < count.size(); ++d)
                count[d] += count[d - 1];
            std::array<uint32_t, 256> next;
            std::copy(count.begin(), count.end() - 1, next.begin());
            for (const Item* it = from; it != to; ++it)
                scratch[next[digit(*it)]++] = *it;
            std::copy(scratch.get(), scratch.get() + size, from);
            for (size_t d = 0; d < 256; ++d)
                parts.emplace_back(from + count[d], from + count[d + 1], b - 1);
        }
    };
    // A run whose items share their key bytes before `at` and hold bytes [at, at + 8) in prefix2 (so that
    // `before` orders them): bytes the run shares beyond are skipped, then the run is sorted a byte at a
    // time by the next eight, and each part that shares those too by the eight after.
    auto sortDeep = [&](Item* first, Item* last, size_t at, auto& self) -> void {
        if (last - first < 2 || std::is_sorted(first, last, before))
            return;
        if (last - first < 4096) {
            std::sort(first, last, before);
            return;
        }
        if (std::all_of(first, last, [&](const Item& item) { return item.prefix2 == first->prefix2; })) {
            // All share the next eight bytes too: skip every byte they share.
            size_t common = SIZE_MAX;
            const std::string_view lead(keys.data() + first->key, first->length);
            for (const Item* it = first + 1; it != last && common > at; ++it) {
                const std::string_view key(keys.data() + it->key, it->length);
                const size_t limit = std::min({common, key.size(), lead.size()});
                size_t same = at;
                while (same < limit && key[same] == lead[same])
                    ++same;
                common = same;
            }
            if (common == SIZE_MAX)
                common = at;
            if (std::all_of(first, last, [&](const Item& item) { return item.length <= common; }))
                return; // equal keys, in position order
            at = common;
            for (Item* it = first; it != last; ++it)
                it->prefix2 = chunkAt(*it, at);
        }
        byLeadingBytes(first, last, 7, at, self);
    };
    // A bucket: sorted by the rest of its first eight key bytes, then each run that shares those deeper.
    auto sortBucket = [&](Item* first, Item* last) {
        if (last - first < 2 || std::is_sorted(first, last, before))
            return;
        if (last - first < 4096) {
            std::sort(first, last, before);
            return;
        }
        byBytes(first, last, shift, [flip](const Item& item) { return item.prefix ^ flip; });
        for (Item* run = first; run != last;) {
            Item* runEnd = run + 1;
            while (runEnd != last && runEnd->prefix == run->prefix)
                ++runEnd;
            sortDeep(run, runEnd, 8, sortDeep);
            run = runEnd;
        }
    };
    for (size_t b = 0; b + 1 < bucketStart.size(); ++b)
        sortBucket(fast.data() + bucketStart[b], fast.data() + bucketStart[b + 1]);
    std::vector<uint32_t> result;
    result.reserve(n);
    if (slow.empty()) {
        for (const Item& item : fast)
            result.push_back(item.position);
        return result;
    }

    // The other texts: distinct ones, ranked by the collator. Most begin with a part NaturalOrder can key
    // ("abc.中国ａ"): against a key that differs from that part's key within its length, the bytes decide.
    // Only where one begins with the other does the collator have to.
    auto qtext = [](std::string_view v) { return QString::fromUtf8(v.data(), qsizetype(v.size())); };
    std::vector<std::string> placeKeys(texts.size()); // the key of each text's beginning
    for (size_t t = 0; t < texts.size(); ++t)
        order.keyPrefix(texts[t], placeKeys[t]);
    // Negative or positive where the key of a whole text (`whole`) or of the beginning of another
    // (`begin`) decides which comes first; 0 where the collator must tell.
    auto byBeginning = [](std::string_view whole, std::string_view begin, bool wholeIsBeginning) {
        const size_t common = std::min(whole.size(), begin.size());
        if (const int c = whole.substr(0, common).compare(begin.substr(0, common)); c != 0)
            return c;
        return !wholeIsBeginning && whole.size() < begin.size() ? -1 : 0;
    };
    std::vector<std::optional<QCollatorSortKey>> sortKeys(texts.size());
    auto sortKeyOf = [&](uint32_t t) -> const QCollatorSortKey& {
        if (!sortKeys[t])
            sortKeys[t] = order.key(qtext(texts[t]));
        return *sortKeys[t];
    };
    auto compareTexts = [&](uint32_t a, uint32_t b) {
        if (const int c = byBeginning(placeKeys[a], placeKeys[b], true); c != 0)
            return c;
        return sortKeyOf(a).compare(sortKeyOf(b));
    };
    std::vector<uint32_t> byKey(texts.size());
    std::iota(byKey.begin(), byKey.end(), 0u);
    std::sort(byKey.begin(), byKey.end(), [&](uint32_t a, uint32_t b) { return compareTexts(a, b) < 0; });
    std::vector<uint32_t> rank(texts.size());
    std::vector<uint32_t> textOfRank;
    uint32_t rankCount = 0;
    for (size_t i = 0; i < byKey.size(); ++i) {
        if (i == 0 || compareTexts(byKey[i - 1], byKey[i]) != 0) {
            ++rankCount;
            textOfRank.push_back(byKey[i]);
        }
        rank[byKey[i]] = rankCount - 1;
    }
    if (descending) {
        for (uint32_t& r : rank)
            r = rankCount - 1 - r;
        std::reverse(textOfRank.begin(), textOfRank.end());
    }
    // The positions grouped by rank, ascending within each (a counting sort keeps their order).
    std::vector<uint32_t> groupStart(rankCount + 1, 0);
    for (size_t i = 0; i < slow.size(); ++i)
        ++groupStart[rank[textOf[i]] + 1];
    for (size_t r = 1; r <= rankCount; ++r)
        groupStart[r] += groupStart[r - 1];
    std::vector<uint32_t> grouped(slow.size());
    {
        std::vector<uint32_t> fill(groupStart.begin(), groupStart.end() - 1);
        for (size_t i = 0; i < slow.size(); ++i)
            grouped[fill[rank[textOf[i]]]++] = slow[i];
    }

    // Each group in its place among the ASCII texts; texts the collator finds equal merge by position.
    // The places only move on: each is looked for from the last one, in growing steps.
    auto gallop = [](auto first, auto last, auto before) {
        std::ptrdiff_t step = 1;
        while (last - first > step && before(first[step - 1])) {
            first += step;
            step *= 2;
        }
        return std::partition_point(first, std::min(last, first + step), before);
    };
    size_t f = 0;
    for (uint32_t r = 0; r < rankCount; ++r) {
        const uint32_t* group = grouped.data() + groupStart[r];
        const size_t groupSize = groupStart[r + 1] - groupStart[r];
        if (groupSize == 0)
            continue;
        const std::string_view placeKey = placeKeys[textOfRank[r]];
        const QString text = qtext(texts[textOfRank[r]]);
        auto compareTo = [&](const Item& item) {
            int c = byBeginning(std::string_view(keys.data() + item.key, item.length), placeKey, false);
            if (c == 0)
                c = order.compare(qtext(raw(shown[item.position], field)), text);
            return descending ? -c : c;
        };
        const auto lower = gallop(fast.begin() + std::ptrdiff_t(f), fast.end(),
                                  [&](const Item& item) { return compareTo(item) < 0; });
        const auto upper = gallop(lower, fast.end(), [&](const Item& item) { return compareTo(item) <= 0; });
        for (auto it = fast.begin() + std::ptrdiff_t(f); it != lower; ++it)
            result.push_back(it->position);
        auto it = lower;
        size_t g = 0;
        while (it != upper || g < groupSize) {
            if (g == groupSize || (it != upper && it->position < group[g]))
                result.push_back((it++)->position);
            else
                result.push_back(group[g++]);
        }
        f = size_t(upper - fast.begin());
    }
    for (auto it = fast.begin() + std::ptrdiff_t(f); it != fast.end(); ++it)
        result.push_back(it->position);
    return result;
}
