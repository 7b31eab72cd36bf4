#pragma once

#include <QString>
#include <QStringList>

class Statement;

// Writing one domain record of tt_a through a statement object of its own. The nine values a1..a9
// travel as text parameters, unchanged (missing ones as empty texts). Each returns "" or the engine's
// message; on an error nothing is written.
namespace domainwriter {

// The insert: a..i are a1..a9. The new row takes its aid from the database.
QString insert(Statement& query, const QStringList& a1ToA9);

// The update of the row whose aid is `aid`: a..g are a1..a7, i is a8, j is a9, h the aid.
QString update(Statement& query, const QString& aid, const QStringList& a1ToA9);

} // namespace domainwriter
