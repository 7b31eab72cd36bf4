#pragma once

#include <QString>

// The checks that come before the lock password is set; the settings row itself is written
// through LockSettings.
namespace PasswordSettings {
// The message that stops a new password from being set, or an empty text: the new password
// must be filled in, repeated, and the same both times (exact comparison).
QString newPasswordProblem(const QString& password, const QString& repeated);
// The message when the old password differs from the stored one (exact comparison), else empty.
QString oldPasswordProblem(const QString& oldPassword, const QString& stored);
} // namespace PasswordSettings
