#pragma once

#include "platform/Result.h"

#include <QString>

class Connection;

namespace schema {
// Creates the shipped database file: both tables and the settings row (unlocked, no password yet).
// Refuses to touch a file that already exists.
Result createShippedDatabase(const QString& path);
// The same tables in an open connection (tests build their own files with it).
Result createTables(Connection& connection);
} // namespace schema
