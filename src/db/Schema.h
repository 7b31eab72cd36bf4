#pragma once

#include <QString>

class Connection;

namespace schema {
// Creates the shipped database file: both tables and the settings row (unlocked, no password yet).
// Refuses to touch a file that already exists. Empty on success, else an error text.
[[nodiscard]] QString createShippedDatabase(const QString& path);
// The same tables in an open connection (tests build their own files with it).
[[nodiscard]] QString createTables(Connection& connection);
} // namespace schema
