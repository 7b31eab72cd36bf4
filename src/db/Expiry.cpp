#include "Expiry.h"

#include <cstdio>

namespace expiry {
namespace {
constexpr std::string_view kYear = "\xE5\xB9\xB4";    // 年
constexpr std::string_view kMonth = "\xE6\x9C\x88";   // 月
constexpr std::string_view kDayMark = "\xE6\x97\xA5"; // 日
constexpr std::string_view kHour = "\xE6\x97\xB6";    // 时
constexpr std::string_view kMinute = "\xE5\x88\x86";  // 分
constexpr std::string_view kSecond = "\xE7\xA7\x92";  // 秒
constexpr std::string_view kWideBlank = "\xE3\x80\x80";

// A cursor over the text; every reader moves it only when it succeeds.
struct Reader
{
    std::string_view s;
    size_t at = 0;

    bool atEnd() const { return at == s.size(); }
    bool isDigit() const { return at < s.size() && s[at] >= '0' && s[at] <= '9'; }
    bool take(char c)
    {
        if (at < s.size() && s[at] == c) {
            ++at;
            return true;
        }
        return false;
    }
    bool take(std::string_view word)
    {
        if (s.substr(at, word.size()) == word) {
            at += word.size();
            return true;
        }
        return false;
    }
    // Between min and max digits; false (and nothing taken) when fewer than min.
    bool number(int min, int max, int* value)
    {
        size_t end = at;
        int v = 0;
        while (end < s.size() && int(end - at) < max && s[end] >= '0' && s[end] <= '9')
            v = v * 10 + (s[end++] - '0');
        if (int(end - at) < min)
            return false;
        at = end;
        *value = v;
        return true;
    }
    int skipBlanks()
    {
        int n = 0;
        while (take(' ') || take('\t') || take(kWideBlank))
            ++n;
        return n;
    }
};

bool isLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (the civil-date algorithm of H. Hinnant).
qint64 daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = int(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

constexpr qint64 kJulianDayOf1970 = 2440588;

// h:mm[:ss[.fff]] or h时m分[s秒], the hour 0 to 23.
bool readTime(Reader& r)
{
    int hour = 0, minute = 0, second = 0;
    if (!r.number(1, 2, &hour) || hour > 23)
        return false;
    if (r.take(':')) {
        if (!r.number(2, 2, &minute) || minute > 59)
            return false;
        if (r.take(':')) {
            if (!r.number(2, 2, &second) || second > 59)
                return false;
            if (r.take('.') && !r.number(1, 9, &second))
                return false;
        }
        return true;
    }
    if (!r.take(kHour))
        return false;
    if (r.number(1, 2, &minute)) {
        if (minute > 59 || !r.take(kMinute))
            return false;
        if (r.number(1, 2, &second) && (second > 59 || !r.take(kSecond)))
            return false;
    }
    return true;
}

// The date of the text as year, month and day; false when it is not one of the accepted forms.
bool readDate(std::string_view text, int* year, int* month, int* day)
{
    Reader r{text};
    r.skipBlanks();
    int y = 0, m = 0, d = 0;
    if (!r.number(4, 4, &y))
        return false;
    if (r.isDigit()) {
        // yyyymmdd
        if (!r.number(2, 2, &m) || !r.number(2, 2, &d) || r.isDigit())
            return false;
    } else if (r.take(kYear)) {
        if (!r.number(1, 2, &m) || !r.take(kMonth) || !r.number(1, 2, &d))
            return false;
        r.take(kDayMark);
    } else {
        char separator = 0;
        for (char c : {'-', '/', '.'}) {
            if (r.take(c)) {
                separator = c;
                break;
            }
        }
        if (!separator || !r.number(1, 2, &m) || !r.take(separator) || !r.number(1, 2, &d))
            return false;
    }
    if (r.isDigit())
        return false;
    // An optional time, after at least one blank (or a "T" straight after the date).
    const bool timeMark = r.take('T');
    const int blanks = r.skipBlanks();
    if (!r.atEnd()) {
        if ((!timeMark && blanks == 0) || !readTime(r))
            return false;
        r.skipBlanks();
        if (!r.atEnd())
            return false;
    } else if (timeMark) {
        return false;
    }
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m))
        return false;
    *year = y;
    *month = m;
    *day = d;
    return true;
}
} // namespace

Day parse(std::string_view utf8)
{
    int y, m, d;
    // The common form, yyyy-mm-dd exactly, without the general reader.
    const auto digit = [&utf8](size_t i) { return unsigned(utf8[i] - '0') <= 9; };
    if (utf8.size() == 10 && utf8[4] == '-' && utf8[7] == '-' && digit(0) && digit(1) && digit(2) &&
        digit(3) && digit(5) && digit(6) && digit(8) && digit(9)) {
        const auto at = [&utf8](size_t i) { return utf8[i] - '0'; };
        y = at(0) * 1000 + at(1) * 100 + at(2) * 10 + at(3);
        m = at(5) * 10 + at(6);
        d = at(8) * 10 + at(9);
        if (y < 1 || m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m))
            return kUnreadable;
    } else if (!readDate(utf8, &y, &m, &d)) {
        return kUnreadable;
    }
    return daysFromCivil(y, m, d) + kJulianDayOf1970;
}

Day parse(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return parse(std::string_view(utf8.constData(), size_t(utf8.size())));
}

QString normalised(std::string_view utf8)
{
    int y, m, d;
    if (!readDate(utf8, &y, &m, &d))
        return {};
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", y, m, d);
    return QString::fromLatin1(buffer);
}

QString remainingText(Day day, Day today)
{
    if (day == kUnreadable)
        return {};
    const Day left = day - today;
    if (left == 0)
        return QStringLiteral("今天到期");
    if (left > 0)
        return QStringLiteral("剩余 %1 天").arg(left);
    return QStringLiteral("已过期 %1 天").arg(-left);
}

QHash<QString, QString> listParams(const QDate& today, int soonDays)
{
    const QString format = QStringLiteral("yyyy-MM-dd");
    return {{QStringLiteral("today"), today.toString(format)},
            {QStringLiteral("soon"), today.addDays(soonDays).toString(format)}};
}

} // namespace expiry
