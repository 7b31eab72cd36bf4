#pragma once

#include "db/Statement.h"

#include <QString>

class Connection;

// The writes of the lock password on the settings row (ub3 "8"), through the statement object
// Query_set, and the checks that come before setting a password.
class PasswordSettings
{
public:
    explicit PasswordSettings(Connection* connection);

    Statement* Query_set() { return &m_querySet; }

    // ub1 = the password as typed, ub2 "1", ub4 "1". Empty on success, else the engine's message.
    QString setPassword(const QString& password);
    // ub2 "0", ub4 "0"; ub1 stays. Empty on success, else the engine's message.
    QString switchOff();

    // The message that stops a new password from being set, or an empty text: the new password
    // must be filled in, repeated, and the same both times (exact comparison).
    static QString newPasswordProblem(const QString& password, const QString& repeated);
    // The message when the old password differs from the stored one (exact comparison), else empty.
    static QString oldPasswordProblem(const QString& oldPassword, const QString& stored);

private:
    Statement m_querySet; // Query_set
};
