#pragma once

#include "db/Expiry.h"

#include <QString>
#include <QtGlobal>
#include <string_view>

// The filters of the domain list beside the search: registrar, ending, expiry and price. Widget-free;
// every field left at its default lets every row through, and the fields in force combine (AND).
struct ListFilter
{
    enum class ExpiryChoice
    {
        Any,
        Expired,  // before today
        Within30, // today up to 30 days ahead
        Within90, // today up to 90 days ahead
        Year      // expires in `year`
    };

    QString registrar; // exact value of the registrar field; empty: any
    QString ending;    // ending as endingOf() gives it (".com.cn"); empty: any
    ExpiryChoice expiry = ExpiryChoice::Any;
    int year = 0;                // with ExpiryChoice::Year
    qint64 minCents = -1;        // lowest price in cents, inclusive; -1: no lower bound
    qint64 maxCents = -1;        // highest price in cents, inclusive; -1: no upper bound
    bool priceNotNumber = false; // only rows whose price is not a plain number

    bool isEmpty() const;

    // Whether one row passes, from its stored UTF-8 fields. `today` as a day of expiry::dayOf.
    bool accepts(std::string_view domain, std::string_view registrar, std::string_view expires,
                 std::string_view price, expiry::Day today) const;

    // Everything after the first dot of a domain name, lower-cased (".com.cn", ".中国"); empty for a name
    // without a dot.
    static QString endingOf(std::string_view domain);

    bool operator==(const ListFilter&) const = default;
};
