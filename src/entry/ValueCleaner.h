#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// Dates and prices of an imported sheet made sound on their way in: a date in any usual form becomes
// yyyy-MM-dd, a price loses its currency signs and thousands separators. A value that cannot be read
// stays as it was, with a warning. Knows nothing of widgets or of the database.
namespace valuecleaner {

// How a date written with numbers only (03/04/2021) is read.
enum class DayOrder
{
    Unknown,    // not told: such a date, when month and day could be swapped, is not read
    MonthFirst, // month/day/year: 03/04/2021 is 2021-03-04
    DayFirst,   // day/month/year: 03/04/2021 is 2021-04-03
};

struct Cleaned
{
    QString text;    // what is stored
    QString warning; // empty, or why the value was kept as it was
};

// The date a text holds, or an invalid date. Reads 2021-11-24, 2021/11/24 11:43 PST, 2021.11.24,
// 2021-11-24T11:43:00Z, Dec 13 2021, Dec 13, 2021, 13 Dec 2021, 13-Dec-2021, Mon Dec 13 2021, 11/24/2021,
// 24.11.2021, 20211124, 2021年11月24日 (with a time of day, AM/PM and a zone name after it, all ignored).
// A numbers-only date whose first two numbers could each be the month is read by `order`; with Unknown
// it is not read and *needsOrder is set.
QDate readDate(const QString& text, DayOrder order, bool* needsOrder = nullptr);

// What the values of one date column tell about its day/month order: the order the dates show (a first
// number above 12 is a day, a second number above 12 is a day), or Unknown. *mustAsk is set when some
// value cannot be read without the order and none of them tells it (or they contradict each other).
DayOrder columnOrder(const QStringList& values, bool* mustAsk);

// A date field's value: yyyy-MM-dd, or the text unchanged with a warning.
Cleaned cleanDate(const QString& text, DayOrder order);
// A price: "$ 18.99" → "18.99", "1,500" → "1500", "￥2000" → "2000", "1500元" → "1500"; anything else stays
// with a warning. An empty text is empty.
Cleaned cleanPrice(const QString& text);

} // namespace valuecleaner
