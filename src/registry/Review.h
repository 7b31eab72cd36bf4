#pragma once

#include "Answer.h"
#include "db/DomainRecord.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class Connection;

// What the registries say against what the portfolio holds, and the writing of what the user ticked.
// Knows nothing of widgets.
namespace registry {

enum class Field
{
    Registered, // a5 注册日期
    Expires,    // a6 过期日期
    Registrar,  // a3 注册商
};
QString fieldTitle(Field field);

// One value where the registry differs from the portfolio.
struct Difference
{
    QString aid;
    QString domain;
    Field field = Field::Expires;
    QString stored;   // as the portfolio held it when compared
    QString registry; // as it would be stored (dates yyyy-mm-dd)
    bool ticked = false;
    bool earlier = false;   // the registry's date is before the stored one: left unticked, marked
    bool prominent = false; // a change of registrar
    QString note;
};

// Something to see that is no value to store: a name the registry does not hold, an alarming status,
// a failed look-up.
struct Notice
{
    enum class Kind
    {
        Unregistered,
        Status,
        Failed,
    };
    Kind kind = Kind::Failed;
    QString domain;
    QString text;
    bool prominent = false;
};

struct Comparison
{
    QList<Difference> differences;
    QList<Notice> notices;
    int answered = 0; // domains the registries answered for
};

// Whether a status word is one to be alarmed by: redemption, pending delete, a hold.
bool alarmingStatus(const QString& status);

// Compares each answer with the record of the same aid, in the order of the records. The defaults: an empty
// stored value or a later registry date ticked; an earlier registry date unticked and marked; a stored text
// that is no date and a different registrar unticked (the registrar shown prominently).
Comparison compare(const QList<DomainRecord>& stored, const QList<Answer>& answers);

struct Applied
{
    QString error;         // empty when written (or nothing was to be written)
    int domains = 0;       // rows changed
    int values = 0;        // values written
    QStringList conflicts; // "domain 字段：..." where the row had changed since the comparison
};

// Writes the ticked differences: a backup of the database file first (through the backup mechanism),
// then every row in one transaction, each through the domain writer. A value that changed in the file
// since the comparison is newer than the registry's answer: it stays, and the conflict is listed. On an
// error nothing is written.
Applied apply(Connection* connection, const QString& dbPath, const QList<Difference>& ticked,
              const QDateTime& now);

} // namespace registry
