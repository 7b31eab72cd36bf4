#pragma once

#include <QCollator>
#include <QString>

// Orders texts as a person reads them: letter case ignored, runs of digits compared by
// value ("a9" before "a10", "20" before "100", dates yyyy-mm-dd in date order) and
// Chinese by the zh_CN collation. Empty texts come first.
class NaturalOrder
{
public:
    NaturalOrder();
    QCollatorSortKey key(const QString& text) const { return m_collator.sortKey(text); }
    int compare(const QString& a, const QString& b) const { return m_collator.compare(a, b); }

private:
    QCollator m_collator;
};
