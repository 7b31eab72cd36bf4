#include "CalendarExport.h"

#include "db/Dataset.h"
#include "db/Expiry.h"

#include <QCryptographicHash>
#include <QDate>
#include <QSaveFile>
#include <QSet>

namespace calendar {

namespace {

// The key two rows of the same domain share.
QString domainKey(const QString& domain)
{
    return domain.trimmed().toLower();
}

QByteArray dateValue(const QDate& date)
{
    return date.toString(QStringLiteral("yyyyMMdd")).toLatin1();
}

void addLine(QByteArray& out, const QString& line)
{
    out += foldLine(line.toUtf8());
}

// The text of a reminder's DESCRIPTION.
QString reminderText(const QString& domain, const QDate& expires, int days)
{
    return QStringLiteral("域名 %1 将于 %2 到期（还有 %3 天）")
        .arg(domain, expires.toString(QStringLiteral("yyyy-MM-dd")))
        .arg(days);
}

} // namespace

QString summary(const QString& domain)
{
    return QStringLiteral("域名到期：") + domain;
}

QString uid(const QString& domain)
{
    const QByteArray hash = QCryptographicHash::hash(domainKey(domain).toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("expiry-%1@lanshu").arg(QString::fromLatin1(hash.toHex()));
}

QByteArray foldLine(const QByteArray& line)
{
    constexpr int kMaxOctets = 75;
    QByteArray out;
    out.reserve(line.size() + line.size() / 64 * 3 + 2);
    qsizetype start = 0;
    int room = kMaxOctets; // the first line has all 75 octets, a continuation one less for its blank
    while (line.size() - start > room) {
        qsizetype end = start + room;
        // Never between the bytes of one character: back to the byte that starts it.
        while (end > start && (uchar(line[end]) & 0xC0) == 0x80)
            --end;
        out += line.mid(start, end - start);
        out += "\r\n ";
        start = end;
        room = kMaxOctets - 1;
    }
    out += line.mid(start);
    out += "\r\n";
    return out;
}

QString escapeText(const QString& text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' || c == u';' || c == u',') {
            out += u'\\';
            out += c;
        } else if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out += QStringLiteral("\\n");
        } else if (c == u'\n') {
            out += QStringLiteral("\\n");
        } else if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            out += u' '; // other control characters are not allowed in a text value
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray build(const Dataset& query, const QDateTime& stamp, const QList<int>& thresholds, Written* written)
{
    Written counts;
    const int nameField = query.fieldIndex(QStringLiteral("a1"));
    const int expiryField = query.fieldIndex(QStringLiteral("a6"));
    const QByteArray stampLine =
        "DTSTAMP:" + stamp.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toLatin1();

    QByteArray out;
    out += "BEGIN:VCALENDAR\r\n"
           "VERSION:2.0\r\n"
           "PRODID:-//lanshu//expiry calendar//ZH\r\n"
           "CALSCALE:GREGORIAN\r\n"
           "METHOD:PUBLISH\r\n";
    addLine(out, QStringLiteral("X-WR-CALNAME:域名到期"));

    QSet<QString> seen;
    const int rows = query.recordCount();
    for (int row = 0; row < rows; ++row) {
        const std::string_view name = query.rawValue(row, nameField);
        const QString domain = QString::fromUtf8(name.data(), qsizetype(name.size())).trimmed();
        if (domain.isEmpty())
            continue; // a row without a name has nothing to remind of
        const expiry::Day day = expiry::parse(query.rawValue(row, expiryField));
        if (day == expiry::kUnreadable) {
            counts.unreadable.append(domain);
            continue;
        }
        if (seen.contains(domainKey(domain))) {
            ++counts.duplicates;
            continue;
        }
        seen.insert(domainKey(domain));
        const QDate expires = QDate::fromJulianDay(day);
        out += "BEGIN:VEVENT\r\n";
        addLine(out, QStringLiteral("UID:") + uid(domain));
        out += stampLine + "\r\n";
        out += "DTSTART;VALUE=DATE:" + dateValue(expires) + "\r\n";
        out += "DTEND;VALUE=DATE:" + dateValue(expires.addDays(1)) + "\r\n";
        addLine(out, QStringLiteral("SUMMARY:") + escapeText(summary(domain)));
        out += "TRANSP:TRANSPARENT\r\n";
        for (const int days : thresholds) {
            out += "BEGIN:VALARM\r\n"
                   "ACTION:DISPLAY\r\n";
            addLine(out, QStringLiteral("DESCRIPTION:") + escapeText(reminderText(domain, expires, days)));
            out += "TRIGGER:-P" + QByteArray::number(days) + "D\r\n";
            out += "END:VALARM\r\n";
        }
        out += "END:VEVENT\r\n";
        ++counts.written;
    }
    out += "END:VCALENDAR\r\n";
    if (written)
        *written = counts;
    return out;
}

Written write(const Dataset& query, const QString& path, const QList<int>& thresholds)
{
    Written result;
    const QByteArray text = build(query, QDateTime::currentDateTimeUtc(), thresholds, &result);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        result.result = Result::failure(QStringLiteral("无法写入文件“%1”：%2").arg(path, file.errorString()));
    }
    return result;
}

QString resultText(const Written& result, const QString& path)
{
    if (!result.ok())
        return result.result.error();
    QString text = QStringLiteral("已将 %1 个域名的到期日期导出到：\n%2").arg(result.written).arg(path);
    if (result.duplicates > 0)
        text += QStringLiteral("\n重复的域名只写入一次（略过 %1 行）。").arg(result.duplicates);
    if (!result.unreadable.isEmpty()) {
        constexpr int kNamed = 20; // more are counted, not named
        const int count = int(result.unreadable.size());
        QString names = result.unreadable.mid(0, kNamed).join(QStringLiteral("、"));
        if (count > kNamed)
            names += QStringLiteral(" 等");
        text +=
            QStringLiteral("\n\n以下 %1 个域名的过期日期无法识别，没有写入日历：\n%2").arg(count).arg(names);
    }
    return text;
}

} // namespace calendar
