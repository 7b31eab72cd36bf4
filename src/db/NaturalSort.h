#pragma once

#include <cstdint>
#include <vector>

class RowStore;

// Sorts a list of stored rows by one field in NaturalOrder (letter case ignored, digits by value,
// Chinese by its collation), stable in either direction: the positions in `shown` (0 .. size - 1) in
// their new order. Quick for a million rows: a radix sort over byte keys for ASCII texts, one collation
// key per distinct other text.
std::vector<uint32_t> naturalSort(const RowStore& rows, const std::vector<uint32_t>& shown, int field,
                                  bool descending);
