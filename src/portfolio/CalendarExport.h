#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class Dataset;

// "导出到期日历…": the expiry dates of the domains a list holds as an iCalendar file that calendar
// programs import. Built without widgets, so that the panel and the command line write the same file.
//
// One all-day event per domain on its expiry day, "域名到期：example.com", with one reminder per
// threshold (so many days before). The event's UID depends on the domain name alone, so that importing
// a newer file updates the events of the older one instead of adding them twice.
namespace calendar {

// The reminders of an event, in days before the expiry day, when the user has not chosen others (提醒设置).
inline const QList<int> kDefaultThresholds = {30, 7, 1};

// The file name proposed in the data folder.
inline const QString kFileName = QStringLiteral("域名到期.ics");

// What went into a calendar file, and whether it was written (when not, the result says why; nothing
// was left behind).
struct [[nodiscard]] Written
{
    Result result = Result::success();
    int written = 0;        // domains written, one event each
    QStringList unreadable; // domains left out because their expiry date cannot be read
    int duplicates = 0;     // further rows of a domain already written (one event per domain)
    bool ok() const { return result.ok(); }
};

// The one-line summary of a domain's event.
QString summary(const QString& domain);
// The UID of a domain's event: the same for the same name, whatever its letter case and the blanks
// around it.
QString uid(const QString& domain);

// A content line as it goes into the file: folded so that no line is longer than 75 octets (a
// continuation line starts with one blank, which counts), never inside a UTF-8 sequence, each line
// ended by CRLF.
QByteArray foldLine(const QByteArray& line);
// A text value with backslash, semicolon, comma and line breaks escaped.
QString escapeText(const QString& text);

// The whole calendar of the rows of query (its display order; each domain once, its first row), with
// stamp (UTC) as DTSTAMP.
QByteArray build(const Dataset& query, const QDateTime& stamp, const QList<int>& thresholds,
                 Written* written);

// Writes build()'s calendar to path, replacing an older file only once the new one is complete.
Written write(const Dataset& query, const QString& path, const QList<int>& thresholds = kDefaultThresholds);

// What the user is told afterwards: how many were written where, and which domains were left out.
QString resultText(const Written& result, const QString& path);

} // namespace calendar
