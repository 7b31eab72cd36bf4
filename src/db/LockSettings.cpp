#include "LockSettings.h"

#include "Dataset.h"
#include "Sql.h"

namespace {
const QString kRow = QStringLiteral("8"); // ub3 of the settings row
}

LockSettings::LockSettings(Connection* connection, Dataset* queryJzUb)
    : m_query(queryJzUb), m_querySet(connection)
{
}

QString LockSettings::lockFlag() const
{
    return m_query->fieldText(QStringLiteral("ub2"));
}

QString LockSettings::password() const
{
    return m_query->fieldText(QStringLiteral("ub1"));
}

QString LockSettings::passwordSetFlag() const
{
    return m_query->fieldText(QStringLiteral("ub4"));
}

Result LockSettings::load()
{
    return m_query->replaceStatement(sql::kSettingsAll);
}

Result LockSettings::reopen()
{
    return m_query->open();
}

Result LockSettings::savePassword(const QString& password)
{
    m_querySet.setSql(sql::kSetPassword);
    m_querySet.setParam(QStringLiteral("a"), password);
    m_querySet.setParam(QStringLiteral("b"), QStringLiteral("1"));
    m_querySet.setParam(QStringLiteral("d"), QStringLiteral("1"));
    m_querySet.setParam(QStringLiteral("c"), kRow);
    return runAndReload();
}

Result LockSettings::saveLockOff()
{
    m_querySet.setSql(sql::kPasswordOff);
    m_querySet.setParam(QStringLiteral("b"), QStringLiteral("0"));
    m_querySet.setParam(QStringLiteral("d"), QStringLiteral("0"));
    m_querySet.setParam(QStringLiteral("c"), kRow);
    return runAndReload();
}

Result LockSettings::runAndReload()
{
    const Result written = m_querySet.exec();
    if (!written.ok())
        return written;
    // Without its row the setting would be lost at the next start, though the update itself succeeds.
    if (m_querySet.changes() == 0)
        return Result::failure(
            QStringLiteral("密码设置没有保存：数据库中缺少设置记录（jz_ub 中 ub3 为 8 的行）。"));
    return reopen();
}
