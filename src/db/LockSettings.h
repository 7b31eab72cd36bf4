#pragma once

#include "Result.h"
#include "Statement.h"

#include <QString>

class Connection;
class Dataset;

// The settings row of the lock password (jz_ub, the row whose ub3 is "8"), read through the shared
// query Query_jz_ub and written through the statement object Query_set. Knows nothing of widgets.
class LockSettings
{
public:
    LockSettings(Connection* connection, Dataset* queryJzUb);

    // The texts of the row as it was last read; empty when there is no row.
    QString lockFlag() const;        // ub2: "1" locked at start, "0" no lock
    QString password() const;        // ub1
    QString passwordSetFlag() const; // ub4: "1" once a password is set

    // Reads the row again with "select * from jz_ub".
    Result load();
    // Runs the statement held once more.
    Result reopen();

    // ub1 = the password as typed, ub2 "1", ub4 "1"; then reads the row again.
    Result savePassword(const QString& password);
    // ub2 "0", ub4 "0", ub1 stays; then reads the row again.
    Result saveLockOff();

    Statement* Query_set() { return &m_querySet; }

private:
    Result runAndReload();
    Dataset* m_query;     // Query_jz_ub
    Statement m_querySet; // Query_set
};
