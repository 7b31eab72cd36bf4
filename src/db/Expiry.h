#pragma once

#include <QDate>
#include <QHash>
#include <QString>
#include <QtGlobal>
#include <string_view>

// Reading the expiry date (a6) in the forms people write it, and how near it is.
//
// Accepted, with blanks around allowed and an optional time after the date (a blank or "T", then
// h:mm or h:mm:ss, seconds may carry a fraction):
//   2026-01-05   2026-1-5   2026/1/5   2026.1.5   2026年1月5日   20260105
// Month and day have one or two digits (except in the eight-digit form); the date must exist.
// Any other text is unreadable, and an unreadable date is never taken for a near one.
namespace expiry {

// A day as its Julian day number (the numbering of QDate::toJulianDay).
using Day = qint64;
inline constexpr Day kUnreadable = -1;

// The day a text names, or kUnreadable. Works on the stored UTF-8 as it is, without allocating.
Day parse(std::string_view utf8);
Day parse(const QString& text);
inline Day dayOf(const QDate& date)
{
    return date.isValid() ? date.toJulianDay() : kUnreadable;
}

// The date as "yyyy-mm-dd" (so that texts sort by date), or empty when unreadable.
QString normalised(std::string_view utf8);

enum class Status
{
    Unreadable,
    Expired,  // before today
    Within30, // today up to 30 days ahead
    Within90, // 31 to 90 days ahead
    Fine      // further ahead
};

inline constexpr int kSoonDays = 30;
inline constexpr int kNearDays = 90;

inline Status classify(Day day, Day today)
{
    if (day == kUnreadable)
        return Status::Unreadable;
    const Day left = day - today;
    if (left < 0)
        return Status::Expired;
    if (left <= kSoonDays)
        return Status::Within30;
    if (left <= kNearDays)
        return Status::Within90;
    return Status::Fine;
}

// The day parameters of the expired and expiring lists (sql::kExpiredList ...): :today, and :soon that
// many days ahead.
QHash<QString, QString> listParams(const QDate& today, int soonDays = kSoonDays);

// "剩余 N 天", "今天到期" or "已过期 N 天"; empty when the date cannot be read.
QString remainingText(Day day, Day today);

} // namespace expiry
