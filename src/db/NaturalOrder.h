#pragma once

#include <QCollator>
#include <QString>
#include <string>
#include <string_view>

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
    // For a text that starts with the Han character c: its place among asciiKey()'s keys, which it
    // decides alone, since no ASCII character sorts equal to it. Keys whose first byte is at most the
    // value returned sort before such a text, the others after. -1 for any other character.
    int hanPlace(char32_t c) const;

private:
    QCollator m_collator;
};
