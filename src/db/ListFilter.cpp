#include "db/ListFilter.h"

#include "db/ListTotals.h"

#include <QDate>

bool ListFilter::isEmpty() const
{
    return *this == ListFilter{};
}

QString ListFilter::endingOf(std::string_view domain)
{
    const auto dot = domain.find('.');
    if (dot == std::string_view::npos)
        return {};
    const auto rest = domain.substr(dot);
    return QString::fromUtf8(rest.data(), qsizetype(rest.size())).trimmed().toLower();
}

namespace {

bool expiryAccepts(const ListFilter& filter, std::string_view expires, expiry::Day today)
{
    if (filter.expiry == ListFilter::ExpiryChoice::Any)
        return true;
    const expiry::Day day = expiry::parse(expires);
    if (day == expiry::kUnreadable)
        return false;
    const expiry::Status status = expiry::classify(day, today);
    switch (filter.expiry) {
    case ListFilter::ExpiryChoice::Expired:
        return status == expiry::Status::Expired;
    case ListFilter::ExpiryChoice::Within30:
        return status == expiry::Status::Within30;
    case ListFilter::ExpiryChoice::Within90:
        return status == expiry::Status::Within30 || status == expiry::Status::Within90;
    case ListFilter::ExpiryChoice::Year:
        return QDate::fromJulianDay(day).year() == filter.year;
    case ListFilter::ExpiryChoice::Any:
        break;
    }
    return true;
}

bool priceAccepts(const ListFilter& filter, std::string_view price)
{
    const bool bounded = filter.minCents >= 0 || filter.maxCents >= 0;
    if (!bounded && !filter.priceNotNumber)
        return true;
    const qint64 cents = ListTotals::priceCentsOf(price);
    if (filter.priceNotNumber)
        return cents < 0; // a range and "not a number" together let nothing through
    if (cents < 0)
        return false;
    return (filter.minCents < 0 || cents >= filter.minCents) &&
           (filter.maxCents < 0 || cents <= filter.maxCents);
}

} // namespace

bool ListFilter::accepts(std::string_view domain, std::string_view registrarText, std::string_view expires,
                         std::string_view price, expiry::Day today) const
{
    if (!registrar.isEmpty() &&
        QString::fromUtf8(registrarText.data(), qsizetype(registrarText.size())) != registrar)
        return false;
    if (!ending.isEmpty() && endingOf(domain) != ending)
        return false;
    return expiryAccepts(*this, expires, today) && priceAccepts(*this, price);
}
