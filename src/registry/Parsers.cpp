#include "Parsers.h"

#include "db/Expiry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>

#include <initializer_list>

namespace registry {

namespace {

// The "fn" of an entity's vCard ("vcardArray": ["vcard", [[name, params, type, value], ...]]).
QString vcardName(const QJsonObject& entity)
{
    const QJsonArray vcard = entity.value(QLatin1String("vcardArray")).toArray();
    for (const QJsonValue& property : vcard.at(1).toArray()) {
        const QJsonArray p = property.toArray();
        if (p.at(0).toString().compare(QLatin1String("fn"), Qt::CaseInsensitive) == 0)
            return p.at(3).toString().trimmed();
    }
    return {};
}

bool hasRole(const QJsonObject& entity, const QString& role)
{
    for (const QJsonValue& r : entity.value(QLatin1String("roles")).toArray()) {
        if (r.toString().compare(role, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The first entity with the registrar role, depth first through nested entities (at most 8 deep).
QString registrarOf(const QJsonArray& entities, int depth = 0)
{
    if (depth > 8)
        return {};
    for (const QJsonValue& value : entities) {
        const QJsonObject entity = value.toObject();
        if (hasRole(entity, QStringLiteral("registrar"))) {
            const QString name = vcardName(entity);
            if (!name.isEmpty())
                return name;
        }
    }
    for (const QJsonValue& value : entities) {
        const QString nested =
            registrarOf(value.toObject().value(QLatin1String("entities")).toArray(), depth + 1);
        if (!nested.isEmpty())
            return nested;
    }
    return {};
}

Parsed unreadable(const QString& reason)
{
    Parsed p;
    p.kind = Parsed::Kind::Unreadable;
    p.reason = reason;
    return p;
}

bool containsAny(const QString& text, std::initializer_list<const char*> phrases)
{
    for (const char* phrase : phrases) {
        if (text.contains(QLatin1String(phrase), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// A key of a WHOIS line, for comparing: lower case, blanks and dashes taken out.
QString keyOf(const QString& key)
{
    QString k = key.toLower();
    k.remove(QLatin1Char(' ')).remove(QLatin1Char('-')).remove(QLatin1Char('_')).remove(QLatin1Char('\t'));
    return k;
}

bool keyIn(const QString& key, std::initializer_list<const char*> keys)
{
    for (const char* k : keys) {
        if (key == QLatin1String(k))
            return true;
    }
    return false;
}

} // namespace

QDate parseDate(const QString& text)
{
    const QString t = text.trimmed();
    // yyyy-mm-dd, yyyy/mm/dd, yyyy.mm.dd at the start, whatever time and zone follow.
    static const QRegularExpression ymd(
        QStringLiteral("^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})(?:$|[T\\s])"));
    if (const QRegularExpressionMatch m = ymd.match(t); m.hasMatch())
        return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    // 10-Dec-2026, 10-december-2026
    static const QRegularExpression dmy(
        QStringLiteral("^(\\d{1,2})[- ]([A-Za-z]{3,9})[- ](\\d{4})(?:$|[T\\s])"));
    if (const QRegularExpressionMatch m = dmy.match(t); m.hasMatch()) {
        static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                             "jul", "aug", "sep", "oct", "nov", "dec"};
        const QString month = m.captured(2).left(3).toLower();
        for (int i = 0; i < 12; ++i) {
            if (month == QLatin1String(months[i]))
                return QDate(m.captured(3).toInt(), i + 1, m.captured(1).toInt());
        }
        return {};
    }
    // The forms people write by hand as well (2026年12月10日, 20261210).
    const expiry::Day day = expiry::parse(t);
    return day == expiry::kUnreadable ? QDate() : QDate::fromJulianDay(day);
}

int parseRetryAfter(const QByteArray& header, const QDateTime& now)
{
    const QByteArray h = header.trimmed();
    if (h.isEmpty())
        return -1;
    bool ok = false;
    const int seconds = h.toInt(&ok);
    if (ok)
        return seconds >= 0 ? seconds : -1;
    const QDateTime when =
        QLocale::c().toDateTime(QString::fromLatin1(h).replace(QLatin1String(" GMT"), QString()),
                                QStringLiteral("ddd, dd MMM yyyy HH:mm:ss"));
    if (!when.isValid())
        return -1;
    QDateTime utc = when;
    utc.setTimeSpec(Qt::UTC);
    return int(std::max<qint64>(0, now.secsTo(utc)));
}

Parsed parseRdap(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (doc.isNull() || !doc.isObject())
        return unreadable(QStringLiteral("答复不是有效的 RDAP 数据"));
    const QJsonObject domain = doc.object();
    if (domain.value(QLatin1String("objectClassName")).toString() != QLatin1String("domain")) {
        // An error object (RFC 9083 §6): its code and title tell what went wrong.
        const int code = domain.value(QLatin1String("errorCode")).toInt();
        if (code == 404) {
            Parsed p;
            p.kind = Parsed::Kind::Free;
            return p;
        }
        return unreadable(code ? QStringLiteral("注册局答复错误 %1").arg(code)
                               : QStringLiteral("答复不是域名的 RDAP 数据"));
    }
    Parsed p;
    p.kind = Parsed::Kind::Found;
    for (const QJsonValue& value : domain.value(QLatin1String("events")).toArray()) {
        const QJsonObject event = value.toObject();
        const QString action = event.value(QLatin1String("eventAction")).toString().toLower();
        const QDate date = parseDate(event.value(QLatin1String("eventDate")).toString());
        if (action == QLatin1String("registration") && !p.registered.isValid())
            p.registered = date;
        else if (action == QLatin1String("expiration") && !p.expires.isValid())
            p.expires = date;
    }
    p.registrar = registrarOf(domain.value(QLatin1String("entities")).toArray());
    for (const QJsonValue& status : domain.value(QLatin1String("status")).toArray()) {
        const QString s = status.toString().trimmed();
        if (!s.isEmpty())
            p.statuses << s;
    }
    return p;
}

Parsed parseWhois(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    if (containsAny(text, {"Queried interval is too short", "query rate limit exceeded", "quota exceeded",
                           "too many requests", "exceeded the maximum allowable number", "limit exceeded"})) {
        Parsed p;
        p.kind = Parsed::Kind::SlowDown;
        p.reason = QStringLiteral("注册局要求放慢查询");
        return p;
    }
    Parsed p;
    p.kind = Parsed::Kind::Found;
    bool known = false;
    for (const QString& rawLine : text.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        // Comment lines of some registries.
        if (line.startsWith(QLatin1Char('%')) || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1String(">>>")))
            continue;
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            continue;
        const QString key = keyOf(line.left(colon));
        const QString value = line.mid(colon + 1).trimmed();
        if (value.isEmpty())
            continue;
        if (keyIn(key,
                  {"registrationtime", "creationdate", "createdon", "created", "registrationdate",
                   "registered", "registeredon", "domainregistrationdate", "domainnamecommencementdate"})) {
            known = true;
            if (!p.registered.isValid())
                p.registered = parseDate(value);
        } else if (keyIn(key, {"expirationtime", "registryexpirydate", "expirydate", "expirationdate",
                               "registrarregistrationexpirationdate", "paidtill", "expireson", "expires",
                               "expire", "domainexpirationdate", "validuntil"})) {
            known = true;
            if (!p.expires.isValid())
                p.expires = parseDate(value);
        } else if (keyIn(key,
                         {"sponsoringregistrar", "registrar", "registrarname", "registrarorganization"})) {
            known = true;
            if (p.registrar.isEmpty())
                p.registrar = value;
        } else if (keyIn(key, {"domainstatus", "status", "state"})) {
            known = true;
            // "clientTransferProhibited https://icann.org/epp#clientTransferProhibited": the word alone.
            const QString word = value.section(QLatin1Char(' '), 0, 0).trimmed();
            const QString status = value.contains(QLatin1String("://")) ? word : value;
            if (!status.isEmpty() && !p.statuses.contains(status))
                p.statuses << status;
        }
    }
    const bool hasData = p.registered.isValid() || p.expires.isValid() || !p.registrar.isEmpty();
    if (!hasData &&
        containsAny(text, {"No matching record", "No match for", "NOT FOUND", "No Data Found",
                           "No entries found", "Domain not found", "No Object Found",
                           "is available for registration", "Status: free", "Status: AVAILABLE"})) {
        Parsed free;
        free.kind = Parsed::Kind::Free;
        return free;
    }
    if (!known || !hasData)
        return unreadable(QStringLiteral("无法读取注册局的答复"));
    return p;
}

} // namespace registry
