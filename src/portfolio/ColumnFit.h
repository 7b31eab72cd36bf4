#pragma once

#include <vector>

// How the domain list shares its width among its columns.
namespace columnfit {

struct Column
{
    int start = 0;      // the width it starts at
    int minimum = 0;    // the narrowest it becomes when the list is too narrow (at most start)
    int need = 0;       // the width its visible texts need (may be less than start)
    bool fixed = false; // a width the user set: kept as it is
    bool first = false; // 域名 and 说明: the first to grow when there is room
    int shrinkRank = 0; // the order in which columns give way (1 first); 0: never below start
    int spareParts = 1; // a first column's parts of the room left once every text fits
};

// The widths of the columns for a list `available` pixels wide. Too narrow: the columns give way in their
// shrink order down to their minimum (the rest scrolls). Wider: 域名 and 说明 grow to what their texts
// need, then the other columns, then whatever is left goes to 域名 and 说明, one part to two (or, with
// neither of them free, to the last column the program fits, or to the very last), so that the columns fill
// the list.
std::vector<int> widths(const std::vector<Column>& columns, int available);

} // namespace columnfit
