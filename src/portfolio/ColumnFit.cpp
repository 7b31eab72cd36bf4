#include "ColumnFit.h"

#include <algorithm>
#include <numeric>

namespace columnfit {
namespace {
// Shares `spare` among the columns picked, each up to its room, in equal parts; returns what is left.
template <typename Room> int share(std::vector<int>& w, std::vector<size_t> picked, int spare, Room room)
{
    while (spare > 0) {
        std::erase_if(picked, [&](size_t c) { return room(c) <= 0; });
        if (picked.empty())
            break;
        const int part = std::max(1, spare / int(picked.size()));
        for (const size_t c : picked) {
            const int given = std::min({part, room(c), spare});
            w[c] += given;
            spare -= given;
            if (spare == 0)
                break;
        }
    }
    return spare;
}
} // namespace

std::vector<int> widths(const std::vector<Column>& columns, int available)
{
    std::vector<int> w;
    for (const Column& c : columns)
        w.push_back(c.start);
    if (columns.empty())
        return w;
    int total = std::accumulate(w.begin(), w.end(), 0);
    if (total > available) {
        int missing = total - available;
        std::vector<size_t> order;
        for (size_t c = 0; c < columns.size(); ++c) {
            if (!columns[c].fixed && columns[c].shrinkRank > 0)
                order.push_back(c);
        }
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return columns[a].shrinkRank < columns[b].shrinkRank; });
        for (const size_t c : order) {
            const int given = std::min(missing, std::max(0, w[c] - columns[c].minimum));
            w[c] -= given;
            missing -= given;
        }
        return w;
    }
    int spare = available - total;
    std::vector<size_t> first, others;
    for (size_t c = 0; c < columns.size(); ++c) {
        if (!columns[c].fixed)
            (columns[c].first ? first : others).push_back(c);
    }
    auto toNeed = [&](size_t c) { return columns[c].need - w[c]; };
    spare = share(w, first, spare, toNeed);
    spare = share(w, others, spare, toNeed);
    if (spare <= 0)
        return w;
    if (!first.empty()) {
        // Shared by their parts (说明, with the longer texts, takes two parts to one of 域名).
        int parts = 0;
        for (const size_t c : first)
            parts += std::max(1, columns[c].spareParts);
        int left = spare;
        for (const size_t c : first) {
            const int given = c == first.back() ? left : spare * std::max(1, columns[c].spareParts) / parts;
            w[c] += given;
            left -= given;
        }
    } else {
        w[others.empty() ? columns.size() - 1 : others.back()] += spare;
    }
    return w;
}

} // namespace columnfit
