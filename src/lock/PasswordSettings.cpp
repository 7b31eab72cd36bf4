#include "PasswordSettings.h"

#include "db/Sql.h"

namespace {
const QString kRow = QStringLiteral("8"); // ub3 of the settings row
}

PasswordSettings::PasswordSettings(Connection* connection) : m_querySet(connection) {}

QString PasswordSettings::setPassword(const QString& password)
{
    m_querySet.setSql(sql::kSetPassword);
    m_querySet.setParam(QStringLiteral("a"), password);
    m_querySet.setParam(QStringLiteral("b"), QStringLiteral("1"));
    m_querySet.setParam(QStringLiteral("d"), QStringLiteral("1"));
    m_querySet.setParam(QStringLiteral("c"), kRow);
    return m_querySet.exec();
}

QString PasswordSettings::switchOff()
{
    m_querySet.setSql(sql::kPasswordOff);
    m_querySet.setParam(QStringLiteral("b"), QStringLiteral("0"));
    m_querySet.setParam(QStringLiteral("d"), QStringLiteral("0"));
    m_querySet.setParam(QStringLiteral("c"), kRow);
    return m_querySet.exec();
}

QString PasswordSettings::newPasswordProblem(const QString& password, const QString& repeated)
{
    if (password.isEmpty())
        return QStringLiteral("请填写密码");
    if (repeated.isEmpty())
        return QStringLiteral("请再次输入密码");
    if (password != repeated)
        return QStringLiteral("您两次输入的密码不正确");
    return {};
}

QString PasswordSettings::oldPasswordProblem(const QString& oldPassword, const QString& stored)
{
    return oldPassword == stored ? QString() : QStringLiteral("旧密码输入错误，请您重试。");
}
