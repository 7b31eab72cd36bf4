#include "db/ListFilter.h"

#include "db/ListTotals.h"

#include <QDate>
#include <algorithm>
#include <deque>
#include <limits>
#include <map>
#include <string>
#include <unordered_map>

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

// Whether lower-casing and trimming leave an ending as it is: ASCII without capitals and blanks, and
// characters of U+3000 .. U+9FFF (Chinese, Japanese), which have no case, except the ideographic space.
bool staysAsIs(std::string_view rest)
{
    for (size_t i = 0; i < rest.size(); ++i) {
        const auto c = static_cast<unsigned char>(rest[i]);
        if (c < 0x80) {
            if (c <= 0x20 || (c >= 'A' && c <= 'Z'))
                return false;
            continue;
        }
        if (c < 0xE3 || c > 0xE9 || rest.size() - i < 3)
            return false;
        const auto c1 = static_cast<unsigned char>(rest[i + 1]), c2 = static_cast<unsigned char>(rest[i + 2]);
        if ((c1 & 0xC0) != 0x80 || (c2 & 0xC0) != 0x80 || (c == 0xE3 && c1 == 0x80 && c2 == 0x80))
            return false;
        i += 2;
    }
    return true;
}

// The ending of a stored name, as endingOf() gives it, without making a QString for the common names.
// The bytes go to `out`, which may point into `domain` or into `buffer`.
void endingBytes(std::string_view domain, std::string_view& out, std::string& buffer)
{
    const auto dot = domain.find('.');
    if (dot == std::string_view::npos) {
        out = {};
        return;
    }
    const std::string_view rest = domain.substr(dot);
    if (staysAsIs(rest)) {
        out = rest;
        return;
    }
    bool ascii = true;
    for (const char c : rest)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80 && static_cast<unsigned char>(c) > 0x20;
    if (ascii) {
        buffer.assign(rest);
        for (char& c : buffer)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
    } else {
        const QByteArray utf8 = ListFilter::endingOf(domain).toUtf8();
        buffer.assign(utf8.constData(), size_t(utf8.size()));
    }
    out = buffer;
}

// The (proleptic Gregorian) year of a Julian day number, without a QDate: the civil-from-days reckoning
// over eras of 400 years.
int yearOf(expiry::Day julianDay)
{
    const qint64 z = julianDay - 2440588 + 719468; // days since 0000-03-01
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 dayOfEra = z - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthIndex = (5 * dayOfYear + 2) / 153; // 0 for March
    return int(yearOfEra + era * 400 + (monthIndex >= 10 ? 1 : 0));
}

std::string_view viewOf(const QByteArray& bytes)
{
    return {bytes.constData(), size_t(bytes.size())};
}

int fieldOf(const Dataset& rows, const char* name)
{
    return rows.fieldIndex(QLatin1String(name));
}

} // namespace

ListFilterTest::ListFilterTest(ListCounter* counter)
    : m_own(counter ? nullptr : std::make_unique<ListCounter>()), m_counter(counter ? counter : m_own.get())
{
}

void ListFilterTest::setFilter(const ListFilter& filter, expiry::Day today)
{
    m_filter = filter;
    m_today = today;
}

ListFilterTest::Check::Check(const ListFilter& filter, expiry::Day today)
    : registrar(filter.registrar.toUtf8()), ending(filter.ending.toUtf8())
{
    using Choice = ListFilter::ExpiryChoice;
    byDay = filter.expiry != Choice::Any;
    switch (filter.expiry) {
    case Choice::Any:
        break;
    case Choice::Expired:
        lo = std::numeric_limits<expiry::Day>::min();
        hi = today - 1;
        break;
    case Choice::Within30:
        lo = today;
        hi = today + expiry::kSoonDays;
        break;
    case Choice::Within90:
        lo = today;
        hi = today + expiry::kNearDays;
        break;
    case Choice::Year:
        lo = QDate(filter.year, 1, 1).toJulianDay();
        hi = QDate(filter.year, 12, 31).toJulianDay();
        break;
    }
    const bool bounded = filter.minCents >= 0 || filter.maxCents >= 0;
    byPrice = bounded || filter.priceNotNumber;
    if (filter.priceNotNumber) {
        // Only prices that are not numbers; with a range as well, nothing.
        notNumber = !bounded;
        minCents = 1;
        maxCents = 0;
    } else {
        minCents = std::max<qint64>(filter.minCents, 0);
        maxCents = filter.maxCents < 0 ? std::numeric_limits<qint64>::max() : filter.maxCents;
    }
}

bool ListFilterTest::Check::passes(expiry::Day day, qint64 cents, std::string_view registrarText,
                                   std::string_view domain, std::string& buffer) const
{
    if (byDay && (day == expiry::kUnreadable || day < lo || day > hi))
        return false;
    if (byPrice && (cents < 0 ? !notNumber : cents < minCents || cents > maxCents))
        return false;
    if (!registrar.isEmpty() && registrarText != viewOf(registrar))
        return false;
    if (!ending.isEmpty()) {
        std::string_view own;
        endingBytes(domain, own, buffer);
        if (own != viewOf(ending))
            return false;
    }
    return true;
}

void ListFilterTest::keep(const Dataset& rows, std::vector<uint32_t>& stored)
{
    if (m_filter.isEmpty())
        return;
    m_counter->keepUp(rows);
    const std::vector<qint32>& days = m_counter->days();
    const std::vector<qint64>& cents = m_counter->cents();
    const int nameField = fieldOf(rows, "a1"), registrarField = fieldOf(rows, "a3");
    const Check check(m_filter, m_today);
    std::string buffer;
    auto passes = [&](uint32_t s) {
        return check.passes(days[s], cents[s], rows.storedValue(s, registrarField),
                            rows.storedValue(s, nameField), buffer);
    };
    const auto all = uint32_t(rows.storedRowCount());
    if (stored.size() < all / 16) {
        std::erase_if(stored, [&](uint32_t s) { return !passes(s); });
        return;
    }
    // A large part of the rows, perhaps sorted: every stored row is checked in stored order, straight
    // through memory, and the rows are then kept by a bit per stored row.
    std::vector<quint64> kept((all + 63) / 64, 0);
    for (uint32_t s = 0; s < all; ++s) {
        if (passes(s))
            kept[s / 64] |= quint64(1) << (s % 64);
    }
    std::erase_if(stored, [&kept](uint32_t s) { return !(kept[s / 64] >> (s % 64) & 1); });
}

bool ListFilter::accepts(std::string_view domain, std::string_view registrarText, std::string_view expires,
                         std::string_view price, expiry::Day today) const
{
    std::string buffer;
    return ListFilterTest::Check(*this, today)
        .passes(expiry::parse(expires), ListTotals::priceCentsOf(price), registrarText, domain, buffer);
}

FilterChoices FilterChoices::of(const Dataset& rows, const std::vector<uint32_t>& stored,
                                const std::vector<qint32>& days)
{
    const int nameField = fieldOf(rows, "a1"), registrarField = fieldOf(rows, "a3");
    std::unordered_map<std::string_view, int> registrars;
    std::unordered_map<std::string_view, int> endings;
    std::deque<std::string> lowered; // the endings that had to be lower-cased, kept for the map's keys
    std::map<int, int> years;
    std::string buffer;
    for (const uint32_t s : stored) {
        ++registrars[rows.storedValue(s, registrarField)];
        std::string_view own;
        endingBytes(rows.storedValue(s, nameField), own, buffer);
        if (!own.empty()) {
            auto at = endings.find(own);
            if (at == endings.end()) {
                if (own.data() == buffer.data())
                    own = lowered.emplace_back(own);
                at = endings.emplace(own, 0).first;
            }
            ++at->second;
        }
        const expiry::Day day = s < days.size() ? days[s] : expiry::kUnreadable;
        if (day == expiry::kUnreadable)
            continue;
        ++years[yearOf(day)];
    }
    FilterChoices choices;
    auto byCount = [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    };
    for (const auto& [text, n] : registrars) {
        if (!text.empty())
            choices.registrars.append({QString::fromUtf8(text.data(), qsizetype(text.size())), n});
    }
    for (const auto& [text, n] : endings)
        choices.endings.append({QString::fromUtf8(text.data(), qsizetype(text.size())), n});
    std::sort(choices.registrars.begin(), choices.registrars.end(), byCount);
    std::sort(choices.endings.begin(), choices.endings.end(), byCount);
    for (const auto& [y, n] : years)
        choices.years.append({y, n});
    return choices;
}
