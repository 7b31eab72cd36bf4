#include "ListTotals.h"

#include "Dataset.h"

#include <limits>

namespace {
// No domain is priced at a quadrillion; longer digit runs are not taken as prices.
constexpr int kMaxIntegerDigits = 15;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
} // namespace

qint64 ListTotals::priceCentsOf(std::string_view s)
{
    size_t at = 0, end = s.size();
    while (at < end && isBlank(s[at]))
        ++at;
    while (end > at && isBlank(s[end - 1]))
        --end;
    qint64 units = 0;
    int digits = 0;
    int group = -1; // digits since the last ",", or -1 before the first one
    for (; at < end; ++at) {
        const char c = s[at];
        if (c >= '0' && c <= '9') {
            if (++digits > kMaxIntegerDigits)
                return -1;
            units = units * 10 + (c - '0');
            if (group >= 0 && ++group > 3)
                return -1;
        } else if (c == ',') {
            if (digits == 0 || (group >= 0 && group != 3) || (group < 0 && digits > 3))
                return -1;
            group = 0;
        } else {
            break;
        }
    }
    if (digits == 0 || (group >= 0 && group != 3))
        return -1;
    int cents = 0;
    if (at < end && s[at] == '.') {
        ++at;
        int decimals = 0;
        int roundUp = 0;
        for (; at < end && s[at] >= '0' && s[at] <= '9'; ++at, ++decimals) {
            if (decimals < 2)
                cents = cents * 10 + (s[at] - '0');
            else if (decimals == 2)
                roundUp = s[at] >= '5';
        }
        if (decimals == 0)
            return -1;
        if (decimals == 1)
            cents *= 10;
        cents += roundUp;
    }
    if (at != end)
        return -1;
    return units * 100 + cents;
}

ListTotals ListTotals::of(const Dataset& dataset, expiry::Day today)
{
    ListTotals totals;
    if (!dataset.isOpen())
        return totals;
    const int expiryField = dataset.fieldIndex(QStringLiteral("a6"));
    const int priceField = dataset.fieldIndex(QStringLiteral("a9"));
    totals.count = dataset.recordCount();
    for (int row = 0; row < totals.count; ++row) {
        if (expiryField >= 0) {
            switch (expiry::classify(expiry::parse(dataset.rawValue(row, expiryField)), today)) {
            case expiry::Status::Expired:
                ++totals.expired;
                break;
            case expiry::Status::Within30:
                ++totals.within30;
                break;
            default:
                break;
            }
        }
        if (priceField >= 0) {
            const qint64 cents = priceCentsOf(dataset.rawValue(row, priceField));
            if (cents < 0)
                continue;
            ++totals.priced;
            if (totals.priceCents > std::numeric_limits<qint64>::max() - cents)
                totals.priceOverflow = true;
            else
                totals.priceCents += cents;
        }
    }
    return totals;
}

QString ListTotals::groupedAmount(qint64 cents)
{
    const bool negative = cents < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(cents) : quint64(cents);
    QString digits = QString::number(magnitude / 100);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    if (const quint64 rest = magnitude % 100)
        digits += QStringLiteral(".%1").arg(rest, 2, 10, QLatin1Char('0'));
    return negative ? QLatin1Char('-') + digits : digits;
}
