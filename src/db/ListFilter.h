#pragma once

#include "db/Dataset.h"
#include "db/Expiry.h"
#include "db/ListTotals.h"

#include <QList>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <string_view>
#include <utility>

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

// What the filters can choose from in the rows of a list (those of its search, before the filters): each
// registrar and ending present and each year an expiry date names, with how many rows have it. Registrars
// and endings most frequent first, years in order.
struct FilterChoices
{
    QList<std::pair<QString, int>> registrars; // an empty registrar is left out
    QList<std::pair<QString, int>> endings;
    QList<std::pair<int, int>> years;

    // Over the stored rows `stored` of a dataset of tt_a; days as ListCounter::days() keeps them.
    static FilterChoices of(const Dataset& rows, const std::vector<uint32_t>& stored,
                            const std::vector<qint32>& days);
};

// A ListFilter applied to the rows a dataset of tt_a holds (Dataset::setRowTest). The expiry days and
// prices are those a ListCounter keeps per stored row (the status bar's counter when given, so they are
// read once for both); the registrar and the ending are compared on the stored UTF-8.
class ListFilterTest : public RowTest
{
public:
    explicit ListFilterTest(ListCounter* counter = nullptr);
    void setFilter(const ListFilter& filter, expiry::Day today);
    const ListFilter& filter() const { return m_filter; }
    ListCounter* counter() { return m_counter; }

    void keep(const Dataset& rows, std::vector<uint32_t>& stored) override;

    // A filter made ready for checking many rows: whether one row passes, from its expiry day, its price
    // in cents (as ListCounter keeps them) and its stored registrar and name. `buffer` is room for an
    // ending that has to be lower-cased.
    struct Check
    {
        Check(const ListFilter& filter, expiry::Day today);
        bool passes(expiry::Day day, qint64 cents, std::string_view registrar, std::string_view domain,
                    std::string& buffer) const;

        QByteArray registrar; // UTF-8; empty: any
        QByteArray ending;
        bool byDay = false;
        expiry::Day lo = 0, hi = 0; // the days let through, inclusive
        bool byPrice = false;
        bool notNumber = false; // prices that are not numbers pass
        qint64 minCents = 0, maxCents = 0;
    };

private:
    std::unique_ptr<ListCounter> m_own; // when no counter was given
    ListCounter* m_counter;
    ListFilter m_filter;
    expiry::Day m_today = expiry::kUnreadable;
};
