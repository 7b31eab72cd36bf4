#include "PasswordSettings.h"

namespace PasswordSettings {

QString newPasswordProblem(const QString& password, const QString& repeated)
{
    if (password.isEmpty())
        return QStringLiteral("请填写密码");
    if (repeated.isEmpty())
        return QStringLiteral("请再次输入密码");
    if (password != repeated)
        return QStringLiteral("您两次输入的密码不正确");
    return {};
}

QString oldPasswordProblem(const QString& oldPassword, const QString& stored)
{
    return oldPassword == stored ? QString() : QStringLiteral("旧密码输入错误，请您重试。");
}

} // namespace PasswordSettings
