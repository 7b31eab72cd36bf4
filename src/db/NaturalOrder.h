#pragma once

#include <QCollator>
#include <QString>
#include <array>
#include <string>
#include <string_view>
#include <vector>

// Orders texts as a person reads them: letter case ignored, runs of digits compared by
// value ("a9" before "a10", "20" before "100", dates yyyy-mm-dd in date order) and
// Chinese by the zh_CN collation. Empty texts come first.
class NaturalOrder
{
public:
    NaturalOrder();
    QCollatorSortKey key(const QString& text) const { return m_collator.sortKey(text); }
    int compare(const QString& a, const QString& b) const { return m_collator.compare(a, b); }
    // Appends a byte key whose plain byte order is this order, for a text of printable ASCII whose
    // digit runs are at most 254 digits long: each character's rank under the collator (letter case
    // ignored), each run of digits as a mark, its length without leading zeros, and those digits.
    // False, with nothing appended, for any other text.
    bool asciiKey(std::string_view utf8, std::string& out) const;
    // As asciiKey(), for a text of printable ASCII and the common Han characters (U+4E00 .. U+9FFF), in
    // any mix ("说明 123456", "阿里云 abc12"): each Han character as its place among the ASCII ranks
    // (hanPlace), a byte above any rank (0xFF) and its rank among the Han characters in two bytes. No
    // key byte is 0. False, with nothing appended, for any other text.
    bool textKey(std::string_view utf8, std::string& out) const;
    // Appends textKey() of the longest beginning of the text it can key, ending before a run of digits the
    // rest might continue, and returns that beginning's length in bytes. A text whose key is that key
    // followed by more bytes sorts after it; any other key differing from it within its length sorts as
    // the bytes say.
    size_t keyPrefix(std::string_view utf8, std::string& out) const;
    // For a text that starts with the Han character c: its place among asciiKey()'s keys, which it
    // decides alone, since no ASCII character sorts equal to it. Keys whose first byte is at most the
    // value returned sort before such a text, the others after. -1 for any other character.
    int hanPlace(char32_t c) const;

private:
    // Per common Han character from U+4E00, its four key bytes (first byte 0: none).
    const std::vector<std::array<unsigned char, 4>>& hanTokens() const;
    QCollator m_collator;
};
