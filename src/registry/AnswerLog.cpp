#include "AnswerLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

const QString AnswerLog::kFileName = QStringLiteral("registry-answers.json");

namespace {
QString keyOf(const QString& domain)
{
    return domain.trimmed().toLower();
}
} // namespace

AnswerLog::AnswerLog(const QString& folder) : m_path(QDir(folder).filePath(kFileName))
{
    refresh();
}

void AnswerLog::refresh()
{
    const QFileInfo info(m_path);
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    if (modified == m_read && (modified.isValid() || m_entries.isEmpty()))
        return;
    m_read = modified;
    m_entries.clear();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject all = QJsonDocument::fromJson(file.readAll()).object();
    for (auto it = all.begin(); it != all.end(); ++it) {
        const QJsonObject o = it.value().toObject();
        Entry e;
        e.time = QDateTime::fromString(o.value(QLatin1String("time")).toString(), Qt::ISODate);
        e.source = o.value(QLatin1String("source")).toString();
        e.outcome = o.value(QLatin1String("outcome")).toString();
        for (const QJsonValue& s : o.value(QLatin1String("statuses")).toArray())
            e.statuses << s.toString();
        if (e.time.isValid())
            m_entries.insert(it.key(), e);
    }
}

AnswerLog::Entry AnswerLog::entry(const QString& domain) const
{
    return m_entries.value(keyOf(domain));
}

QString AnswerLog::record(const QList<registry::Answer>& answers)
{
    refresh();
    for (const registry::Answer& a : answers) {
        if (a.outcome == registry::Answer::Outcome::Failed)
            continue;
        Entry e;
        e.time = a.time;
        e.source = a.source;
        e.outcome = a.outcome == registry::Answer::Outcome::Found ? QStringLiteral("found")
                                                                  : QStringLiteral("unregistered");
        e.statuses = a.statuses;
        m_entries.insert(keyOf(a.domain), e);
    }
    QJsonObject all;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        QJsonObject o;
        o.insert(QLatin1String("time"), it->time.toString(Qt::ISODate));
        o.insert(QLatin1String("source"), it->source);
        o.insert(QLatin1String("outcome"), it->outcome);
        o.insert(QLatin1String("statuses"), QJsonArray::fromStringList(it->statuses));
        all.insert(it.key(), o);
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        return QStringLiteral("无法保存注册局信息到“%1”：%2")
            .arg(QDir::toNativeSeparators(m_path), file.errorString());
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(all).toJson(QJsonDocument::Indented));
    if (!file.commit())
        return QStringLiteral("无法保存注册局信息到“%1”：%2")
            .arg(QDir::toNativeSeparators(m_path), file.errorString());
    m_read = QFileInfo(m_path).lastModified();
    return {};
}

QString AnswerLog::line(const QString& domain) const
{
    const Entry e = entry(domain);
    if (!e.time.isValid())
        return {};
    const QString day = e.time.date().toString(QStringLiteral("yyyy-MM-dd"));
    if (e.outcome == QLatin1String("unregistered"))
        return QStringLiteral("注册局信息：%1 查询，未注册").arg(day);
    return QStringLiteral("注册局信息：%1 查询，状态 %2")
        .arg(day, e.statuses.isEmpty() ? QStringLiteral("未知") : e.statuses.join(QStringLiteral("，")));
}
