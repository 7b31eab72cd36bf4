#include "Review.h"

#include "db/Backup.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/DomainWriter.h"
#include "db/Expiry.h"
#include "db/Sql.h"
#include "db/Statement.h"

#include <QHash>

namespace registry {

namespace {
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

QString storedValue(const DomainRecord& record, Field field)
{
    switch (field) {
    case Field::Registered:
        return record.registered;
    case Field::Expires:
        return record.expires;
    case Field::Registrar:
        return record.registrar;
    }
    return {};
}

void setValue(DomainRecord& record, Field field, const QString& value)
{
    switch (field) {
    case Field::Registered:
        record.registered = value;
        break;
    case Field::Expires:
        record.expires = value;
        break;
    case Field::Registrar:
        record.registrar = value;
        break;
    }
}

// A date field: the registry's date against the stored text.
void compareDate(const DomainRecord& record, Field field, const QDate& registryDate, QList<Difference>& out)
{
    if (!registryDate.isValid())
        return;
    Difference d;
    d.aid = record.aid;
    d.domain = record.domain;
    d.field = field;
    d.stored = storedValue(record, field);
    d.registry = registryDate.toString(kDateFormat);
    if (d.stored.trimmed().isEmpty()) {
        d.ticked = true;
        out.append(d);
        return;
    }
    const expiry::Day storedDay = expiry::parse(d.stored);
    if (storedDay == expiry::kUnreadable) {
        d.note = QStringLiteral("现有的值不是日期");
        out.append(d);
        return;
    }
    const expiry::Day registryDay = registryDate.toJulianDay();
    if (storedDay == registryDay)
        return; // the same day, however it is written
    if (registryDay > storedDay) {
        d.ticked = true;
    } else {
        d.earlier = true;
        d.note = QStringLiteral("注册局的日期早于现有日期");
    }
    out.append(d);
}

QString simplifiedName(const QString& name)
{
    return name.simplified().toCaseFolded();
}
} // namespace

QString fieldTitle(Field field)
{
    switch (field) {
    case Field::Registered:
        return QStringLiteral("注册日期");
    case Field::Expires:
        return QStringLiteral("过期日期");
    case Field::Registrar:
        return QStringLiteral("注册商");
    }
    return {};
}

bool alarmingStatus(const QString& status)
{
    QString s = status.toLower();
    s.remove(QLatin1Char(' ')).remove(QLatin1Char('_')).remove(QLatin1Char('-'));
    return s.contains(QLatin1String("redemption")) || s.contains(QLatin1String("pendingdelete")) ||
           s.contains(QLatin1String("pendingrestore")) || s.endsWith(QLatin1String("hold"));
}

Comparison compare(const QList<DomainRecord>& stored, const QList<Answer>& answers)
{
    QHash<QString, const Answer*> byAid;
    for (const Answer& answer : answers)
        byAid.insert(answer.aid, &answer);
    Comparison c;
    // In the order of the records, whatever order the answers came in.
    for (const DomainRecord& record : stored) {
        const Answer* found = byAid.value(record.aid);
        if (!found)
            continue;
        const Answer& answer = *found;
        if (answer.outcome == Answer::Outcome::Failed) {
            c.notices.append(
                {Notice::Kind::Failed, answer.domain, QStringLiteral("查询失败：") + answer.reason, false});
            continue;
        }
        ++c.answered;
        if (answer.outcome == Answer::Outcome::Unregistered) {
            c.notices.append({Notice::Kind::Unregistered, answer.domain,
                              QStringLiteral("注册局没有这个域名的记录：未注册或已被删除"), true});
            continue;
        }
        QStringList alarming;
        for (const QString& status : answer.statuses) {
            if (alarmingStatus(status))
                alarming << status;
        }
        if (!alarming.isEmpty())
            c.notices.append({Notice::Kind::Status, answer.domain,
                              QStringLiteral("注册局状态：%1").arg(alarming.join(QStringLiteral("，"))),
                              true});
        compareDate(record, Field::Registered, answer.registered, c.differences);
        compareDate(record, Field::Expires, answer.expires, c.differences);
        if (!answer.registrar.isEmpty() &&
            simplifiedName(record.registrar) != simplifiedName(answer.registrar)) {
            Difference d;
            d.aid = record.aid;
            d.domain = record.domain;
            d.field = Field::Registrar;
            d.stored = record.registrar;
            d.registry = answer.registrar;
            d.ticked = record.registrar.trimmed().isEmpty();
            d.prominent = !d.ticked;
            if (d.prominent)
                d.note = QStringLiteral("注册商不同（可能已转移）");
            c.differences.append(d);
        }
    }
    return c;
}

Applied apply(Connection* connection, const QString& dbPath, const QList<Difference>& ticked,
              const QDateTime& now)
{
    Applied applied;
    if (ticked.isEmpty())
        return applied;
    if (!connection || !connection->isOpen()) {
        applied.error = QStringLiteral("数据库未打开");
        return applied;
    }
    // The rows in the order they were first ticked, each with its ticked values.
    QStringList order;
    QHash<QString, QList<Difference>> byAid;
    for (const Difference& d : ticked) {
        if (!byAid.contains(d.aid))
            order << d.aid;
        byAid[d.aid].append(d);
    }

    if (const QString failed = backup::make(connection, dbPath, now).error(); !failed.isEmpty()) {
        applied.error = failed + QStringLiteral("。为安全起见，没有写入任何值。");
        return applied;
    }
    if (const Result failed = connection->execute(sql::kBegin); !failed.ok()) {
        applied.error = failed.error();
        return applied;
    }
    Statement write(connection);
    Dataset current(connection);
    for (const QString& aid : order) {
        current.setSql(QStringLiteral("select * from tt_a where aid=:h"));
        current.setParam(QStringLiteral("h"), aid);
        if (const Result read = current.open(); !read.ok()) {
            (void)connection->execute(sql::kRollback);
            return Applied{read.error(), 0, 0, {}};
        }
        if (current.recordCount() == 0) {
            applied.conflicts
                << QStringLiteral("%1：已不在数据库中，没有写入").arg(byAid[aid].first().domain);
            continue;
        }
        DomainRecord record = DomainRecord::fromDataset(current, 0);
        int changed = 0;
        for (const Difference& d : byAid[aid]) {
            const QString held = storedValue(record, d.field);
            if (held != d.stored) {
                // Edited since the look-up: the newer value stays.
                applied.conflicts << QStringLiteral("%1 %2：查询后已改为“%3”，保留这个值（注册局：%4）")
                                         .arg(record.domain, fieldTitle(d.field), held, d.registry);
                continue;
            }
            setValue(record, d.field, d.registry);
            ++changed;
        }
        if (changed == 0)
            continue;
        if (const Result written = domainwriter::update(write, record); !written.ok()) {
            (void)connection->execute(sql::kRollback);
            return Applied{written.error(), 0, 0, {}};
        }
        ++applied.domains;
        applied.values += changed;
    }
    current.close();
    if (const Result failed = connection->execute(sql::kCommit); !failed.ok()) {
        (void)connection->execute(sql::kRollback);
        return Applied{failed.error(), 0, 0, {}};
    }
    return applied;
}

} // namespace registry
