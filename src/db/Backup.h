#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class Connection;

// Copies of the database file in the folder "backups" beside it, each named with the date and time it was
// made ("service-2024-01-05_143005.dll"); only the newest ten are kept. Knows nothing of widgets.
namespace backup {

inline constexpr int kKept = 10;

// The folder of the copies of the database file at dbPath.
QString folderFor(const QString& dbPath);

// The copies there, oldest first.
QStringList copies(const QString& dbPath);

// Makes a copy stamped with now and removes the oldest beyond kKept. While the copy is made the connection
// (when given) holds a read lock, so that no other program changes the file half-way. The copy is readable
// by the user alone. Returns an empty text, or the reason in Chinese; a failed copy leaves nothing behind.
QString make(Connection* connection, const QString& dbPath, const QDateTime& now);

// Makes a copy unless one of the given day exists already (the first start of a day).
QString makeDaily(Connection* connection, const QString& dbPath, const QDateTime& now);

// Whether a failure should be reported: true only the first time in a run, so that a folder that cannot
// be written does not bring the same message at every import.
bool reportFailureOnce();

} // namespace backup
