#pragma once

#include "platform/Result.h"

#include <QDateTime>
#include <QList>
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

// Makes a copy stamped with now and removes the oldest beyond kKept (never the copy named keep). While the
// copy is made the connection (when given) holds a read lock, so that no other program changes the file
// half-way. The copy is readable by the user alone. A failure gives the reason in Chinese; a failed copy
// leaves nothing behind.
Result make(Connection* connection, const QString& dbPath, const QDateTime& now, const QString& keep = {});

// Makes a copy unless one of the given day exists already (the first start of a day).
Result makeDaily(Connection* connection, const QString& dbPath, const QDateTime& now);

// One copy as the restore list shows it.
struct CopyInfo
{
    QString name;   // the file's name in the folder
    QDateTime made; // from the stamp in the name
    qint64 bytes = 0;
};
CopyInfo info(const QString& dbPath, const QString& name);

// How far check() reads a copy: its domains counted (quick, for a list), or every page checked first.
enum class Check
{
    Count,
    Full
};

// Opens the copy and counts its domains, checking every page first with Check::Full: the count when
// sound, else the engine's reason.
Expected<int> check(const QString& copyPath, Check how = Check::Full);

// Replaces the domains of the open database with those of the copy named name: the copy is checked,
// the current file is kept as a new copy first, then every domain is replaced in one transaction
// through the connection, so that other programs see the old list or the new one, never a mix. The
// settings of the file (its password rule) stay. Gives the count of domains now in the list, or the
// reason in Chinese; on failure nothing is changed.
Expected<int> restore(Connection* connection, const QString& dbPath, const QString& name,
                      const QDateTime& now);

// Whether a failure should be reported: true only the first time in a run, so that a folder that cannot
// be written does not bring the same message at every import.
bool reportFailureOnce();

} // namespace backup
