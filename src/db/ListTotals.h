#pragma once

#include "Dataset.h"
#include "Expiry.h"

#include <QString>
#include <QtGlobal>
#include <string_view>
#include <vector>

// What the status bar tells about the rows a domain list holds: how many, how many have expired or
// expire within 30 days, and the sum of the asking prices that are plain numbers.
struct ListTotals
{
    int count = 0;
    int expired = 0;
    int within30 = 0;
    int priced = 0;        // rows whose price is a plain number
    qint64 priceCents = 0; // their sum, in cents
    bool priceOverflow = false;

    // Reads the expiry date (a6) and the price (a9) of every row the dataset holds, straight from
    // its stored UTF-8. An empty result when the dataset is closed. (ListCounter does the same and
    // keeps what it read for the next time.)
    static ListTotals of(const Dataset& dataset, expiry::Day today);

    // A price that is a plain number: digits (groups of three may be parted with ","), optionally a
    // decimal point and decimals; blanks around allowed. The amount in cents (rounded), or -1.
    static qint64 priceCentsOf(std::string_view utf8);

    // An amount in cents as people read it: thousands separated with ",", decimals only when there are
    // any ("1,234,567", "88.50").
    static QString groupedAmount(qint64 cents);

    bool operator==(const ListTotals&) const = default;
};

// Counts a dataset again and again, as its rows are sorted, deleted, appended or replaced: the expiry
// day and the price of each stored row are read once and kept until the dataset replaces its rows,
// so a count after a change is one pass over small numbers.
//
// Made the dataset's row keeper (Dataset::setRowKeeper), it takes them while the rows are read from
// the file, so that even the first count after a reload reads no text. Otherwise it reads the rows
// stored since its last count when it counts.
class ListCounter : public RowKeeper
{
public:
    ListTotals count(const Dataset& dataset, expiry::Day today);
    // Brings what is kept up to every stored row of the dataset; then the expiry day (kUnreadable when
    // unreadable) and the price in cents (-1 when not a plain number) of each, by stored row.
    void keepUp(const Dataset& dataset);
    const std::vector<qint32>& days() const { return m_day; }
    const std::vector<qint64>& cents() const { return m_cents; }

    // RowKeeper
    void rowsCleared() override;
    void rowStored(const Dataset& rows, uint32_t stored,
                   const std::vector<std::string_view>& values) override;

    // Bytes held per stored row.
    static constexpr size_t kBytesPerRow = sizeof(qint32) + sizeof(qint64);

private:
    void take(std::string_view expires, std::string_view price);
    void catchUp(const Dataset& rows, size_t stored);
    void lookUpFields(const Dataset& rows);

    const Dataset* m_dataset = nullptr;
    quint64 m_generation = 0;
    int m_expiryField = -1;      // a6 in the rows, as last looked up
    int m_priceField = -1;       // a9
    std::vector<qint32> m_day;   // per stored row; kUnreadable when the date cannot be read
    std::vector<qint64> m_cents; // per stored row; -1 when the price is not a plain number
};
